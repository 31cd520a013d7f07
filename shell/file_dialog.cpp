#include "shell/file_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <algorithm>
#include <string_view>

#include "base/encoding.h"

namespace vantrelo {
namespace {

QString toQString(const Text& text) { return QString::fromStdString(textToUtf8(text)); }
Text fromQString(const QString& text) { return textFromUtf8(text.toStdString()); }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// The Qt dialog with the component's own checks when a name is accepted. Qt's
// own confirmation of a replace is switched off so that all of the dialog's
// questions speak the program's language.
class ComponentDialog : public QFileDialog {
public:
    ComponentDialog(QWidget* owner, const FileDialog& settings) : QFileDialog(owner), m_settings(settings) {}

    void accept() override {
        const QStringList files = selectedFiles();
        if (files.isEmpty()) return QFileDialog::accept();
        QFileInfo info(files.first());
        // A folder's name opens the folder; Qt does that.
        if (info.isDir()) return QFileDialog::accept();
        // Qt adds the default extension too, but decides whether the typed name
        // is a folder against the process's current folder, not the one shown;
        // so a name that is also a folder there would go without it.
        if (!defaultSuffix().isEmpty() && !info.fileName().contains(u'.'))
            info = QFileInfo(info.filePath() + u'.' + defaultSuffix());
        const QString shown = QDir::toNativeSeparators(info.absoluteFilePath());
        if (m_settings.hasOption(FileDialogOption::PathMustExist) && !info.absoluteDir().exists()) {
            // 路径不存在。 请检查路径是否正确。
            warn(shown, "\xC2\xB7\xBE\xB6\xB2\xBB\xB4\xE6\xD4\xDA\xA1\xA3\r\n"
                        "\xC7\xEB\xBC\xEC\xB2\xE9\xC2\xB7\xBE\xB6\xCA\xC7\xB7\xF1\xD5\xFD\xC8\xB7\xA1\xA3");
            return;
        }
        const bool opening = m_settings.kind() == FileDialogKind::Open;
        if (!info.exists()) {
            if (opening && m_settings.hasOption(FileDialogOption::FileMustExist)) {
                // 文件不存在。 请检查文件名是否正确。
                warn(shown, "\xCE\xC4\xBC\xFE\xB2\xBB\xB4\xE6\xD4\xDA\xA1\xA3\r\n"
                            "\xC7\xEB\xBC\xEC\xB2\xE9\xCE\xC4\xBC\xFE\xC3\xFB\xCA\xC7\xB7\xF1\xD5\xFD\xC8\xB7\xA1\xA3");
                return;
            }
            // 不存在。 要创建该文件吗？
            if (m_settings.hasOption(FileDialogOption::AskToCreate) &&
                !ask(shown, "\xB2\xBB\xB4\xE6\xD4\xDA\xA1\xA3\r\n"
                            "\xD2\xAA\xB4\xB4\xBD\xA8\xB8\xC3\xCE\xC4\xBC\xFE\xC2\xF0\xA3\xBF"))
                return;
        } else if (!opening && m_settings.hasOption(FileDialogOption::ConfirmReplace)) {
            // 已存在。 要替换它吗？
            if (!ask(shown, "\xD2\xD1\xB4\xE6\xD4\xDA\xA1\xA3\r\n"
                            "\xD2\xAA\xCC\xE6\xBB\xBB\xCB\xFC\xC2\xF0\xA3\xBF"))
                return;
        }
        m_chosen = info.absoluteFilePath();
        // Every check is made above; Qt's own would look at the name again,
        // without the extension added here.
        QDialog::accept();
    }

    const QString& chosen() const { return m_chosen; }

private:
    QString message(const QString& name, const char* gbk) const { return name + toQString(Text("\r\n") + gbk); }
    void warn(const QString& name, const char* gbk) {
        QMessageBox box(QMessageBox::Warning, windowTitle(), message(name, gbk), QMessageBox::Ok, this);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }
    bool ask(const QString& name, const char* gbk) {
        QMessageBox box(QMessageBox::Warning, windowTitle(), message(name, gbk), QMessageBox::Yes | QMessageBox::No,
                        this);
        box.setTextFormat(Qt::PlainText);
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    }

