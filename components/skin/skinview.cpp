#include "components/skin/skinview.h"

#include "components/skin/skinengine.h"
#include "components/skin/skinobject.h"
#include "components/skin/skinpaint.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace skin {

namespace {

int buttonCode(Qt::MouseButton b) {
    switch (b) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 3;
    default: return 0;
    }
}

bool isAction(ElementType t) { return t == ElementType::Close || t == ElementType::Minimize; }

QAccessible::Role roleOf(ElementType t) {
    switch (t) {
    case ElementType::Button:
    case ElementType::Close:
    case ElementType::Minimize: return QAccessible::Button;
    case ElementType::Toggle: return QAccessible::CheckBox;
    case ElementType::ScrollBar: return QAccessible::Slider;
    case ElementType::Text: return QAccessible::StaticText;
    case ElementType::Panel: break;
    }
    return QAccessible::Graphic;
}

// A screen reader sees each element as the control it looks like, named by
// its caption or, for a picture button or a bar, by its hint; a display
// reads as what it shows.
class ElementAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit ElementAccessible(ElementView* view) : QAccessibleWidget(view, roleOf(view->definition().type)) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface && bar()) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override {
        const ElementDef& def = view()->definition();
        if (t == QAccessible::Name) {
            if (auto* shown = element() ? element()->as<SkinText>() : nullptr) return shown->getText();
            return def.text.isEmpty() ? def.tip : def.text;
        }
        if (t == QAccessible::Description && !def.text.isEmpty()) return def.tip;
        if (t == QAccessible::Value && bar()) return QString::number(bar()->getPosition());
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        if (auto* toggle = element() ? element()->as<SkinToggle>() : nullptr) {
            s.checkable = true;
            s.checked = toggle->getState();
        }
        return s;
    }

    QStringList actionNames() const override {
        const ElementType t = view()->definition().type;
        if (t == ElementType::Button || t == ElementType::Toggle || isAction(t))
            return QStringList{pressAction()} + QAccessibleWidget::actionNames();
        return QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override {
        if (name == pressAction()) view()->press();
        else QAccessibleWidget::doAction(name);
    }

    QVariant currentValue() const override { return bar() ? bar()->getPosition() : 0; }
    void setCurrentValue(const QVariant& value) override { view()->tapAt(value.toInt()); }
    QVariant maximumValue() const override { return bar() ? bar()->maximum() : 0; }
    QVariant minimumValue() const override { return bar() ? bar()->minimum() : 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    ElementView* view() const { return static_cast<ElementView*>(widget()); }
    SkinObject* element() const { return view()->object(); }
    SkinScrollBar* bar() const { return element() ? element()->as<SkinScrollBar>() : nullptr; }
};

QAccessibleInterface* ElementAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("skin::ElementView")) return new ElementAccessible(static_cast<ElementView*>(object));
    return nullptr;
}

}  // namespace

QRegion roundedRegion(const QSize& size, int radius) {
    const int w = size.width(), h = size.height();
    radius = std::min({radius, w / 2, h / 2});
    if (radius <= 0) return QRegion(0, 0, w, h);
    QRegion region(0, radius, w, h - 2 * radius);
    for (int y = 0; y < radius; ++y) {
        const double dy = radius - y - 0.5;
        const int inset = int(std::lround(radius - std::sqrt(double(radius) * radius - dy * dy)));
        region += QRect(inset, y, w - 2 * inset, 1);
        region += QRect(inset, h - 1 - y, w - 2 * inset, 1);
    }
    return region;
}

