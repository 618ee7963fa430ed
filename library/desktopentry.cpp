#include "library/desktopentry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/atomicfile.h"
#include "platform/paths.h"

namespace {

// A program path as one quoted argument of an Exec line, then escaped again
// as a desktop entry string value.
QString execArgument(const QString& path) {
    QString quoted = QStringLiteral("\"");
    for (QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') quoted += u'\\';
        if (c == u'%') quoted += u'%';
        quoted += c;
    }
    quoted += u'"';
    return quoted.replace(QStringLiteral("\\"), QStringLiteral("\\\\"));
}

}  // namespace

QString ShellVerbEntryText(const QString& programPath) {
    return QStringLiteral(
               "[Desktop Entry]\n"
               "Type=Application\n"
               "Name=Tunevale\n"
               "Comment=Music library manager and player\n"
               "Exec=%1 %f\n"
               "Terminal=false\n"
               "NoDisplay=true\n"
               "MimeType=audio/mpeg;audio/x-wav;audio/wav;audio/vnd.wave;audio/ogg;audio/x-vorbis+ogg;"
               "audio/x-ms-wma;\n")
        .arg(execArgument(programPath));
}

QString ShellVerbEntryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/applications/tunevale.desktop");
}

bool WriteShellVerbEntry(const QString& programPath) {
    const QString file = ShellVerbEntryPath();
    const QByteArray text = ShellVerbEntryText(programPath).toUtf8();
    // Rewritten only when it changed: a new file at every start would wake
    // the desktop's watchers of the folder and rebuild its caches each time.
    // Only an entry of the same size is read, so whatever else lies there
    // costs no more than that.
    const QFileInfo info(file);
    if (info.isFile() && info.size() == text.size()) {
        QFile old(file);
        if (old.open(QIODevice::ReadOnly) && old.read(text.size() + 1) == text) return true;
    }
    if (!QDir().mkpath(info.absolutePath())) return false;
    return WriteFileAtomically(file.toStdString(), text.toStdString()).ok;
}
