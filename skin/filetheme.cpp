#include "skin/filetheme.h"

#include "skin/drawing.h"
#include "skin/uistyle.h"

#include <QCoreApplication>
#include <QFileInfo>

bool TvsFileThemeMgr::Load(const QString& fileName) {
    // The new values are complete before the old ones go, so a refused file
    // leaves the theme as it was.
    std::unique_ptr<TvsThemeFileReader> fresh = TvsThemeFileReader::read(fileName, &lastError_);
    if (!fresh) return false;
    reader_ = std::move(fresh);
    lastError_.clear();
    return true;
}

QImage TvsFileThemeMgr::GetBitmap(int key) const { return reader_ ? reader_->GetBitmap(ThemeKeyName(key)) : QImage(); }

bool TvsFileThemeMgr::GetBool(int key) const { return reader_ && reader_->GetBool(ThemeKeyName(key)); }

int TvsFileThemeMgr::GetInt(int key) const { return reader_ ? reader_->GetInt(ThemeKeyName(key)) : 0; }

int TvsFileThemeMgr::GetColor(int key) const { return GetInt(key); }

TvsFileTheme::TvsFileTheme(QObject* parent) : QObject(parent) {}

QImage TvsFileTheme::GetSplitBitmap(int key, int count, int index) const {
    const QImage whole = GetBitmap(key);
    return count == 0 ? whole : SplitBitmap(whole, count, index);
}

void TvsFileTheme::SetThemeFile(const QString& fileName) {
    if (fileName == themeFile_) return;
    QString path = fileName;
    if (!QFileInfo::exists(path)) {
        const QString folder =
            programFolder_.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder_;
        path = folder + QLatin1Char('/') + QFileInfo(fileName).fileName();
        if (!QFileInfo::exists(path)) return;
    }
    if (!mgr_.Load(path)) return;
    themeFile_ = fileName;
    loaded_ = true;
    emit changed();
}

void LinkFileTheme(QObject* control, QPointer<TvsFileTheme>& link, TvsFileTheme* theme,
                   const std::function<void()>& rebuild, const std::function<void()>& gone) {
    if (link) QObject::disconnect(link, nullptr, control, nullptr);
    link = theme;
    if (theme) {
        QObject::connect(theme, &TvsFileTheme::changed, control, rebuild);
        QObject::connect(theme, &QObject::destroyed, control, gone);
    }
    rebuild();
}
