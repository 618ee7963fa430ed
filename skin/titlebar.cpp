#include "skin/titlebar.h"

#include "platform/messageboxes.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

using BtnType = TvsTitleBarBtnType;

constexpr int kButtonCells = 18;
// Pixels of the offsets and tops a theme may ask for; beyond them a button
// could leave the bar, and the window could not be closed. The right-hand
// row moves only inwards from the bar's right end and the control box only
// inwards from its left end.
constexpr int kMaxOffset = 16;
constexpr int kMaxTop = 32;
// A corner rounder than this would take the middle of a small control box
// or close button out of the window's shape.
constexpr int kMaxRoundCorner = 24;
// The cells of a theme's button strip: smaller ones cannot be hit, wider
// ones push the close button's middle off a narrow window, taller ones put
// it above the lowest bar or under the top edge's resize grip.
constexpr int kMinCell = 10, kMaxCellWidth = 48, kMaxCellHeight = 26;
constexpr int kMinFormWidth = 125;
constexpr int kMaxFormWidth = 1000;

const QString kControlBoxTwice = QStringLiteral("Sorry, only one button's ButtonType property can be \"vsControlBox\"");
const QString kClientTwice = QStringLiteral("Sorry, only one section's Align property can be \"vsClient\"");

bool isFrame(const QWidget* w) { return w && w->inherits("TvsForm"); }

// A theme file without the picture borrows the built-in one, so that a
// partial theme still gives a bar that can be used.
QImage themeImage(const TvsThemeValues& t, int key) {
    QImage img = t.image(key);
    if (img.isNull() && t.fromFile()) img = GetInsideThemeBitmap(TvsUIStyle::DeepBlue, key);
    return img;
}

// The strip of button cells; one whose cells are too small or too large to
// be buttons is no strip.
QImage buttonStrip(const TvsThemeValues& t) {
    QImage strip = t.image(vskey::TitleBarButtonImage);
    const int cell = strip.width() / kButtonCells;
    if (cell < kMinCell || cell > kMaxCellWidth || strip.height() < kMinCell || strip.height() > kMaxCellHeight)
        strip = GetInsideThemeBitmap(t.fromFile() ? TvsUIStyle::DeepBlue : t.style(), vskey::TitleBarButtonImage);
    return strip;
}

// The caption's ink while the window is not the active one: dimmer than the
// active caption, but readable on the bar it is drawn on. A plain grey is
// lost on the blue bars and on Protein's dark one.
QColor inactiveInk(TvsUIStyle style) {
    switch (style) {
    case TvsUIStyle::Meadow: return QColor(0xd8, 0xe2, 0xf6);
    case TvsUIStyle::BlueGlass: return QColor(0xdc, 0xde, 0xf8);
    case TvsUIStyle::Protein: return QColor(0xb4, 0xb6, 0xbe);
    default: return QColor(0x80, 0x80, 0x80);
    }
}

int firstCell(BtnType type) {
    switch (type) {
    case BtnType::vsControlBox: return 1;
    case BtnType::vsHelp: return 4;
    case BtnType::vsMax: return 7;
    case BtnType::vsMin: return 13;
    case BtnType::vsClose: return 16;
    default: return 0;
    }
}

}  // namespace

// ------------------------------------------------------------ collections

template <class Item>
Item* TvsTitleBarCollection<Item>::add() {
    items_.push_back(std::make_unique<Item>(this));
    Item* item = items_.back().get();
    if constexpr (std::is_same_v<Item, TvsTitleBarButton>) item->setUIStyle(TvsUIStyle::DeepBlue);
    update();
    return item;
}

template <class Item>
void TvsTitleBarCollection<Item>::remove(int i) {
    if (i < 0 || i >= count()) return;
    items_.erase(items_.begin() + i);
    update();
}

template <class Item>
void TvsTitleBarCollection<Item>::clear() {
    items_.clear();
    update();
}

template <class Item>
void TvsTitleBarCollection<Item>::assign(const TvsTitleBarCollection& other) {
    if (&other == this) return;
    items_.clear();
    for (int i = 0; i < other.count(); ++i) add()->assign(*other.items(i));
    update();
}

