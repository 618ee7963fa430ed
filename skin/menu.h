#pragma once
// Menus drawn by the program: a coloured bar down the left side for check
// marks and icons, themed selection colours and fixed item heights. Qt
// measures and paints menu items inside the style, so each menu carries a
// style of its own that reads the menu's values; submenus, also those added
// later, get it too.
//
// Order matters to callers: the style first, then sizes and colours, which
// win.

#include "skin/drawing.h"
#include "skin/filetheme.h"

#include <QMenu>
#include <QMenuBar>

class QProxyStyle;

// What the menu style reads.
struct TvsMenuLook {
    bool graphite = false;  // Graphite draws items with its pictures
    int menuItemHeight = 21;
    int separatorHeight = 21;
    int barWidth = 0;
    QColor barColor;
    QColor color{Qt::white};
    QColor separatorColor{0x80, 0x80, 0x80};
    QColor selectedBorderColor;
    QColor selectedColor;
    QColor selectedFontColor{Qt::white};
    QColor fontColor{Qt::white};
    QColor borderColor{Qt::black};
    bool flatMenu = false;
    QColor flatBorderColor;  // the theme's form background, used by a flat menu
    QString fontName = QStringLiteral("MS Sans Serif");
    int fontSize = 8;
    bool useSystemFont = true;
    int menuBarHeight = 22;
    QColor menuBarColor;  // the bar's background; when unset, barColor
};

// The values and their setters, shared by the popup menu and the menu bar.
template <class Base>
class TvsMenuBase : public Base, public TvsThemeable {
public:
    explicit TvsMenuBase(QWidget* parent);
    ~TvsMenuBase() override;

    const TvsMenuLook& look() const { return look_; }
    TvsUIStyle uiStyle() const { return uiStyle_; }
    TvsFileTheme* fileTheme() const { return fileTheme_; }

    void setUIStyle(TvsUIStyle style) override;
    void setFileTheme(TvsFileTheme* theme) override;
    // Graphite's items have fixed heights: these two are ignored there.
    void setMenuItemHeight(int h);
    void setSeparatorHeight(int h);
    void setBarWidth(int w);
    void setBarColor(const QColor& c) { setColour(&TvsMenuLook::barColor, c); }
    void setColor(const QColor& c) { setColour(&TvsMenuLook::color, c); }
    void setSeparatorColor(const QColor& c) { setColour(&TvsMenuLook::separatorColor, c); }
    void setSelectedBorderColor(const QColor& c) { setColour(&TvsMenuLook::selectedBorderColor, c); }
    void setSelectedColor(const QColor& c) { setColour(&TvsMenuLook::selectedColor, c); }
    void setSelectedFontColor(const QColor& c) { setColour(&TvsMenuLook::selectedFontColor, c); }
    void setFontColor(const QColor& c) { setColour(&TvsMenuLook::fontColor, c); }
    void setBorderColor(const QColor& c) { setColour(&TvsMenuLook::borderColor, c); }
    void setFlatMenu(bool on);
    void setFontName(const QString& name);
    void setFontSize(int size);
    void setUseSystemFont(bool on);

protected:
    TvsMenuLook& mutableLook() { return look_; }
    void actionEvent(QActionEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setColour(QColor TvsMenuLook::*field, const QColor& c);
    void hook(QWidget* menu);
    // Item sizes were measured with the old values: measure again.
    void relayout();
    void repaintAll();

    TvsMenuLook look_;
    TvsUIStyle uiStyle_;
    QPointer<TvsFileTheme> fileTheme_;
    QProxyStyle* style_;
    QList<QPointer<QWidget>> hooked_;
};

class TvsPopupMenu : public TvsMenuBase<QMenu> {
    Q_OBJECT
public:
    explicit TvsPopupMenu(QWidget* parent = nullptr);
};

// A form's menu bar drawn the same way; its menus are themed popup menus.
class TvsMainMenu : public TvsMenuBase<QMenuBar> {
    Q_OBJECT
public:
    explicit TvsMainMenu(QWidget* parent = nullptr);

    // A form frame that hosts the bar gives it its own colour and height.
    void setMenuBarColor(const QColor& c);
    void setMenuBarHeight(int h);
};
