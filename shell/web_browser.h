#pragma once
// Opening the maker's web address: the desktop first, then the browser
// registered for web pages started directly.
#include <QString>
#include <QStringList>

namespace vantrelo {

// The command line of a desktop entry's Exec value cut before its first
// placeholder (%u, %U, %f, ...; also before a double quote in front of it),
// followed by one space and url. An Exec value without a placeholder is used whole.
QString browserCommandLine(const QString& exec, const QString& url);

// The Exec value of the desktop entry registered for text/html; empty when none.
QString registeredBrowserExec();
// The Exec value of the [Desktop Entry] group of the file at path; empty when none.
QString desktopEntryExec(const QString& path);
// The first entry named for mimeType in the [Default Applications] group of a
// mimeapps.list file; empty when none.
QString defaultEntryFromMimeApps(const QString& path, const QString& mimeType);

// Asks the desktop to open url; on failure starts the registered browser.
// True when one of the two succeeded.
bool openWebAddress(const QString& url);

}  // namespace vantrelo