template <class Item>
void TvsTitleBarCollection<Item>::update() const {
    if (owner_) owner_->changed();
}

template class TvsTitleBarCollection<TvsTitleBarButton>;
template class TvsTitleBarCollection<TvsTitleBarSection>;

// ----------------------------------------------------------------- button

TvsTitleBarButton::TvsTitleBarButton(TvsTitleBarButtonList* collection) : collection_(collection) {}

int TvsTitleBarButton::index() const { return collection_->indexOf(this); }

TvsTitleBar* TvsTitleBarButton::bar() const { return collection_->owner(); }

void TvsTitleBarButton::repaint() const { collection_->update(); }

void TvsTitleBarButton::setVisible(bool on) {
    visible_ = on;
    repaint();
}

void TvsTitleBarButton::setButtonType(TvsTitleBarBtnType type) {
    if (type == BtnType::vsControlBox)
        for (int i = 0; i < collection_->count(); ++i)
            if (collection_->items(i)->buttonType() == BtnType::vsControlBox) {
                ShowError(kControlBoxTwice, bar());
                return;
            }
    buttonType_ = type;
    ApplyButtonPictures();
    repaint();
}

void TvsTitleBarButton::setTransparent(bool on) {
    transparent_ = on;
    rekey();
    repaint();
}

void TvsTitleBarButton::setTop(int top) {
    top_ = top;
    repaint();
}

void TvsTitleBarButton::setUIStyle(TvsUIStyle style) {
    uiStyle_ = style;
    ApplyButtonPictures();
}

void TvsTitleBarButton::setPic(int i, const QImage& pic) {
    pics_[i] = pic;
    rekey();
    repaint();
}

void TvsTitleBarButton::assign(const TvsTitleBarButton& other) {
    setVisible(other.visible_);
    setButtonType(other.buttonType_);
    setTransparent(other.transparent_);
    setTop(other.top_);
    setUIStyle(other.uiStyle_);
    for (int i = 0; i < 3; ++i) pics_[i] = other.pics_[i];
    rekey();
    controlBoxMenu_ = other.controlBoxMenu_;
    repaint();
}

void TvsTitleBarButton::loadCells(int first) {
    TvsTitleBar* b = bar();
    const TvsThemeValues t(b ? b->fileTheme() : nullptr, uiStyle_);
    const QImage strip = buttonStrip(t);
    for (int i = 0; i < 3; ++i) pics_[i] = SplitBitmap(strip, kButtonCells, first + i);
}

void TvsTitleBarButton::ApplyButtonPictures() {
    TvsTitleBar* b = bar();
    const TvsThemeValues t(b ? b->fileTheme() : nullptr, uiStyle_);
    transparent_ = t.boolValue(vskey::TitleBarButtonTransparentBool);
    if (buttonType_ != BtnType::vsCustom) {
        loadCells(firstCell(buttonType_));
        top_ = std::clamp(t.intValue(vskey::TitleBarButtonTopInt), 0, kMaxTop);
        if (buttonType_ == BtnType::vsMax) UpdateMaxPictures();
    }
    rekey();
    repaint();
}

void TvsTitleBarButton::UpdateMaxPictures() {
    TvsTitleBar* b = bar();
    if (buttonType_ != BtnType::vsMax || !b || b->custom()) return;
    loadCells(b->formMaximized() ? 10 : 7);
    rekey();
    repaint();
}

void TvsTitleBarButton::rekey() {
    for (int i = 0; i < 3; ++i) {
        const QImage& pic = pics_[i];
        drawn_[i] = transparent_ && !pic.isNull() ? WithTransparentKey(pic, pic.pixel(0, pic.height() - 1)) : pic;
    }
}

// ---------------------------------------------------------------- section

void TvsTitleBarSection::repaint() const { collection_->update(); }

void TvsTitleBarSection::setWidth(int w) {
    width_ = w;
    repaint();
}

