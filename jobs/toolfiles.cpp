#include "jobs/toolfiles.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>

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
    const QFileDevice::Permissions p = QFile::permissions(path);
    if (!(p & QFileDevice::WriteOwner)) QFile::setPermissions(path, p | QFileDevice::WriteOwner);
}

QString SourceFailureText(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) return path + QStringLiteral(" has been removed!");
    return info.fileName() + QStringLiteral(" is an invalid audio file!");
}