    const FileDialog& m_settings;
    QString m_chosen;
};

}  // namespace

void FileDialog::setKind(FileDialogKind kind) {
    m_kind = int(kind) <= int(FileDialogKind::Open) ? FileDialogKind::Open : FileDialogKind::Save;
}

QStringList qtNameFilters(const Text& filter) {
    // Only the end is trimmed: white space at the start belongs to the first description.
    std::string list = filter.bytes();
    while (!list.empty() && isBlank(list.back())) list.pop_back();
    if (!list.empty() && !list.ends_with("||")) list += "||";

    QStringList result;
    std::size_t at = 0;
    auto next = [&]() {
        const std::size_t bar = list.find('|', at);
        const std::size_t end = bar == std::string::npos ? list.size() : bar;
        std::string part = list.substr(at, end - at);
        at = bar == std::string::npos ? list.size() : bar + 1;
        return part;
    };
    while (at < list.size()) {
        const std::string description = next();
        const std::string patterns = next();
        if (description.empty() || patterns.empty()) break;  // the "||" that ends the list
        QStringList shown;
        std::size_t from = 0;
        while (from <= patterns.size()) {
            const std::size_t semicolon = std::min(patterns.find(';', from), patterns.size());
            const std::string_view pattern = trimmed(std::string_view(patterns).substr(from, semicolon - from));
            if (!pattern.empty()) shown << toQString(Text(pattern));
            from = semicolon + 1;
        }
        if (shown.isEmpty()) continue;
        result << toQString(Text(description)) + QStringLiteral(" (") + shown.join(u' ') + u')';
    }
    return result;
}

FileDialogResult FileDialog::open(QWidget* owner) {
    // Held by pointer: should the owner go away while the dialog runs, it takes
    // the dialog with it.
    QPointer<ComponentDialog> dialog = new ComponentDialog(owner, *this);
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
    // Qt's dialog has no read-only check box to hide.
    dialog->setAcceptMode(m_kind == FileDialogKind::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(m_kind == FileDialogKind::Open && hasOption(FileDialogOption::FileMustExist)
                            ? QFileDialog::ExistingFile
                            : QFileDialog::AnyFile);
    if (!m_title.empty()) dialog->setWindowTitle(toQString(m_title));

    const QStringList filters = qtNameFilters(m_filter);
    if (!filters.isEmpty()) {
        dialog->setNameFilters(filters);
        const QStringList cleaned = dialog->nameFilters();
        dialog->selectNameFilter(cleaned.value(m_filterIndex < cleaned.size() ? m_filterIndex : 0));
    }
    // With no folder given, the dialog shows the current folder, the one a
    // relative name is taken from, rather than whichever folder Qt last showed.
    dialog->setDirectory(m_initialFolder.empty() ? QDir::currentPath() : toQString(m_initialFolder));
    if (!m_fileName.empty()) {
        const QString name = toQString(m_fileName);
        const QFileInfo info(name);
        if (name.contains(u'/') || name.contains(QDir::separator())) {
            dialog->setDirectory(info.absolutePath());
            dialog->selectFile(info.fileName());
        } else {
            dialog->selectFile(name);
        }
    }
    if (!m_defaultExtension.empty()) dialog->setDefaultSuffix(toQString(m_defaultExtension));

    const int code = dialog->exec();
    if (!dialog) return FileDialogResult::Cancelled;
    const QString chosen = dialog->chosen();
    delete dialog;
    if (code != QDialog::Accepted || chosen.isEmpty()) return FileDialogResult::Cancelled;

    m_fileName = fromQString(QDir::toNativeSeparators(chosen));
    if (!hasOption(FileDialogOption::KeepCurrentFolder)) QDir::setCurrent(QFileInfo(chosen).absolutePath());
    return FileDialogResult::Chosen;
}

}  // namespace vantrelo
