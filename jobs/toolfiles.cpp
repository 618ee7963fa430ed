#include "jobs/toolfiles.h"

#include <QFile>
#include <QFileInfo>

#include <QFileInfo>

#include <cmath>
#include <dirent.h>
#include <sys/stat.h>

QString FileSizeText(qint64 bytes) {
    double mb = static_cast<double>(bytes) / 1024.0 / 1024.0;
    if (mb >= 1.0) {
        // Five significant digits at most, then two decimals.
        const double scale = std::pow(10.0, 4 - static_cast<int>(std::floor(std::log10(mb))));
        mb = std::round(mb * scale) / scale;
    }
    return QString::number(mb, 'f', 2) + QStringLiteral("MB");
}

void MakeWritable(const QString& path) {
    // A link is replaced, not written through: what it names stays as it is.
    if (QFileInfo(path).isSymLink()) return;
    const QFileDevice::Permissions p = QFile::permissions(path);
    if (!(p & QFileDevice::WriteOwner)) QFile::setPermissions(path, p | QFileDevice::WriteOwner);
}

QString SourceFailureText(const QString& path) {
    if (!NameTaken(path)) return path + QStringLiteral(" has been removed!");
    return QFileInfo(path).fileName() + QStringLiteral(" is an invalid audio file!");
}

QByteArray LocalPath(const QString& path) {
    QByteArray encoded = QFile::encodeName(path);
    struct stat status {};
    if (!path.contains(QChar::ReplacementCharacter) || ::lstat(encoded.constData(), &status) == 0) return encoded;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) return encoded;
    const QString name = path.mid(slash + 1);
    const QByteArray folder = slash == 0 ? QByteArray("/") : LocalPath(path.left(slash));
    DIR* dir = ::opendir(folder.constData());
    if (!dir) return encoded;
    QByteArray found;
    int matches = 0;
    while (const dirent* entry = ::readdir(dir))
        if (QFile::decodeName(entry->d_name) == name && ++matches == 1) found = entry->d_name;
    ::closedir(dir);
    // Two names that differ only in their bad bytes cannot be told apart.
    if (matches != 1) return encoded;
    return (folder.endsWith('/') ? folder : folder + '/') + found;
}

bool NameTaken(const QString& path) {
    struct stat status {};
    return ::lstat(LocalPath(path).constData(), &status) == 0;
}

bool ReplacesSource(const QString& output, const QString& source) {
    struct stat out {}, in {};
    return ::lstat(LocalPath(output).constData(), &out) == 0 && S_ISREG(out.st_mode) &&
           ::stat(LocalPath(source).constData(), &in) == 0 && out.st_dev == in.st_dev && out.st_ino == in.st_ino;
}
