#pragma once
// The desktop entry that lets the file manager open any audio file with the
// program: "tunevale.desktop" in the user's applications folder, checked at
// every start against the program's current path.

#include <QString>
#include <QStringList>

#include <optional>

// The entry's text for a program path.
QString ShellVerbEntryText(const QString& programPath);
// Writes the entry unless it already holds that text; false when it could
// not be written (nothing else to do about it: the program runs without it).
bool WriteShellVerbEntry(const QString& programPath);
// Where the entry lives.
QString ShellVerbEntryPath();

// --- The program as the opener of the four audio types ---

// The MIME types that name files of an extension (".mp3", ".wav", ".ogg",
// ".wma", any case); none for another one.
QStringList MimeTypesOfExtension(const QString& extension);
// The user's "mimeapps.list": $XDG_CONFIG_HOME/mimeapps.list.
QString MimeAppsListPath();
// A mimeapps.list text in which desktopId is the first default application
// of each type, in its [Default Applications] group (made at the end when
// missing). The applications listed after it before stay after it; every
// other line is kept as it was.
QString SetDefaultApplication(const QString& text, const QStringList& mimeTypes, const QString& desktopId);
// Makes the program the default opener of the extension's files: the desktop
// entry, then its line in "mimeapps.list" for each of the extension's types.
// The message when the list could not be read or written (it is then as it
// was).
std::optional<QString> RegisterFileType(const QString& extension, const QString& programPath);
