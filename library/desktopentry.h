#pragma once
// The desktop entry that lets the file manager open any audio file with the
// program: "tunevale.desktop" in the user's applications folder, rewritten at
// every start with the program's current path.

#include <QString>

// The entry's text for a program path.
QString ShellVerbEntryText(const QString& programPath);
// Writes the entry; false when it could not be written (nothing else to do
// about it: the program runs without it).
bool WriteShellVerbEntry(const QString& programPath);
// Where the entry lives.
QString ShellVerbEntryPath();
