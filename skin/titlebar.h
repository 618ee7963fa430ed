#pragma once
// A window's caption bar drawn from theme pictures: left, client and right
// sections, a row of caption buttons with the control box at the left, the
// caption, and a system menu. Dragging its empty part moves the window, a
// double click there maximises and restores it. The form frame hosts it; a
// test or gallery window may place one directly.
//
// The bar finds the button under the pointer each time it paints, from where
// the pointer is, so that no button keeps its hover look after a menu or a
// question box took the pointer.

#include "skin/drawing.h"
#include "skin/filetheme.h"
#include "skin/menu.h"
#include "platform/framelesswindow.h"

#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <vector>

enum class TvsTitleBarBtnType : uint8_t { vsMax = 0, vsMin, vsClose, vsHelp, vsControlBox, vsCustom };
enum class TvsTitleBarAlign : uint8_t { vsLeft = 0, vsRight, vsClient };

class TvsTitleBar;
template <class Item>
class TvsTitleBarCollection;
class TvsTitleBarButton;
class TvsTitleBarSection;
using TvsTitleBarButtonList = TvsTitleBarCollection<TvsTitleBarButton>;
using TvsTitleBarSectionList = TvsTitleBarCollection<TvsTitleBarSection>;

class TvsTitleBarButton {
public:
    explicit TvsTitleBarButton(TvsTitleBarButtonList* collection);

    bool visible() const { return visible_; }
    TvsTitleBarBtnType buttonType() const { return buttonType_; }
    bool transparent() const { return transparent_; }
    int top() const { return top_; }
    TvsUIStyle uiStyle() const { return uiStyle_; }
    QImage picNormal() const { return pics_[0]; }
    QImage picMouseOn() const { return pics_[1]; }
    QImage picMouseDown() const { return pics_[2]; }
    QMenu* controlBoxMenu() const { return controlBoxMenu_; }
    int index() const;
    TvsTitleBar* bar() const;

    void setVisible(bool on);
    // A second control box in the collection is refused with a message.
    void setButtonType(TvsTitleBarBtnType type);
    void setTransparent(bool on);
    void setTop(int top);
    void setUIStyle(TvsUIStyle style);
    void setPicNormal(const QImage& pic) { setPic(0, pic); }
    void setPicMouseOn(const QImage& pic) { setPic(1, pic); }
    void setPicMouseDown(const QImage& pic) { setPic(2, pic); }
    // A plain reference: a menu destroyed since is never popped up.
    void setControlBoxMenu(QMenu* menu) { controlBoxMenu_ = menu; }
    void assign(const TvsTitleBarButton& other);

    // The theme's cells for the type (a custom button keeps its own).
    void ApplyButtonPictures();
    // A maximise button shows the restore cells while the window is maximised.
    void UpdateMaxPictures();

    // What is drawn for the state: normal, under the pointer, held down;
    // with Transparent, the picture's lower-left colour left out.
    QImage drawn(int state) const { return drawn_[state]; }

private:
    void setPic(int i, const QImage& pic);
    void loadCells(int first);
    void rekey();
    void repaint() const;

    TvsTitleBarButtonList* collection_;
    bool visible_ = true;
    TvsTitleBarBtnType buttonType_ = TvsTitleBarBtnType::vsCustom;
    bool transparent_ = false;
    int top_ = 2;
    TvsUIStyle uiStyle_ = TvsUIStyle::DeepBlue;
    QImage pics_[3];
    QImage drawn_[3];
    QPointer<QMenu> controlBoxMenu_;
};

class TvsTitleBarSection {
public:
    explicit TvsTitleBarSection(TvsTitleBarSectionList* collection) : collection_(collection) {}

    int width() const { return width_; }
    TvsTitleBarAlign align() const { return align_; }
    QImage picture() const { return picture_; }
    bool stretch() const { return stretch_; }
    bool autoSize() const { return autoSize_; }