ElementView::ElementView(QWidget* parent, const ElementDef& def, const Style& style, SkinObject* object,
                         QWidget* window)
    : QWidget(parent), def_(def), style_(style), object_(object), window_(window) {
    setObjectName(def.name.isEmpty() ? QStringLiteral("skinDecoration") : QStringLiteral("skin_") + def.name);
    if (!def.tip.isEmpty()) setToolTip(def.tip);
    static const bool accessible = [] {
        QAccessible::installFactory(ElementAccessibleFactory);
        return true;
    }();
    Q_UNUSED(accessible);
    // Displays and decorations let the mouse through, so that they move the
    // window like the background around them.
    if (def.type == ElementType::Panel || def.type == ElementType::Text)
        setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ElementView::paintButton(QPainter& p, const Style& s, bool down) {
    const QRectF r = rect();
    paintBox(p, r, s);
    const QPointF shift(0, down ? 1 : 0);
    const QColor gc = s.glyph.value_or(s.text.value_or(QColor(Qt::black)));
    const qreal natural = std::round(std::min(r.width(), r.height()) * 0.62);
    const qreal g = s.glyphSize ? std::min<qreal>(*s.glyphSize, std::min(r.width(), r.height())) : natural;
    if (!def_.glyph.isEmpty() && !def_.text.isEmpty()) {
        const QFont f = fontOf(s, font());
        const qreal th = QFontMetricsF(f).height();
        if (r.height() >= g + th + 4) {
            // Tall buttons: the glyph above its caption.
            const qreal top = (r.height() - g - th - 1) / 2;
            paintGlyph(p, QRectF(r.center().x() - g / 2, top, g, g).translated(shift), def_.glyph, gc, s.shadow);
            paintText(p, QRectF(0, top + g + 1, r.width(), th).translated(shift), def_.text, s, Qt::AlignCenter, font());
        } else {
            const qreal left = s.padding.value_or(4);
            paintGlyph(p, QRectF(left, (r.height() - g) / 2, g, g).translated(shift), def_.glyph, gc, s.shadow);
            paintText(p, QRectF(left + g + 4, 0, r.width() - left - g - 4, r.height()).translated(shift), def_.text,
                      s, Qt::AlignLeft | Qt::AlignVCenter, font());
        }
    } else if (!def_.glyph.isEmpty()) {
        paintGlyph(p, QRectF(r.center().x() - g / 2, r.center().y() - g / 2, g, g).translated(shift), def_.glyph, gc,
                   s.shadow);
    } else {
        paintText(p, r.translated(shift), def_.text, s, Qt::AlignCenter, font());
    }
}

void ElementView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRectF r = rect();
    switch (def_.type) {
    case ElementType::Panel: {
        paintBox(p, r, style_);
        const qreal g = style_.glyphSize.value_or(std::round(std::min(r.width(), r.height()) * 0.62));
        if (!def_.glyph.isEmpty())
            paintGlyph(p, QRectF(r.center().x() - g / 2, r.center().y() - g / 2, g, g), def_.glyph,
                       style_.glyph.value_or(style_.text.value_or(Qt::black)), style_.shadow);
        paintText(p, r, def_.text, style_, def_.align, font());
        break;
    }
    case ElementType::Text: {
        paintBox(p, r, style_);
        auto* text = object_ ? object_->as<SkinText>() : nullptr;
        if (text) paintText(p, r, text->getText(), style_, def_.align, font());
        break;
    }
    case ElementType::ScrollBar: {
        auto* bar = object_ ? object_->as<SkinScrollBar>() : nullptr;
        if (!bar) break;
        const Style s = style_.forState(false, hovered_, bar->isDragging());
        const qreal span = bar->maximum() - bar->minimum();
        paintBar(p, r, s, def_.orientation, (bar->getPosition() - bar->minimum()) / span);
        break;
    }
    default: {
        if (!isAction(def_.type) && !object_) break;
        auto* toggle = object_ ? object_->as<SkinToggle>() : nullptr;
        const bool held = object_ && !object_->isButtonUp();
        const bool down = (pressed_ && hovered_) || held;
        paintButton(p, style_.forState(toggle && toggle->getState(), hovered_, down), down);
        break;
    }
    }
}

