#pragma once
// The window's file dialog component (通用对话框1): it holds the settings of a
// file dialog, keeps them between uses and opens an open or save dialog on
// request. Nothing is shown until open() is called.
#include <QStringList>

#include "base/text.h"

class QWidget;

namespace vantrelo {

// The component also knows a font dialog and help, which this program never
// opens; any other value is brought to the nearest of these two.
enum class FileDialogKind : int { Open = 0, Save = 1 };

// The dialog's on/off settings.
enum class FileDialogOption : unsigned {
    AskToCreate = 1u << 0,        // ask before accepting the name of a file that does not exist
    FileMustExist = 1u << 1,      // an open dialog accepts only existing files
    ConfirmReplace = 1u << 2,     // a save dialog asks before an existing file is chosen
    PathMustExist = 1u << 3,      // only names in existing folders are accepted
    KeepCurrentFolder = 1u << 4,  // off: the process's current folder follows the chosen file
};

// What the user did with the dialog.
enum class FileDialogResult { Chosen, Cancelled };

class FileDialog {
public:
    FileDialog() = default;
    FileDialog(const FileDialog&) = delete;
    FileDialog& operator=(const FileDialog&) = delete;

    FileDialogKind kind() const { return m_kind; }
    void setKind(FileDialogKind kind);
    // Empty: the standard title of the kind.
    const Text& title() const { return m_title; }
    void setTitle(const Text& title) { m_title = title; }
    // In: the name the dialog opens with; out: the full path the user chose.
    const Text& fileName() const { return m_fileName; }
    void setFileName(const Text& name) { m_fileName = name; }
    // "description|patterns|description|patterns||", patterns separated by ';'.
    const Text& filter() const { return m_filter; }
    void setFilter(const Text& filter) { m_filter = filter; }
    // 0-based entry of the filter selected when the dialog opens; never negative.
    int filterIndex() const { return m_filterIndex; }
    void setFilterIndex(int index) { m_filterIndex = index < 0 ? 0 : index; }
    // Shown first when the file name names no folder. Empty: the platform's choice.
    const Text& initialFolder() const { return m_initialFolder; }
    void setInitialFolder(const Text& folder) { m_initialFolder = folder; }
    // Without the dot; added to a typed name that has no extension.
    const Text& defaultExtension() const { return m_defaultExtension; }
    void setDefaultExtension(const Text& extension) { m_defaultExtension = extension; }

    bool hasOption(FileDialogOption option) const { return (m_options & unsigned(option)) != 0; }
    void enableOption(FileDialogOption option) { m_options |= unsigned(option); }
    void disableOption(FileDialogOption option) { m_options &= ~unsigned(option); }

    // Shows the dialog modal over owner (which may be null) and waits for the
    // user. When a file is chosen, fileName() becomes its full path and, unless
    // KeepCurrentFolder is on, the process's current folder becomes the file's
    // folder. When cancelled, no setting changes.
    FileDialogResult open(QWidget* owner);

private:
    FileDialogKind m_kind = FileDialogKind::Open;
    Text m_title;
    Text m_fileName;
    Text m_filter;
    int m_filterIndex = 0;
    Text m_initialFolder;
    Text m_defaultExtension;
    unsigned m_options = unsigned(FileDialogOption::FileMustExist) | unsigned(FileDialogOption::ConfirmReplace) |
                         unsigned(FileDialogOption::PathMustExist);
};

// The filter setting turned into Qt name filters, one per entry, each showing
// the entry's description followed by its patterns:
// "图片文件(*.bmp;*.jpg)|*.bmp;*.jpg" gives "图片文件(*.bmp;*.jpg) (*.bmp *.jpg)".
// White space at the end is ignored; the list ends at the first entry without
// a description or without patterns.
QStringList qtNameFilters(const Text& filter);

}  // namespace vantrelo
