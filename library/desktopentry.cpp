#include "library/desktopentry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/atomicfile.h"
#include "platform/posixfile.h"
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

namespace {

const QString kDefaultApplications = QStringLiteral("[Default Applications]");

bool isGroupHeader(const QString& line) {
    const QString t = line.trimmed();
    return t.startsWith(u'[') && t.endsWith(u']');
}

// No list a desktop writes comes near this; a larger file is not read.
constexpr uint64_t kMaxMimeAppsBytes = 4u << 20;

}  // namespace

QStringList MimeTypesOfExtension(const QString& extension) {
    const QString ext = extension.toLower();
    if (ext == QLatin1String(".mp3")) return {QStringLiteral("audio/mpeg")};
    if (ext == QLatin1String(".wav"))
        return {QStringLiteral("audio/x-wav"), QStringLiteral("audio/wav"), QStringLiteral("audio/vnd.wave")};
    if (ext == QLatin1String(".ogg")) return {QStringLiteral("audio/ogg"), QStringLiteral("audio/x-vorbis+ogg")};
    if (ext == QLatin1String(".wma")) return {QStringLiteral("audio/x-ms-wma")};
    return {};
}

QString MimeAppsListPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/mimeapps.list");
}

QString SetDefaultApplication(const QString& text, const QStringList& mimeTypes, const QString& desktopId) {
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    qsizetype group = -1;
    for (qsizetype i = 0; i < lines.size() && group < 0; ++i)
        if (lines[i].trimmed() == kDefaultApplications) group = i;
    if (group < 0) {
        if (!lines.isEmpty() && !lines.back().trimmed().isEmpty()) lines.append(QString());
        lines.append(kDefaultApplications);
        group = lines.size() - 1;
    }
    for (const QString& mime : mimeTypes) {
        qsizetype end = group + 1;
        while (end < lines.size() && !isGroupHeader(lines[end])) ++end;
        qsizetype found = -1;
        for (qsizetype i = group + 1; i < end && found < 0; ++i) {
            const qsizetype eq = lines[i].indexOf(u'=');
            if (eq > 0 && lines[i].left(eq).trimmed() == mime) found = i;
        }
        QStringList apps{desktopId};
        if (found >= 0) {
            const QString line = lines[found];
            for (const QString& app : line.mid(line.indexOf(u'=') + 1).split(u';', Qt::SkipEmptyParts))
                if (app.trimmed() != desktopId) apps.append(app.trimmed());
            lines[found] = mime + u'=' + apps.join(u';') + u';';
            continue;
        }
        // After the group's last line that is not blank.
        qsizetype at = end;
        while (at > group + 1 && lines[at - 1].trimmed().isEmpty()) --at;
        lines.insert(at, mime + u'=' + desktopId + u';');
    }
    return lines.join(u'\n') + u'\n';
}

std::optional<QString> RegisterFileType(const QString& extension, const QString& programPath) {
    const QStringList types = MimeTypesOfExtension(extension);
    if (types.isEmpty()) return std::nullopt;
    // The desktop finds the program by its entry; without one the list's
    // line would name nothing.
    if (!WriteShellVerbEntry(programPath)) return QStringLiteral("Cannot create file %1").arg(ShellVerbEntryPath());
    const QString list = MimeAppsListPath();
    const std::string file = list.toStdString();
    std::string old;
    if (QFileInfo::exists(list) && !ReadRegularFile(file, kMaxMimeAppsBytes, &old))
        return QStringLiteral("Cannot open file %1").arg(list);
    const QString desktopId = QFileInfo(ShellVerbEntryPath()).fileName();
    const QString text = SetDefaultApplication(QString::fromUtf8(old), types, desktopId);
    if (!QDir().mkpath(QFileInfo(list).absolutePath()) || !WriteFileAtomically(file, text.toStdString()).ok)
        return QStringLiteral("Cannot create file %1").arg(list);
    return std::nullopt;
}
