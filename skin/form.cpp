#include "skin/form.h"

#include "platform/messageboxes.h"
#include "skin/art.h"

#include <QEvent>
#include <QFrame>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <stdexcept>

namespace {

const QString kSecondFrame = QStringLiteral("Sorry, You can create only one TvsForm component in one form!");
const QString kPanelIsFrame = QStringLiteral("Sorry, you can't select the Form assign to FormPanel property");
const QString kOwner = QStringLiteral("TvsForm");
constexpr int kMaxBorder = 20;
constexpr int kMinWidth = 125, kMinHeight = 50;

// Every refusal comes before the window is touched.
QWidget* checkedForm(QWidget* form) {
    if (!form || !form->isWindow()) throw std::invalid_argument("A frame is made for a window.");
    for (const QObject* child : form->children())
        if (child->inherits("TvsForm")) throw std::runtime_error(kSecondFrame.toStdString());
    if (const QString owner = FrameOwner(form); !owner.isEmpty())
        throw std::runtime_error(QStringLiteral("The window's frame is drawn by the %1 already.").arg(owner).toStdString());
    return form;
}

}  // namespace

// A strip along an edge of the window that resizes it by that edge. It lies
// over the window's contents, so that a 1-pixel border still gives a grip
// the hand can catch.
class TvsFormGrip : public QWidget {
public:
    TvsFormGrip(TvsForm* frame, QWidget* form) : QWidget(form), frame_(frame) {
        setObjectName(QStringLiteral("frameGrip"));
        setMouseTracking(true);
    }

protected:
    void mousePressEvent(QMouseEvent* e) override {
        const Qt::Edges edges = edgesAt(e->position().toPoint());
        if (e->button() == Qt::LeftButton && edges && frame_) drag_.press(frame_->form(), e->globalPosition(), edges);
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (frame_ && drag_.move(frame_->form(), e->globalPosition(), e->buttons())) return;
        const Qt::Edges edges = edgesAt(e->position().toPoint());
        const bool tlbr = edges == (Qt::TopEdge | Qt::LeftEdge) || edges == (Qt::BottomEdge | Qt::RightEdge);
        const bool trbl = edges == (Qt::TopEdge | Qt::RightEdge) || edges == (Qt::BottomEdge | Qt::LeftEdge);
        if (tlbr) setCursor(Qt::SizeFDiagCursor);
        else if (trbl) setCursor(Qt::SizeBDiagCursor);
        else if (edges & (Qt::LeftEdge | Qt::RightEdge)) setCursor(Qt::SizeHorCursor);
        else if (edges) setCursor(Qt::SizeVerCursor);
        else unsetCursor();
    }
    void mouseReleaseEvent(QMouseEvent*) override { drag_.release(); }

private:
    Qt::Edges edgesAt(const QPoint& pos) const {
        QWidget* f = frame_ ? frame_->form() : nullptr;
        if (!f) return {};
        return TvsForm::frameEdgesAt(mapTo(f, pos), f->size(), frame_->sizeable(),
                                     f->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen),
                                     frame_->gripWidth());
    }

    QPointer<TvsForm> frame_;
    WindowDrag drag_;
};

TvsForm::TvsForm(QWidget* form) : QWidget(checkedForm(form)), form_(form) {
    setObjectName(QStringLiteral("formFrame"));
    keptFlags_ = form->windowFlags();
    keptMargins_ = form->contentsMargins();
    keptMinimumSize_ = form->minimumSize();
    keptMaximized_ = form->isMaximized();
    keptBounds_ = keptMaximized_ ? form->normalGeometry() : form->geometry();
    sizeable_ = form->minimumSize() != form->maximumSize();
    form->setMinimumSize(std::max(kMinWidth, keptMinimumSize_.width()), std::max(kMinHeight, keptMinimumSize_.height()));

    color_ = palette().color(QPalette::Button);
    menuBarColor_ = color_;
    titleBar_ = new TvsTitleBar(this);
    connect(titleBar_, &TvsTitleBar::customBtnsClick, this, &TvsForm::titleBarCustomBtnsClick);
    connect(titleBar_, &TvsTitleBar::helpBtnClick, this, &TvsForm::titleBarHelpBtnClick);
    for (auto& grip : grips_) grip = new TvsFormGrip(this, form);
    setUIStyle(TvsUIStyle::DeepBlue);
    titleBar_->setCaption(form->windowTitle());

    SetFlagsKeepingPlace(form, FramelessFlags(form->windowFlags()));
    SetFrameOwner(form, kOwner);
    form->installEventFilter(this);
    lower();
    show();
    PlaceFrame();
}

