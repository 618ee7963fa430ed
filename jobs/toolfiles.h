#pragma once
// File texts and checks that the tool windows and their jobs share.

#include <QByteArray>
#include <QString>

#include <string>

// The Size column: MB with two decimals, at most five significant digits.
QString FileSizeText(qint64 bytes);

// After "Overwrite? Yes": the owner may write the file again; the other
// permission bits stay.
void MakeWritable(const QString& path);

// What the user is told about a source that cannot be read: path +
// " has been removed!" when it is gone, else its name + " is an invalid
// audio file!".
QString SourceFailureText(const QString& path);

// The file system's bytes for a path. Qt decodes a name that is not valid
// UTF-8 with U+FFFD in place of its bad bytes, and that text names no file;
// such a path is matched against the entries of its folder, and the one
// entry that decodes to it is the file meant. Without such an entry the
// path's own encoding comes back.
QByteArray LocalPath(const QString& path);
inline std::string LocalPathString(const QString& path) { return LocalPath(path).toStdString(); }

// Whether anything has that name: a file, a folder or a symbolic link,
// dangling or not.
bool NameTaken(const QString& path);

// Whether output, under its own name (not through a link), is the file
// source names: an output that takes its source's place.
bool ReplacesSource(const QString& output, const QString& source);