int ElementView::valueAt(const QPointF& pos) const {
    const QSizeF thumb = barThumbSize(rect(), style_, def_.orientation);
    double fraction;
    if (def_.orientation == Qt::Horizontal) {
        const double len = width() - thumb.width();
        fraction = len > 0 ? (pos.x() - thumb.width() / 2) / len : 0;
    } else {
        const double len = height() - thumb.height();
        fraction = len > 0 ? (height() - thumb.height() / 2 - pos.y()) / len : 0;
    }
    fraction = std::clamp(fraction, 0.0, 1.0);
    return def_.min + int(std::lround(fraction * (double(def_.max) - def_.min)));
}

// A press is told in full (the press, then the bar's new place) before its
// release: a handler that lets events run, as closing the sound device
// does, would otherwise take a quick tap's release in the middle of the
// press, and the seek would start at the old place or not at all.
void ElementView::mousePressEvent(QMouseEvent* e) {
    QPointer<ElementView> self(this);
    pressing_ = true;
    handlePress(e);
    if (!self) return;
    pressing_ = false;
    if (std::unique_ptr<QMouseEvent> release = std::move(heldRelease_)) handleRelease(release.get());
}

void ElementView::mouseReleaseEvent(QMouseEvent* e) {
    if (pressing_) {
        heldRelease_.reset(static_cast<QMouseEvent*>(e->clone()));
        return;
    }
    handleRelease(e);
}

void ElementView::handlePress(QMouseEvent* e) {
    const bool left = e->button() == Qt::LeftButton;
    if (isAction(def_.type)) {
        if (left) {
            pressed_ = true;
            update();
        }
        return;
    }
    QPointer<SkinObject> obj = object_;
    if (!obj) return;
    QPointer<SkinEngine> engine = obj->engine();
    auto* bar = obj->as<SkinScrollBar>();
    if (left) {
        pressed_ = true;
        if (bar) bar->dragging_ = true;
    }
    update();
    const QPoint at = e->position().toPoint();
    if (engine) emit engine->onMouseDown(obj, buttonCode(e->button()), at.x(), at.y());
    // A handler may have reset the window; then the element is gone.
    if (!obj || !bar || !left) return;
    const int value = valueAt(e->position());
    bar->position_ = value;
    update();
    if (engine) emit engine->onScrollTrack(obj, value);
}

void ElementView::mouseMoveEvent(QMouseEvent* e) {
    const bool inside = rect().contains(e->position().toPoint());
    if (pressed_ && inside != hovered_) {
        hovered_ = inside;
        update();
    }
    QPointer<SkinObject> obj = object_;
    auto* bar = obj ? obj->as<SkinScrollBar>() : nullptr;
    if (!bar || !bar->dragging_) return;
    const int value = valueAt(e->position());
    if (value == bar->position_) return;
    bar->position_ = value;
    update();
    if (QPointer<SkinEngine> engine = obj->engine()) emit engine->onScrollTrack(obj, value);
}

void ElementView::press() {
    if (isAction(def_.type)) {
        if (!window_) return;
        if (def_.type == ElementType::Close) window_->close();
        else window_->showMinimized();
        return;
    }
    QPointer<SkinObject> obj = object_;
    if (!obj || obj->as<SkinScrollBar>()) return;
    QPointer<SkinEngine> engine = obj->engine();
    if (!engine) return;
    emit engine->onMouseDown(obj, 1, width() / 2, height() / 2);
    if (obj) emit engine->onMouseUp(obj, 1, width() / 2, height() / 2);
    if (!obj) return;
    if (auto* toggle = obj->as<SkinToggle>()) {
        toggle->state_ = !toggle->state_;
        update();
    }
    emit engine->onClick(obj);
}

void ElementView::tapAt(int value) {
    QPointer<SkinObject> obj = object_;
    auto* bar = obj ? obj->as<SkinScrollBar>() : nullptr;
    QPointer<SkinEngine> engine = obj ? obj->engine() : nullptr;
    if (!bar || !engine || bar->dragging_) return;
    emit engine->onMouseDown(obj, 1, 0, 0);
    if (!obj) return;
    bar->position_ = std::clamp(value, bar->minimum(), bar->maximum());
    update();
    emit engine->onScrollTrack(obj, bar->position_);
    if (obj) emit engine->onMouseUp(obj, 1, 0, 0);
}