void TvsTitleBarSection::setAlign(TvsTitleBarAlign align) {
    if (align == TvsTitleBarAlign::vsClient) {
        for (int i = 0; i < collection_->count(); ++i)
            if (collection_->items(i)->align() == TvsTitleBarAlign::vsClient) {
                ShowError(kClientTwice, collection_->owner());
                return;
            }
        stretch_ = true;
    }
    align_ = align;
    repaint();
}

void TvsTitleBarSection::setStretch(bool on) {
    stretch_ = on || align_ == TvsTitleBarAlign::vsClient;
    repaint();
}

void TvsTitleBarSection::setPicture(const QImage& picture) {
    picture_ = picture;
    if (!picture.isNull() && autoSize_) width_ = picture.width();
    repaint();
}

void TvsTitleBarSection::setAutoSize(bool on) {
    autoSize_ = on;
    if (!picture_.isNull()) width_ = picture_.width();
    repaint();
}

void TvsTitleBarSection::assign(const TvsTitleBarSection& other) {
    setWidth(other.width_);
    setAlign(other.align_);
    picture_ = other.picture_;
    setStretch(other.stretch_);
    setAutoSize(other.autoSize_);
}

// ------------------------------------------------------------ system menu

TvsTitleBarPopupMenu::TvsTitleBarPopupMenu(TvsTitleBar* bar) : TvsPopupMenu(bar), bar_(bar) {
    items_[0] = addAction(QStringLiteral("最小化(&N)"));
    items_[1] = addAction(QStringLiteral("最大化/还原(&X)"));
    items_[2] = addSeparator();
    items_[3] = addAction(QStringLiteral("关闭(&C)"));
    connect(this, &QMenu::aboutToShow, this, &TvsTitleBarPopupMenu::enableItems);
    connect(items_[0], &QAction::triggered, this, [this] {
        if (QWidget* f = bar_->form()) f->showMinimized();
    });
    connect(items_[1], &QAction::triggered, this, [this] {
        QPointer<TvsTitleBar> bar = bar_;
        for (int i = 0; bar && i < bar->buttons()->count(); ++i)
            if (bar->buttons()->items(i)->buttonType() == BtnType::vsMax) bar->ClickButton(bar->buttons()->items(i));
    });
    connect(items_[3], &QAction::triggered, this, [this] {
        if (QWidget* f = bar_->form()) f->close();
    });
    // The pointer comes back to the bar from the menu without an enter.
    connect(this, &QMenu::aboutToHide, bar, [bar] { bar->update(); });
}

void TvsTitleBarPopupMenu::enableItems() {
    bool has[3] = {};
    for (int i = 0; i < bar_->buttons()->count(); ++i) switch (bar_->buttons()->items(i)->buttonType()) {
        case BtnType::vsMin: has[0] = true; break;
        case BtnType::vsMax: has[1] = true; break;
        case BtnType::vsClose: has[2] = true; break;
        default: break;
        }
    items_[0]->setEnabled(has[0]);
    items_[1]->setEnabled(has[1]);
    items_[3]->setEnabled(has[2]);
}

void TvsTitleBarPopupMenu::Popup(const QPoint& globalPos) {
    enableItems();
    popup(globalPos);
}

// -------------------------------------------------------------------- bar

