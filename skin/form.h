#pragma once
// A window's frame drawn by the program: the window manager's frame is taken
// away, the frame paints the border strips around the window's edges, hosts
// the title bar at the top and, when given one, the menu bar under it, and
// keeps the window's contents inside its margins. Dragging the bar moves the
// window; the edges of a window that could be resized when the frame took it
// resize it, through grips at least 4 pixels wide whatever the border.
//
// The frame is a direct child of its window and says its style through the
// "uiStyle" property, so the skinned controls made after it take that style.
// A window takes one frame: a second one, or one on a window the skin engine
// already dresses, throws before anything of the window changes.

#include "skin/titlebar.h"

#include <QMenuBar>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <array>

class TvsFormGrip;

class TvsForm : public QWidget, public TvsThemeable {
    Q_OBJECT
    Q_PROPERTY(int uiStyle READ uiStyleValue)
public:
    // Throws std::runtime_error with the message when the window has a frame.
    explicit TvsForm(QWidget* form);
    ~TvsForm() override;

    // The edges a press at `pos` (window coordinates) resizes; none on a
    // window that is not resizable or is maximised. `grip` is the width of the
    // left and top zones; the right and bottom ones are a pixel narrower.
    static Qt::Edges frameEdgesAt(const QPoint& pos, const QSize& size, bool sizeable, bool maximized, int grip = 5);

    QWidget* form() const { return form_; }
    TvsTitleBar* titleBar() const { return titleBar_; }
    bool sizeable() const { return sizeable_; }

    TvsUIStyle uiStyle() const { return uiStyle_; }
    int uiStyleValue() const { return int(uiStyle_); }
    TvsFileTheme* fileTheme() const { return fileTheme_; }
    bool uiStyleAutoUpdateSub() const { return uiStyleAutoUpdateSub_; }
    QColor borderColor() const { return borderColor_; }
    int borderWidth() const { return borderWidth_; }
    QColor color() const { return color_; }
    bool titleBarVisible() const { return titleBarVisible_; }
    bool titleBarCustom() const { return titleBar_->custom(); }
    bool titleBarDrawAppIcon() const { return titleBar_->drawAppIcon(); }
    TvsTitleBarButtons* titleBarButtons() const { return titleBar_->buttons(); }
    TvsTitleBarSections* titleBarSections() const { return titleBar_->sections(); }
    QString caption() const { return titleBar_->caption(); }
    int roundCorner() const { return titleBar_->roundCorner(); }
    QWidget* formPanel() const { return formPanel_; }
    QMenuBar* menu() const { return qobject_cast<QMenuBar*>(menu_.data()); }
    QColor menuBarColor() const { return menuBarColor_; }
    int menuBarHeight() const { return menuBarHeight_; }
    QString version() const { return QStringLiteral("4.06"); }

    void setUIStyle(TvsUIStyle style) override;
    void setFileTheme(TvsFileTheme* theme) override;
    void setUIStyleAutoUpdateSub(bool on) { uiStyleAutoUpdateSub_ = on; }
    void setBorderColor(const QColor& c);
    // Clamped to 0..20 pixels.
    void setBorderWidth(int w);
    void setColor(const QColor& c);
    void setTitleBarVisible(bool on);
    void setTitleBarCustom(bool on) { titleBar_->setCustom(on); }
    void setTitleBarDrawAppIcon(bool on) { titleBar_->setDrawAppIcon(on); }
    void setTitleBarButtons(const TvsTitleBarButtons& buttons) { titleBar_->setButtons(buttons); }
    void setTitleBarSections(const TvsTitleBarSections& sections) { titleBar_->setSections(sections); }
    // The bar's caption and the window's title.
    void setCaption(const QString& caption);
    void setRoundCorner(int r) { titleBar_->setRoundCorner(r); }
    // The panel fills what the bars leave; the frame itself is refused.
    void setFormPanel(QWidget* panel);
    // The menu bar shown under the title bar; a themed one takes the
    // frame's colours and the given height.
    void SetMenu(QMenuBar* menu);
    void setMenuBarColor(const QColor& c);
    void setMenuBarHeight(int h);
    // The frame's own size; the window grows by the border around it (by one
    // and a half borders in height, as stored forms expect).
    void setFrameWidth(int w);
    void setFrameHeight(int h);

    void PlaceFrame();
    void DrawFormBorder();

    // The rectangles of the grips, in window coordinates, while they show.
    QList<QRect> gripRects() const;

signals:
    void titleBarCustomBtnsClick(int buttonIndex);
    void titleBarHelpBtnClick(int buttonIndex);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    friend class TvsFormGrip;
    void paintBorder();
    void placeGrips();
    void placeMenu();
    int gripWidth() const;

    QPointer<QWidget> form_;
    TvsTitleBar* titleBar_ = nullptr;
    // Held as a widget: while a menu bar is destroyed its widget part can
    // still ask for a placement, when it is no longer a menu bar.
    QPointer<QWidget> menu_;
    QPointer<QWidget> formPanel_;
    QPointer<TvsFileTheme> fileTheme_;
    TvsUIStyle uiStyle_ = TvsUIStyle::DeepBlue;
    bool uiStyleAutoUpdateSub_ = false;
    QColor borderColor_{Qt::black};
    int borderWidth_ = 1;
    QColor color_;
    QImage tile_;  // the background's tile, laid out over a large piece
    QColor menuBarColor_;
    int menuBarHeight_ = 22;
    bool titleBarVisible_ = true;

    // The window as the frame found it.
    Qt::WindowFlags keptFlags_;
    QMargins keptMargins_;
    QSize keptMinimumSize_;
    QRect keptBounds_;
    bool keptMaximized_ = false;
    bool sizeable_ = false;
    std::array<TvsFormGrip*, 4> grips_{};
};
