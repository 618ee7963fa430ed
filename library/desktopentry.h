#pragma once
// The desktop entry that lets the file manager open any audio file with the
// program: "tunevale.desktop" in the user's applications folder, checked at
// every start against the program's current path.

#include <QString>

// The entry's text for a program path.
QString ShellVerbEntryText(const QString& programPath);
// Writes the entry unless it already holds that text; false when it could
// not be written (nothing else to do about it: the program runs without it).
bool WriteShellVerbEntry(const QString& programPath);
// Where the entry lives.
QString ShellVerbEntryPath();