    void setWidth(int w);
    // A second client section in the collection is refused with a message.
    void setAlign(TvsTitleBarAlign align);
    // The client section always stretches.
    void setStretch(bool on);
    void setPicture(const QImage& picture);
    void setAutoSize(bool on);
    void assign(const TvsTitleBarSection& other);

private:
    void repaint() const;

    TvsTitleBarSectionList* collection_;
    int width_ = 10;
    TvsTitleBarAlign align_ = TvsTitleBarAlign::vsLeft;
    QImage picture_;
    bool stretch_ = false;
    bool autoSize_ = false;
};

// An owned, ordered list of items that repaints its bar when it changes.
template <class Item>
class TvsTitleBarCollection {
public:
    explicit TvsTitleBarCollection(TvsTitleBar* owner) : owner_(owner) {}
    TvsTitleBarCollection(const TvsTitleBarCollection&) = delete;
    TvsTitleBarCollection& operator=(const TvsTitleBarCollection&) = delete;
    virtual ~TvsTitleBarCollection() = default;

    TvsTitleBar* owner() const { return owner_; }
    int count() const { return int(items_.size()); }
    Item* items(int i) const { return i >= 0 && i < count() ? items_[size_t(i)].get() : nullptr; }
    int indexOf(const Item* item) const {
        for (int i = 0; i < count(); ++i)
            if (items_[size_t(i)].get() == item) return i;
        return -1;
    }
    Item* add();
    void remove(int i);
    void clear();
    // This collection becomes a copy of the other.
    void assign(const TvsTitleBarCollection& other);
    void update() const;

private:
    TvsTitleBar* owner_;
    std::vector<std::unique_ptr<Item>> items_;
};

class TvsTitleBarButtons : public TvsTitleBarCollection<TvsTitleBarButton> {
public:
    using TvsTitleBarCollection::TvsTitleBarCollection;
};

class TvsTitleBarSections : public TvsTitleBarCollection<TvsTitleBarSection> {
public:
    using TvsTitleBarCollection::TvsTitleBarCollection;
};

// The system menu: minimise, maximise or restore, close; each item enabled
// when the bar has a button of its kind, shown or not.
class TvsTitleBarPopupMenu : public TvsPopupMenu {
    Q_OBJECT
public:
    explicit TvsTitleBarPopupMenu(TvsTitleBar* bar);
    void Popup(const QPoint& globalPos);
    QAction* minimizeItem() const { return items_[0]; }
    QAction* maximizeItem() const { return items_[1]; }
    QAction* closeItem() const { return items_[3]; }

private:
    void enableItems();

    TvsTitleBar* bar_;
    QAction* items_[4];
};

class TvsTitleBar : public QWidget, public TvsThemeable {
    Q_OBJECT
public:
    explicit TvsTitleBar(QWidget* parent = nullptr);
    ~TvsTitleBar() override;

    // Where the bar puts things at a width: each button's rectangle (empty
    // when hidden), the control box's index, and the caption's place.
    struct Layout {
        std::vector<QRect> buttons;
        int controlBox = -1;
        int captionLeft = 0;
        int captionRoom = 0;
        QString captionText;
        QPoint iconAt;  // the application icon, when drawn
    };
    Layout layout(int width) const;
    // The index of the button at a point of the bar, -1 for none.
    int buttonAt(const QPoint& pos) const;
    // The caption shortened with "..." to fit the room; empty when not even
    // "..." fits.
    static QString ElideCaption(const QString& caption, const QFontMetrics& fm, int room);
    // The window's shape: rounded top corners (an ellipse `r` wide), square
    // bottom ones; the whole rectangle for r = 0.
    static QRegion FormRegion(const QSize& size, int r);

