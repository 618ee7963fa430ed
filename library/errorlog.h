#pragma once
// The error log "Error.txt": three lines per unexpected error (the message,
// the error's class name, the date and time), each ended by CR LF. Nothing
// reads it back; it is there for the user and for reports.

#include <QDateTime>
#include <QString>

#include <exception>

// Appends the three lines, creating the file when it is missing. False when
// it could not be written; the caller has nothing better to do with an error
// about its error log than go on.
bool AppendErrorLog(const QString& file, const QString& message, const QString& className,
                    const QDateTime& moment = QDateTime::currentDateTime());

// The message and class name of an exception as the log writes them: our own
// errors carry a stable class name, others the demangled type name.
struct ErrorDescription {
    QString message;
    QString className;
};
ErrorDescription DescribeException(const std::exception_ptr& error);