TvsTitleBar::TvsTitleBar(QWidget* parent)
    : QWidget(parent), sections_(std::make_unique<TvsTitleBarSections>(this)),
      buttons_(std::make_unique<TvsTitleBarButtons>(this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    systemMenu_ = new TvsTitleBarPopupMenu(this);
    for (BtnType t : {BtnType::vsControlBox, BtnType::vsClose, BtnType::vsMax, BtnType::vsMin})
        buttons_->add()->setButtonType(t);
    QFont f = QApplication::font();
    f.setFamily(QStringLiteral("Tahoma"));
    f.setBold(true);
    setFont(f);
    controlBoxTimer_.setSingleShot(true);
    connect(&controlBoxTimer_, &QTimer::timeout, this, [this] { popControlBox(std::exchange(controlBoxPending_, -1)); });
    setUIStyle(GetVSFormStyle(parent));
}

TvsTitleBar::~TvsTitleBar() {
    // The buttons and sections reach back to the bar while they go.
    buttons_.reset();
    sections_.reset();
}

QWidget* TvsTitleBar::form() const {
    QWidget* w = window();
    return w == this ? nullptr : w;
}

bool TvsTitleBar::formMaximized() const {
    const QWidget* f = form();
    return f && (f->windowState() & Qt::WindowMaximized);
}

void TvsTitleBar::applyStyle() {
    sections_->clear();
    const TvsThemeValues t(fileTheme_, uiStyle_);
    TvsTitleBarSection* s = sections_->add();
    s->setPicture(themeImage(t, vskey::TitleBarLeftImage));
    s->setAutoSize(true);
    s = sections_->add();
    s->setPicture(themeImage(t, vskey::TitleBarRightImage));
    s->setAutoSize(true);
    s->setAlign(TvsTitleBarAlign::vsRight);
    s = sections_->add();
    s->setPicture(themeImage(t, vskey::TitleBarClientImage));
    s->setAlign(TvsTitleBarAlign::vsClient);
    leftBtnXOffset_ = std::clamp(t.intValue(vskey::TitleBarButtonLeftOffsetInt), 0, kMaxOffset);
    rightBtnXOffset_ = std::clamp(t.intValue(vskey::TitleBarButtonRightOffsetInt), -kMaxOffset, 0);
    borderColor_ = t.color(vskey::FormBorderColor, borderColor_);
    stripHeight_ = buttonStrip(t).height();
    captionTop_ = std::clamp(t.intValue(vskey::TitleBarButtonTopInt), 0, kMaxTop);
    if (QWidget* f = form())
        f->setMinimumWidth(std::clamp(t.intValue(vskey::FormMinWidthInt), kMinFormWidth, kMaxFormWidth));
    roundCorner_ = std::clamp(t.intValue(vskey::FormRoundCornerInt), 0, kMaxRoundCorner);
    const TvsUIStyle resulting = t.fromFile() ? TvsUIStyle::FromThemeFile : t.style();
    inactiveFontColor_ = inactiveInk(resulting);
    for (int i = 0; i < buttons_->count(); ++i) buttons_->items(i)->setUIStyle(resulting);
    systemMenu_->setUIStyle(resulting);
    systemMenu_->setFileTheme(fileTheme_);
}

void TvsTitleBar::setUIStyle(TvsUIStyle style) {
    uiStyle_ = style;
    if (custom_) return;
    applyStyle();
    ReapplyFormRegion();
    if (!reapplying_) fontColor_ = style == TvsUIStyle::Graphite ? QColor(Qt::black) : QColor(Qt::white);
    setAutoSize(true);
    update();
}

void TvsTitleBar::setFileTheme(TvsFileTheme* theme) {
    LinkFileTheme(
        this, fileTheme_, theme,
        [this] {
            reapplying_ = true;
            setUIStyle(uiStyle_);
            reapplying_ = false;
        },
        [this] { setUIStyle(TvsUIStyle::DeepBlue); });
}

void TvsTitleBar::setSections(const TvsTitleBarSections& sections) {
    sections_->assign(sections);
    update();
}

void TvsTitleBar::setButtons(const TvsTitleBarButtons& buttons) {
    buttons_->assign(buttons);
    update();
}

void TvsTitleBar::setAutoSize(bool on) {
    if (sections_->count() == 0) {
        autoSize_ = false;
        return;
    }
    autoSize_ = on;
    setHeight(sections_->items(0)->picture().height());
}

void TvsTitleBar::setHeight(int h) { setFixedHeight(std::clamp(h, kMinHeight, kMaxHeight)); }

void TvsTitleBar::setButtonInterval(int v) {
    buttonInterval_ = v;
    update();
}

void TvsTitleBar::setCaption(const QString& caption) {
    caption_ = caption;
    update();
}

void TvsTitleBar::setFormActive(bool on) {
    formActive_ = on;
    update();
}

void TvsTitleBar::setLeftBtnXOffset(int v) {
    leftBtnXOffset_ = v;
    update();
}

void TvsTitleBar::setRightBtnXOffset(int v) {
    rightBtnXOffset_ = v;
    update();
}

void TvsTitleBar::setRoundCorner(int r) {
    roundCorner_ = r;
    if (isFrame(parentWidget())) UpdateFormRegion(r);
}

void TvsTitleBar::setDrawAppIcon(bool on) {
    drawAppIcon_ = on;
    update();
}

void TvsTitleBar::setFontColor(const QColor& c) {
    fontColor_ = c;
    update();
}

// ----------------------------------------------------------------- layout

QString TvsTitleBar::ElideCaption(const QString& caption, const QFontMetrics& fm, int room) {
    if (fm.horizontalAdvance(caption) <= room) return caption;
    const QString dots = QStringLiteral("...");
    QString text = caption;
    while (!text.isEmpty() && fm.horizontalAdvance(text + dots) > room) text.chop(1);
    return fm.horizontalAdvance(text + dots) <= room ? text + dots : QString();
}

TvsTitleBar::Layout TvsTitleBar::layout(int width) const {
    Layout l;
    l.buttons.assign(size_t(buttons_->count()), QRect());
    // A top that would put a button out of the bar keeps it at the bar's
    // bottom: a window whose close button cannot be seen cannot be closed.
    auto topOf = [this](const TvsTitleBarButton* b, const QSize& s) {
        return std::clamp(b->top(), std::min(0, height() - s.height()), std::max(0, height() - s.height()));
    };
    int x = width + 1 + rightBtnXOffset_;
    for (int i = 0; i < buttons_->count(); ++i) {
        const TvsTitleBarButton* b = buttons_->items(i);
        if (!b->visible()) continue;
        if (b->buttonType() == BtnType::vsControlBox) {
            if (l.controlBox < 0) l.controlBox = i;
            continue;
        }
        const QSize s = b->picNormal().size();
        x -= s.width() + 1 + buttonInterval_;
        l.buttons[size_t(i)] = QRect(QPoint(x, topOf(b, s)), s);
    }
    int c = leftBtnXOffset_;
    if (l.controlBox >= 0) {
        const TvsTitleBarButton* b = buttons_->items(l.controlBox);
        const QSize s = b->picNormal().size();
        l.buttons[size_t(l.controlBox)] = QRect(QPoint(c, topOf(b, s)), s);
        if (drawAppIcon_) {
            l.iconAt = QPoint(c + 3, topOf(b, s));
            c += 21;
        } else {
            c += s.width() + 5;
        }
    }
    if (c == 0) c = 6;
    l.captionLeft = c;
    l.captionRoom = x - c;
    l.captionText = ElideCaption(caption_, QFontMetrics(font()), l.captionRoom);
    return l;
}

int TvsTitleBar::buttonAt(const QPoint& pos) const {
    const Layout l = layout(width());
    int found = -1;
    // Later rectangles win where they touch, the control box last.
    for (int i = 0; i < int(l.buttons.size()); ++i)
        if (i != l.controlBox && !l.buttons[size_t(i)].isEmpty() && PointInRect(pos.x(), pos.y(), l.buttons[size_t(i)]))
            found = i;
    if (l.controlBox >= 0 && PointInRect(pos.x(), pos.y(), l.buttons[size_t(l.controlBox)])) found = l.controlBox;
    return found;
}

QRegion TvsTitleBar::FormRegion(const QSize& size, int r) {
    const int w = size.width(), h = size.height();
    r = std::min({r, w, h});
    if (r <= 0) return QRegion(0, 0, w, h);
    const double radius = r / 2.0;
    const int rows = int(std::ceil(radius));
    QRegion region(0, rows, w, h - rows);
    for (int y = 0; y < rows; ++y) {
        const double dy = radius - y - 0.5;
        const int inset = int(std::lround(radius - std::sqrt(std::max(0.0, radius * radius - dy * dy))));
        region += QRect(inset, y, w - 2 * inset, 1);
    }
    return region;
}

// ---------------------------------------------------------------- drawing

void TvsTitleBar::DrawSections(QPainter& p, int w, int h) const {
    auto draw = [&](const TvsTitleBarSection* s, const QRect& slot) {
        const QImage pic = s->picture();
        if (pic.isNull() || slot.width() <= 0) return;
        if (s->stretch()) p.drawImage(slot, pic);
        else p.drawImage(slot.topLeft(), pic, QRect(0, 0, slot.width(), slot.height()));
    };
    int left = -1, right = w + 1;
    const TvsTitleBarSection* client = nullptr;
    for (int i = 0; i < sections_->count(); ++i) {
        const TvsTitleBarSection* s = sections_->items(i);
        switch (s->align()) {
        case TvsTitleBarAlign::vsLeft:
            draw(s, QRect(left + 1, 0, s->width(), h));
            left += s->width();
            break;
        case TvsTitleBarAlign::vsRight:
            if (w - left < s->width()) break;
            draw(s, QRect(right - 1 - s->width(), 0, s->width(), h));
            right -= s->width();
            break;
        case TvsTitleBarAlign::vsClient: client = s; break;
        }
    }
    if (client && !client->picture().isNull() && right - 1 > left + 1)
        p.drawImage(QRect(left + 1, 0, right - 1 - (left + 1), h), client->picture());
}

bool TvsTitleBar::pointerFree() const { return PointerOver(this); }

void TvsTitleBar::DrawButtons(QPainter& p, int w) {
    const Layout l = layout(w);
    hoverIndex_ = pointerFree() ? buttonAt(mapFromGlobal(QCursor::pos())) : -1;
    auto draw = [&](int i) {
        const TvsTitleBarButton* b = buttons_->items(i);
        const QRect r = l.buttons[size_t(i)];
        const int state = i != hoverIndex_ ? 0 : pressed_ && pressedIndex_ == i ? 2 : 1;
        const QImage pic = b->drawn(state);
        if (!pic.isNull()) p.drawImage(r.topLeft(), pic, QRect(QPoint(0, 0), r.size()));
    };
    for (int i = 0; i < int(l.buttons.size()); ++i)
        if (i != l.controlBox && !l.buttons[size_t(i)].isEmpty()) draw(i);
    if (l.controlBox >= 0) {
        if (drawAppIcon_) {
            const QIcon icon = form() ? form()->windowIcon() : QApplication::windowIcon();
            p.drawPixmap(l.iconAt, icon.pixmap(16, 16));
        } else {
            draw(l.controlBox);
        }
    }
    if (l.captionText.isEmpty()) return;
    p.setFont(font());
    p.setPen(formActive_ ? fontColor_ : inactiveFontColor_);
    const QFontMetrics fm(font());
    const int y = (stripHeight_ - fm.height()) / 2 + captionTop_;
    p.drawText(QRect(l.captionLeft, y, std::max(0, l.captionRoom), fm.height()),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, l.captionText);
}

void TvsTitleBar::changed() {
    sectionsCache_ = QPixmap();
    update();
}

void TvsTitleBar::resizeEvent(QResizeEvent* e) {
    sectionsCache_ = QPixmap();
    QWidget::resizeEvent(e);
}

void TvsTitleBar::paintEvent(QPaintEvent*) {
    // The sections change only with the theme and the size; the buttons and
    // the caption are drawn over them at every paint.
    const qreal dpr = devicePixelRatioF();
    if (sectionsCache_.isNull() || sectionsCache_.size() != size() * dpr) {
        sectionsCache_ = QPixmap(size() * dpr);
        sectionsCache_.setDevicePixelRatio(dpr);
        QPainter cache(&sectionsCache_);
        // Where the pictures leave gaps the border colour shows, never garbage.
        cache.fillRect(rect(), borderColor_);
        DrawSections(cache, width(), height());
    }
    QPainter p(this);
    p.drawPixmap(0, 0, sectionsCache_);
    DrawButtons(p, width());
    if (uiStyle_ != TvsUIStyle::Meadow && roundCorner_ != 0 && isFrame(parentWidget())) {
        p.setPen(borderColor_);
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(-1, 0, width() + 2, height() + 50), (roundCorner_ + 1) / 2.0, roundCorner_ / 2.0);
    }
}

