#include "shell/web_browser.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <QUrl>

namespace vantrelo {
namespace {

// The lines of group in a desktop-style key file, as key -> value.
QString keyInGroup(const QString& path, const QString& group, const QString& key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    QTextStream in(&file);
    bool inGroup = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1Char('[') + group + QLatin1Char(']');
            continue;
        }
        if (!inGroup) continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && line.left(eq).trimmed() == key) return line.mid(eq + 1).trimmed();
    }
    return {};
}

QString entryFromXdgMime() {
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
    if (!query.waitForFinished(3000) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return {};
    return QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed().split(QLatin1Char(';')).value(0);
}

QString entryFromMimeAppsLists() {
    QStringList lists;
    for (const QString& dir : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        lists << dir + QStringLiteral("/mimeapps.list");
    for (const QString& dir : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation))
        lists << dir + QStringLiteral("/mimeapps.list");
    for (const QString& list : lists) {
        const QString entry = defaultEntryFromMimeApps(list, QStringLiteral("text/html"));
        if (!entry.isEmpty()) return entry;
    }
    return {};
}

}  // namespace

QString browserCommandLine(const QString& exec, const QString& url) {
    qsizetype cut = -1;
    for (qsizetype i = 0; i + 1 < exec.size(); ++i) {
        if (exec[i] != QLatin1Char('%')) continue;
        if (exec[i + 1] == QLatin1Char('%')) {  // an escaped percent sign
            ++i;
            continue;
        }
        if (exec[i + 1].isLetter()) {
            cut = i;
            break;
        }
    }
    QString head = exec;
    if (cut >= 0) {
        if (cut > 0 && exec[cut - 1] == QLatin1Char('"')) --cut;
        head = exec.left(cut);
    }
    return head + QLatin1Char(' ') + url;
}

QString defaultEntryFromMimeApps(const QString& path, const QString& mimeType) {
    return keyInGroup(path, QStringLiteral("Default Applications"), mimeType).split(QLatin1Char(';')).value(0).trimmed();
}

QString desktopEntryExec(const QString& path) {
    return keyInGroup(path, QStringLiteral("Desktop Entry"), QStringLiteral("Exec"));
}

QString registeredBrowserExec() {
    QString entry = entryFromXdgMime();
    if (entry.isEmpty()) entry = entryFromMimeAppsLists();
    if (entry.isEmpty()) return {};
    const QString path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entry);
    if (path.isEmpty()) return {};
    return desktopEntryExec(path);
}

bool openWebAddress(const QString& url) {
    if (QDesktopServices::openUrl(QUrl(url))) return true;
    const QString exec = registeredBrowserExec();
    if (exec.isEmpty()) return false;
    QStringList words = QProcess::splitCommand(browserCommandLine(exec, url));
    if (words.isEmpty()) return false;
    const QString program = words.takeFirst();
    return QProcess::startDetached(program, words);
}

}  // namespace vantrelo