void ElementView::handleRelease(QMouseEvent* e) {
    const bool left = e->button() == Qt::LeftButton;
    const bool wasPressed = left && pressed_;
    if (left) pressed_ = false;
    const QPoint at = e->position().toPoint();
    const bool inside = rect().contains(at);
    update();
    QPointer<ElementView> self = this;
    // The handlers may have opened a menu or asked a question, which took the
    // pointer without a leave: the hover look follows where it is now.
    auto settleHover = [self] {
        if (!self) return;
        self->hovered_ = PointerOver(self);
        self->update();
    };
    if (isAction(def_.type)) {
        if (wasPressed && inside && window_) {
            if (def_.type == ElementType::Close) window_->close();
            else window_->showMinimized();
        }
        settleHover();
        return;
    }
    QPointer<SkinObject> obj = object_;
    if (!obj) return;
    QPointer<SkinEngine> engine = obj->engine();
    auto* bar = obj->as<SkinScrollBar>();
    if (bar && left) bar->dragging_ = false;
    if (engine) emit engine->onMouseUp(obj, buttonCode(e->button()), at.x(), at.y());
    if (!obj || !wasPressed || !inside || bar) {
        settleHover();
        return;
    }
    // A two-state button shows its new state by the time the click is told.
    if (auto* toggle = obj->as<SkinToggle>()) {
        toggle->state_ = !toggle->state_;
        update();
    }
    if (engine) emit engine->onClick(obj);
    settleHover();
}

void ElementView::enterEvent(QEnterEvent*) {
    hovered_ = true;
    update();
}

void ElementView::leaveEvent(QEvent*) {
    hovered_ = false;
    update();
}

FrameView::FrameView(QWidget* window, const SectionDef& section, const Style& frame, const Style& title)
    : QWidget(window), section_(section), frame_(frame), title_(title), window_(window) {
    setObjectName(QStringLiteral("skinFrame"));
    setMouseTracking(section.resizable());
}

void FrameView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRectF r = rect();
    paintBox(p, r, frame_, section_.radius);
    if (section_.titleHeight <= 0) return;

    QPainterPath shape;
    shape.addRoundedRect(r, section_.radius, section_.radius);
    p.save();
    p.setClipPath(shape);
    const QRectF bar(0, 0, width(), section_.titleHeight);
    paintBox(p, bar, title_, 0);
    p.restore();

    qreal left = 8;
    if (!section_.titleGlyph.isEmpty()) {
        const qreal g = std::round(section_.titleHeight * 0.66);
        paintGlyph(p, QRectF(left, (section_.titleHeight - g) / 2, g, g), section_.titleGlyph,
                   title_.glyph.value_or(title_.text.value_or(Qt::white)), title_.shadow);
        left += g + 6;
    }
    // The title gives way to the first element placed to its right.
    qreal right = width() - 8;
    const QSize titleSize(width(), section_.titleHeight);
    for (const ElementDef& e : section_.elements) {
        if (e.in != "title") continue;
        const QRect placed = e.rect.place(titleSize);
        if (placed.left() > left) right = std::min<qreal>(right, placed.left() - 8);
    }
    const QString text = section_.titleText.isEmpty() && window_ ? window_->windowTitle() : section_.titleText;
    paintText(p, QRectF(left, 0, right - left, section_.titleHeight), text, title_, Qt::AlignLeft | Qt::AlignVCenter,
              font());
}

Qt::Edges FrameView::edgesAt(const QPoint& pos) const {
    Qt::Edges edges;
    if (!section_.resizable()) return edges;
    constexpr int grip = 5;
    if (pos.x() < grip) edges |= Qt::LeftEdge;
    if (pos.x() >= width() - grip) edges |= Qt::RightEdge;
    if (pos.y() < 3) edges |= Qt::TopEdge;
    if (pos.y() >= height() - grip) edges |= Qt::BottomEdge;
    return edges;
}