TvsForm::~TvsForm() {
    // The menu bar goes with the frame's children, after this: it must not
    // ask for a placement then.
    if (menu_) disconnect(menu_, nullptr, this, nullptr);
    for (TvsFormGrip* grip : grips_) delete grip;
    if (!form_) return;
    form_->removeEventFilter(this);
    // A window that goes on without its frame gets the window manager's
    // back. One being destroyed is hidden by now and is left alone.
    if (!form_->isVisible() || FrameOwner(form_) != kOwner) return;
    SetFrameOwner(form_, {});
    form_->clearMask();
    form_->setContentsMargins(keptMargins_);
    form_->setMinimumSize(keptMinimumSize_);
    SetFlagsKeepingPlace(form_, keptFlags_);
}

Qt::Edges TvsForm::frameEdgesAt(const QPoint& pos, const QSize& size, bool sizeable, bool maximized, int grip) {
    if (!sizeable || maximized) return {};
    const int x = pos.x(), y = pos.y(), w = size.width(), h = size.height();
    const bool l = x < grip, t = y < grip, r = x > w - grip, b = y > h - grip;
    if (l && t) return Qt::TopEdge | Qt::LeftEdge;
    if (r && t) return Qt::TopEdge | Qt::RightEdge;
    if (r && b) return Qt::BottomEdge | Qt::RightEdge;
    if (l && b) return Qt::BottomEdge | Qt::LeftEdge;
    if (l) return Qt::LeftEdge;
    if (t) return Qt::TopEdge;
    if (r) return Qt::RightEdge;
    if (b) return Qt::BottomEdge;
    return {};
}

int TvsForm::gripWidth() const { return std::max(5, borderWidth_); }

// ------------------------------------------------------------ properties

void TvsForm::setUIStyle(TvsUIStyle style) {
    uiStyle_ = style;
    tile_ = QImage();
    if (style == TvsUIStyle::Graphite || style == TvsUIStyle::Protein) {
        // Laid out once over a large piece: a window is then covered by a
        // few copies instead of hundreds of small tiles at every paint.
        const QImage tile = BuiltinArt(style == TvsUIStyle::Graphite ? QStringLiteral("GRAPHITE_FORM_BACKGROUND")
                                                                      : QStringLiteral("PROTEIN_FORM_BACKGROUND"));
        if (!tile.isNull()) {
            // Opaque, so that it is copied rather than blended.
            tile_ = QImage(tile.width() * (512 / tile.width() + 1), tile.height() * (512 / tile.height() + 1),
                           QImage::Format_RGB32);
            QPainter p(&tile_);
            p.fillRect(tile_.rect(), QBrush(tile));
        }
    }
    const TvsThemeValues t(fileTheme_, style);
    setBorderColor(t.color(vskey::FormBorderColor, borderColor_));
    // A file without the width keeps the one there is.
    if (const int bw = t.intValue(vskey::FormBorderWidthInt); bw >= 0) setBorderWidth(bw);
    setColor(t.color(vskey::FormBackgroundColor, color_));
    setMenuBarColor(color_);
    titleBar_->setFileTheme(fileTheme_);
    titleBar_->setUIStyle(style);
    if (auto* themed = qobject_cast<TvsMainMenu*>(menu_.data())) {
        themed->setUIStyle(style);
        themed->setFileTheme(fileTheme_);
    }
    if (uiStyleAutoUpdateSub_ && form_)
        for (QObject* child : form_->children())
            if (auto* c = dynamic_cast<TvsThemeable*>(child); c && child != this) {
                c->setFileTheme(fileTheme_);
                c->setUIStyle(style);
            }
    PlaceFrame();
    update();
    DrawFormBorder();
}