// ------------------------------------------------------------------ mouse

void TvsTitleBar::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const int i = buttonAt(e->position().toPoint());
    pressed_ = true;
    pressedIndex_ = i;
    if (i == -1) {
        // Armed only: a press that does not move stays a click, and the
        // second press of a double click reaches the bar.
        pressed_ = false;
        if (form() && !formMaximized()) drag_.press(form(), e->globalPosition());
    }
    update();
}

void TvsTitleBar::mouseMoveEvent(QMouseEvent* e) {
    if (QWidget* f = form(); f && drag_.move(f, e->globalPosition(), e->buttons())) return;
    update();
}

void TvsTitleBar::mouseReleaseEvent(QMouseEvent* e) {
    drag_.release();
    if (e->button() != Qt::LeftButton) return;
    const int i = buttonAt(e->position().toPoint());
    const bool click = pressed_ && i != -1 && i == pressedIndex_;
    pressed_ = false;
    pressedIndex_ = -1;
    if (click) {
        TvsTitleBarButton* b = buttons_->items(i);
        const BtnType type = b->buttonType();
        if (type == BtnType::vsControlBox) {
            controlBoxPending_ = i;
            controlBoxTimer_.start(QApplication::doubleClickInterval());
        } else {
            QPointer<TvsTitleBar> self = this;
            ClickButton(b);
            if (!self) return;
            if (type == BtnType::vsCustom) emit customBtnsClick(i);
            else if (type == BtnType::vsHelp) emit helpBtnClick(i);
            if (!self) return;
        }
    }
    settle();
}