void FrameView::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !window_) return;
    const Qt::Edges edges = edgesAt(e->position().toPoint());
    if (edges || section_.movable) drag_.press(window_, e->globalPosition(), edges);
}

void FrameView::mouseMoveEvent(QMouseEvent* e) {
    if (!window_ || drag_.move(window_, e->globalPosition(), e->buttons())) return;
    if (e->buttons() == Qt::NoButton) {
        const Qt::Edges edges = edgesAt(e->position().toPoint());
        if ((edges & Qt::LeftEdge && edges & Qt::BottomEdge) || (edges & Qt::RightEdge && edges & Qt::TopEdge))
            setCursor(Qt::SizeBDiagCursor);
        else if ((edges & Qt::LeftEdge && edges & Qt::TopEdge) || (edges & Qt::RightEdge && edges & Qt::BottomEdge))
            setCursor(Qt::SizeFDiagCursor);
        else if (edges & (Qt::LeftEdge | Qt::RightEdge)) setCursor(Qt::SizeHorCursor);
        else if (edges & (Qt::TopEdge | Qt::BottomEdge)) setCursor(Qt::SizeVerCursor);
        else unsetCursor();
    }
}

void FrameView::mouseReleaseEvent(QMouseEvent*) { drag_.release(); }

BandView::BandView(QWidget* band, const Style& style) : QWidget(band), style_(style) {
    setObjectName(QStringLiteral("skinBand"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void BandView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintBox(p, rect(), style_);
}

PartWatcher::PartWatcher(QObject* owner, QWidget* part, QWidget* window, int titleHeight, int radius,
                         bool movesWindow)
    : QObject(owner), part_(part), window_(window), titleHeight_(titleHeight), radius_(radius),
      movesWindow_(movesWindow) {
    part->installEventFilter(this);
}

void PartWatcher::place(QWidget* view, const Rect& rect, bool inTitle) { placed_.append({view, rect, inTitle}); }

void PartWatcher::relayout() {
    if (!part_) return;
    const QSize size = part_->size();
    for (const auto& f : fills_)
        if (f) f->setGeometry(0, 0, size.width(), size.height());
    for (const Placed& p : placed_) {
        if (!p.view) continue;
        p.view->setGeometry(p.rect.place(p.inTitle ? QSize(size.width(), titleHeight_) : size));
    }
    for (const Placed& h : hosts_) {
        if (!h.view) continue;
        QRect r = h.rect.place(size);
        if (QWidget* parent = h.view->parentWidget(); parent && parent != part_)
            r.moveTopLeft(parent->mapFrom(part_.data(), r.topLeft()));
        h.view->setGeometry(r);
    }
    if (radius_ > 0 && part_ == window_) window_->setMask(roundedRegion(size, radius_));
}

bool PartWatcher::eventFilter(QObject* watched, QEvent* e) {
    if (watched != part_) return false;
    switch (e->type()) {
    case QEvent::Resize:
        relayout();
        break;
    case QEvent::WindowTitleChange:
        for (const auto& f : fills_)
            if (f) f->update();
        break;
    case QEvent::MouseButtonPress:
        if (movesWindow_ && static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
            drag_.press(window_, static_cast<QMouseEvent*>(e)->globalPosition());
            return true;
        }
        break;
    case QEvent::MouseMove: {
        auto* m = static_cast<QMouseEvent*>(e);
        if (movesWindow_ && drag_.move(window_, m->globalPosition(), m->buttons())) return true;
        break;
    }
    case QEvent::MouseButtonRelease:
        if (movesWindow_ && drag_.active()) {
            drag_.release();
            return true;
        }
        break;
    default:
        break;
    }
    return false;
}

}  // namespace skin