void TvsForm::setFileTheme(TvsFileTheme* theme) {
    if (theme && theme == fileTheme_) return;
    LinkFileTheme(this, fileTheme_, theme, [this] { setUIStyle(uiStyle_); },
                  [this] {
                      if (form_)
                          for (QObject* child : form_->children())
                              if (auto* c = dynamic_cast<TvsThemeable*>(child); c && child != this) {
                                  c->setFileTheme(nullptr);
                                  c->setUIStyle(TvsUIStyle::DeepBlue);
                              }
                      setUIStyle(TvsUIStyle::DeepBlue);
                  });
}

void TvsForm::setBorderColor(const QColor& c) {
    borderColor_ = c;
    PlaceFrame();
    DrawFormBorder();
}

void TvsForm::setBorderWidth(int w) {
    borderWidth_ = std::clamp(w, 0, kMaxBorder);
    PlaceFrame();
    DrawFormBorder();
}

void TvsForm::setColor(const QColor& c) {
    color_ = c;
    update();
}

void TvsForm::setTitleBarVisible(bool on) {
    if (on == titleBarVisible_) return;
    titleBarVisible_ = on;
    titleBar_->setVisible(on);
    PlaceFrame();
    DrawFormBorder();
}

void TvsForm::setCaption(const QString& caption) {
    titleBar_->setCaption(caption);
    if (form_) form_->setWindowTitle(caption);
}

void TvsForm::setFormPanel(QWidget* panel) {
    if (panel == this) {
        ShowError(kPanelIsFrame, form_);
        return;
    }
    formPanel_ = panel;
    if (panel) {
        if (panel->parentWidget() != this) panel->setParent(this);
        if (auto* frame = qobject_cast<QFrame*>(panel)) frame->setFrameShape(QFrame::NoFrame);
        panel->show();
    }
    PlaceFrame();
}

void TvsForm::SetMenu(QMenuBar* menu) {
    if (menu_ && menu_ != menu) menu_->hide();
    menu_ = menu;
    if (menu) {
        if (menu->parentWidget() != this) menu->setParent(this);
        // A widget tells it goes before its pointers are cleared.
        connect(menu, &QObject::destroyed, this, [this](QObject* gone) {
            if (menu_ == gone) menu_ = nullptr;
            PlaceFrame();
        });
        placeMenu();
        menu->show();
    }
    PlaceFrame();
}

void TvsForm::placeMenu() {
    if (!menu_) return;
    if (auto* themed = qobject_cast<TvsMainMenu*>(menu_.data())) {
        themed->setMenuBarColor(menuBarColor_);
        themed->setMenuBarHeight(menuBarHeight_);
    } else {
        menu_->setFixedHeight(menuBarHeight_);
        QPalette p = menu_->palette();
        p.setColor(QPalette::Window, menuBarColor_);
        p.setColor(QPalette::Button, menuBarColor_);
        menu_->setPalette(p);
        menu_->setAutoFillBackground(true);
    }
}

void TvsForm::setMenuBarColor(const QColor& c) {
    menuBarColor_ = c;
    placeMenu();
}

void TvsForm::setMenuBarHeight(int h) {
    menuBarHeight_ = std::max(1, h);
    placeMenu();
    PlaceFrame();
}

void TvsForm::setFrameWidth(int w) {
    if (form_) form_->resize(w + 2 * borderWidth_, form_->height());
    PlaceFrame();
}

void TvsForm::setFrameHeight(int h) {
    if (form_) form_->resize(form_->width(), h + borderWidth_ + borderWidth_ / 2);
    PlaceFrame();
}

// ---------------------------------------------------------------- layout

void TvsForm::PlaceFrame() {
    if (!form_ || !titleBar_) return;
    const int cw = form_->width(), ch = form_->height(), bw = borderWidth_;
    const int top = titleBarVisible_ ? 0 : bw;
    setGeometry(bw, top, cw - 2 * bw, ch - bw - top);
    int y = 0;
    if (titleBarVisible_) {
        titleBar_->setGeometry(0, 0, width(), titleBar_->height());
        titleBar_->show();
        y = titleBar_->height();
    } else {
        titleBar_->hide();
    }
    if (menu_) {
        menu_->setGeometry(0, y, width(), menuBarHeight_);
        y += menuBarHeight_;
    }
    if (formPanel_) formPanel_->setGeometry(0, y, width(), std::max(0, height() - y));
    form_->setContentsMargins(bw, top + y, bw, bw);
    placeGrips();
}

