#pragma once
// File texts and checks that the tool windows and their jobs share.

#include <QString>

// The Size column: MB with two decimals, at most five significant digits.
QString FileSizeText(qint64 bytes);

// After "Overwrite? Yes": the owner may write the file again; the other
// permission bits stay.
void MakeWritable(const QString& path);

// What the user is told about a source that cannot be read: path +
// " has been removed!" when it is gone, else its name + " is an invalid
// audio file!".
QString SourceFailureText(const QString& path);