    TvsUIStyle uiStyle() const { return uiStyle_; }
    TvsFileTheme* fileTheme() const { return fileTheme_; }
    TvsTitleBarSections* sections() const { return sections_.get(); }
    TvsTitleBarButtons* buttons() const { return buttons_.get(); }
    bool autoSize() const { return autoSize_; }
    int buttonInterval() const { return buttonInterval_; }
    QString caption() const { return caption_; }
    bool formActive() const { return formActive_; }
    int leftBtnXOffset() const { return leftBtnXOffset_; }
    int rightBtnXOffset() const { return rightBtnXOffset_; }
    int roundCorner() const { return roundCorner_; }
    bool drawAppIcon() const { return drawAppIcon_; }
    bool custom() const { return custom_; }
    QColor borderColor() const { return borderColor_; }
    QColor fontColor() const { return fontColor_; }
    // The caption's colour while the window is not the active one.
    QColor inactiveFontColor() const { return inactiveFontColor_; }
    int buttonStripHeight() const { return stripHeight_; }
    int captionTop() const { return captionTop_; }
    bool pressed() const { return pressed_; }
    int hoverIndex() const { return hoverIndex_; }
    TvsTitleBarPopupMenu* systemMenu() const { return systemMenu_; }
    // The window the bar belongs to; null while the bar is a window itself.
    QWidget* form() const;
    bool formMaximized() const;

    void setUIStyle(TvsUIStyle style) override;
    void setFileTheme(TvsFileTheme* theme) override;
    void setSections(const TvsTitleBarSections& sections);
    void setButtons(const TvsTitleBarButtons& buttons);
    // With sections, the bar becomes as high as the first one's picture.
    void setAutoSize(bool on);
    void setHeight(int h);
    void setButtonInterval(int v);
    void setCaption(const QString& caption);
    void setFormActive(bool on);
    void setLeftBtnXOffset(int v);
    void setRightBtnXOffset(int v);
    void setRoundCorner(int r);
    void setDrawAppIcon(bool on);
    void setCustom(bool on) { custom_ = on; }
    void setFontColor(const QColor& c);

    // What the button does: maximise or restore, minimise, close (the
    // window's own questions still run), pop the control box's menu.
    void ClickButton(TvsTitleBarButton* button);
    void ReapplyFormRegion();
    void UpdateFormRegion(int r);
    void UpdateMaxButtons();

    // The smallest and largest height a theme can give the bar.
    static constexpr int kMinHeight = 18;
    static constexpr int kMaxHeight = 96;

signals:
    void customBtnsClick(int buttonIndex);
    void helpBtnClick(int buttonIndex);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent*) override;
    void changeEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

    void DrawSections(QPainter& p, int w, int h) const;
    void DrawButtons(QPainter& p, int w);

private:
    friend class TvsTitleBarButton;
    template <class Item>
    friend class TvsTitleBarCollection;
    // A section or button changed: the sections are drawn again.
    void changed();
    void applyStyle();
    bool pointerFree() const;
    void popControlBox(int index);
    void settle();

    TvsUIStyle uiStyle_ = TvsUIStyle::DeepBlue;
    QPointer<TvsFileTheme> fileTheme_;
    std::unique_ptr<TvsTitleBarSections> sections_;
    std::unique_ptr<TvsTitleBarButtons> buttons_;
    bool autoSize_ = false;
    int buttonInterval_ = 0;
    QString caption_;
    bool formActive_ = true;
    int leftBtnXOffset_ = 0, rightBtnXOffset_ = 0;
    int roundCorner_ = 0;
    bool drawAppIcon_ = false;
    bool reapplying_ = false;
    TvsTitleBarPopupMenu* systemMenu_ = nullptr;
    QColor borderColor_{Qt::black};
    QColor fontColor_{Qt::white};
    QColor inactiveFontColor_{0x80, 0x80, 0x80};
    bool custom_ = false;
    bool pressed_ = false;
    int pressedIndex_ = -1;
    int hoverIndex_ = -1;
    int stripHeight_ = 0;
    int captionTop_ = 0;
    WindowDrag drag_;
    // The control box waits one double-click time before its menu opens, so
    // that a double click on it can close the window instead.
    QTimer controlBoxTimer_;
    int controlBoxPending_ = -1;
    QPixmap sectionsCache_;
};