QList<QRect> TvsForm::gripRects() const {
    QList<QRect> rects;
    for (const TvsFormGrip* grip : grips_)
        if (grip && !grip->isHidden()) rects.append(grip->geometry());
    return rects;
}

void TvsForm::placeGrips() {
    if (!form_) return;
    const int w = form_->width(), h = form_->height(), g = gripWidth();
    const bool show = sizeable_ && !(form_->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
    // Over the title bar the top grip stays as narrow as the bar's own edge,
    // whatever the border: a wide one would cover the bar's buttons.
    const int top = titleBarVisible_ ? 5 : g;
    const QRect rects[4] = {QRect(0, 0, g, h), QRect(0, 0, w, top), QRect(w - g + 1, 0, g - 1, h),
                            QRect(0, h - g + 1, w, g - 1)};
    for (int i = 0; i < 4; ++i) {
        if (!grips_[size_t(i)]) continue;
        grips_[size_t(i)]->setGeometry(rects[i]);
        grips_[size_t(i)]->setVisible(show);
        grips_[size_t(i)]->raise();
    }
}

void TvsForm::DrawFormBorder() {
    if (!form_) return;
    const int cw = form_->width(), ch = form_->height(), bw = std::max(1, borderWidth_);
    form_->update(QRegion(0, 0, bw, ch) + QRegion(0, ch - bw, cw, bw) + QRegion(cw - bw, 0, bw, ch) +
                  QRegion(0, 0, cw, bw));
}

void TvsForm::paintBorder() {
    const int cw = form_->width(), ch = form_->height(), bw = borderWidth_;
    if (bw <= 0) return;
    QPainter p(form_);
    p.fillRect(QRect(0, 0, bw, ch), borderColor_);
    p.fillRect(QRect(0, ch - bw, cw, bw), borderColor_);
    p.fillRect(QRect(cw - bw, 0, bw, ch), borderColor_);
    p.setPen(QPen(borderColor_, bw));
    p.drawLine(0, 0, cw, 0);
}

void TvsForm::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    if (tile_.isNull()) {
        p.fillRect(e->rect(), color_);
        return;
    }
    // Tiles from the frame's corner, copied in blocks, only where asked.
    const QRect area = e->rect();
    const int tw = tile_.width(), th = tile_.height();
    for (int y = area.top() / th * th; y <= area.bottom(); y += th)
        for (int x = area.left() / tw * tw; x <= area.right(); x += tw) {
            const QRect block = QRect(x, y, tw, th) & area;
            p.drawImage(block.topLeft(), tile_, block.translated(-x, -y));
        }
}

bool TvsForm::eventFilter(QObject* watched, QEvent* e) {
    if (watched != form_) return false;
    switch (e->type()) {
    case QEvent::Resize:
        PlaceFrame();
        DrawFormBorder();
        titleBar_->UpdateMaxButtons();
        titleBar_->ReapplyFormRegion();
        break;
    case QEvent::WindowStateChange:
        // A window maximised when the frame took it gets back the bounds it
        // had before, once it is restored.
        if (keptMaximized_ && !form_->isMaximized()) {
            keptMaximized_ = false;
            if (keptBounds_.isValid()) form_->setGeometry(keptBounds_);
        }
        titleBar_->UpdateMaxButtons();
        titleBar_->ReapplyFormRegion();
        placeGrips();
        break;
    case QEvent::ActivationChange: titleBar_->setFormActive(form_->isActiveWindow()); break;
    case QEvent::WindowTitleChange: titleBar_->setCaption(form_->windowTitle()); break;
    case QEvent::Paint: paintBorder(); break;
    case QEvent::ChildAdded:
        // Widgets made later must not cover the grips.
        for (TvsFormGrip* grip : grips_)
            if (grip) grip->raise();
        break;
    default: break;
    }
    return false;
}
