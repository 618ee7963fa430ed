#include "platform/userfolders.h"

#include <QDir>
#include <QStandardPaths>

#include "platform/paths.h"

QString MusicFolder() {
    QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (music.isEmpty()) music = QDir::home().filePath(QStringLiteral("Music"));
    return music;
}

QString RipOutputFolder() {
    return QString::fromStdString(JoinPath(MusicFolder().toStdString(), "mp3"));
}

QString DialogStartFolder() { return QDir::homePath(); }

QString StoredFolderOr(const QString& stored, const QString& fallback) {
    if (stored.isEmpty() || IsWindowsPath(stored.toStdString())) return fallback;
    return stored;
}