void TvsTitleBar::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const int i = buttonAt(e->position().toPoint());
    if (i == -1) {
        for (int k = 0; k < buttons_->count(); ++k)
            if (buttons_->items(k)->buttonType() == BtnType::vsMax) {
                QPointer<TvsTitleBar> self = this;
                ClickButton(buttons_->items(k));
                if (self) settle();
                return;
            }
        return;
    }
    if (buttons_->items(i)->buttonType() == BtnType::vsControlBox) {
        controlBoxTimer_.stop();
        controlBoxPending_ = -1;
        if (QWidget* f = form()) f->close();
        return;
    }
    // The second press of two quick clicks on a button clicks it again.
    pressed_ = true;
    pressedIndex_ = i;
    update();
}

void TvsTitleBar::leaveEvent(QEvent*) { update(); }

void TvsTitleBar::changeEvent(QEvent* e) {
    if (e->type() == QEvent::FontChange) update();
    QWidget::changeEvent(e);
}

void TvsTitleBar::settle() { update(); }

void TvsTitleBar::popControlBox(int index) {
    TvsTitleBarButton* b = buttons_->items(index);
    if (!b || b->buttonType() != BtnType::vsControlBox) return;
    if (b->controlBoxMenu()) ClickButton(b);
    else systemMenu_->Popup(mapToGlobal(QPoint(0, height())));
    settle();
}

