#pragma once
// A theme file put to use: the manager keeps the file's values, the
// component names the file and tells the controls bound to it to redraw.

#include "skin/themefilereader.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class TvsFileThemeMgr {
public:
    // Replaces the values with the file's when the file reads; otherwise
    // keeps the ones it had and says false.
    bool Load(const QString& fileName);
    const TvsThemeFileReader* Reader() const { return reader_.get(); }
    QString lastError() const { return lastError_; }

    // By key index; without values: null, false, 0 and 0.
    QImage GetBitmap(int key) const;
    bool GetBool(int key) const;
    int GetInt(int key) const;
    int GetColor(int key) const;

private:
    std::unique_ptr<TvsThemeFileReader> reader_;
    QString lastError_;
};

class TvsFileTheme : public QObject {
    Q_OBJECT
public:
    explicit TvsFileTheme(QObject* parent = nullptr);

    QString ThemeFile() const { return themeFile_; }
    // A name that is no file is looked for again in the program's folder.
    // A file that is missing or refused changes nothing.
    void SetThemeFile(const QString& fileName);
    bool CanUse() const { return loaded_; }

    QImage GetBitmap(int key) const { return mgr_.GetBitmap(key); }
    QImage GetSplitBitmap(int key, int count, int index) const;
    bool GetBool(int key) const { return mgr_.GetBool(key); }
    int GetInt(int key) const { return mgr_.GetInt(key); }
    int GetColor(int key) const { return mgr_.GetColor(key); }

    // Where a bare file name is looked for; the program's folder unless set.
    void setProgramFolder(const QString& folder) { programFolder_ = folder; }

signals:
    // A new file was loaded: bound controls rebuild their look.
    void changed();

private:
    TvsFileThemeMgr mgr_;
    QString themeFile_;
    QString programFolder_;
    bool loaded_ = false;
};

// Binds a control to a file theme: `rebuild` runs now and at every new file,
// `gone` when the theme is destroyed (after the link was cleared).
void LinkFileTheme(QObject* control, QPointer<TvsFileTheme>& link, TvsFileTheme* theme,
                   const std::function<void()>& rebuild, const std::function<void()>& gone);