void TvsTitleBar::ClickButton(TvsTitleBarButton* button) {
    QWidget* f = form();
    if (!f || !button) return;
    switch (button->buttonType()) {
    case BtnType::vsMax:
        if (formMaximized()) f->showNormal();
        else f->showMaximized();
        button->UpdateMaxPictures();
        break;
    case BtnType::vsMin: f->showMinimized(); break;
    case BtnType::vsClose: f->close(); break;
    case BtnType::vsControlBox:
        if (QMenu* menu = button->controlBoxMenu()) menu->popup(mapToGlobal(QPoint(0, height())));
        break;
    default: break;
    }
}

void TvsTitleBar::ReapplyFormRegion() {
    if (isFrame(parentWidget())) UpdateFormRegion(roundCorner_);
}

void TvsTitleBar::UpdateFormRegion(int r) {
    QWidget* f = form();
    if (!f) return;
    // A maximised window fills its screen: its corners stay square.
    if (r <= 0 || formMaximized() || f->isFullScreen()) {
        if (!f->mask().isEmpty()) f->clearMask();
        return;
    }
    f->setMask(FormRegion(f->size(), r));
}

void TvsTitleBar::UpdateMaxButtons() {
    for (int i = 0; i < buttons_->count(); ++i) buttons_->items(i)->UpdateMaxPictures();
}
