#include "skin/menu.h"

#include "skin/art.h"

#include <QActionEvent>
#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

namespace {

constexpr int kGraphiteItemHeight = 20;
constexpr int kGraphiteSeparatorHeight = 12;

QImage checkImage() {
    static const QImage image = WithTransparentKey(BuiltinArt(QStringLiteral("MENU_CHECKED")), qRgb(255, 255, 255));
    return image;
}

class TvsMenuStyle : public QProxyStyle {
public:
    explicit TvsMenuStyle(const TvsMenuLook* look) : look_(look) {}

    int pixelMetric(PixelMetric m, const QStyleOption* opt, const QWidget* w) const override {
        switch (m) {
        case PM_MenuPanelWidth: return 1;
        case PM_MenuHMargin:
        case PM_MenuVMargin:
        case PM_MenuBarPanelWidth:
        case PM_MenuBarItemSpacing:
        case PM_MenuBarHMargin:
        case PM_MenuBarVMargin: return 0;
        default: return QProxyStyle::pixelMetric(m, opt, w);
        }
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption* opt, const QSize& size,
                           const QWidget* w) const override {
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(opt);
        if (type == CT_MenuItem && item) {
            if (item->menuItemType == QStyleOptionMenuItem::Separator)
                return QSize(look_->barWidth + 40, look_->separatorHeight);
            // Qt adds the widest short-cut text on top of this.
            const QFontMetrics fm(fontFor(w, item));
            const int caption = fm.horizontalAdvance(captionOf(item->text).remove(QLatin1Char('&')));
            return QSize(caption + look_->barWidth + 40, look_->menuItemHeight);
        }
        if (type == CT_MenuBarItem && item) {
            const QFontMetrics fm(fontFor(w, item));
            return QSize(fm.horizontalAdvance(QString(item->text).remove(QLatin1Char('&'))) + 16, look_->menuBarHeight);
        }
        return QProxyStyle::sizeFromContents(type, opt, size, w);
    }

    void drawPrimitive(PrimitiveElement pe, const QStyleOption* opt, QPainter* p, const QWidget* w) const override {
        switch (pe) {
        case PE_PanelMenu: p->fillRect(opt->rect, look_->color); return;
        case PE_FrameMenu:
            p->save();
            p->setPen(look_->flatMenu ? look_->flatBorderColor : look_->borderColor);
            p->setBrush(Qt::NoBrush);
            p->drawRect(opt->rect.adjusted(0, 0, -1, -1));
            p->restore();
            return;
        case PE_PanelMenuBar: barBackground(p, opt->rect); return;
        default: QProxyStyle::drawPrimitive(pe, opt, p, w);
        }
    }

    void drawControl(ControlElement ce, const QStyleOption* opt, QPainter* p, const QWidget* w) const override {
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(opt);
        switch (ce) {
        case CE_MenuItem:
            if (item) drawItem(item, p, w);
            return;
        case CE_MenuEmptyArea: p->fillRect(opt->rect, look_->color); return;
        case CE_MenuBarEmptyArea: barBackground(p, opt->rect); return;
        case CE_MenuBarItem:
            if (item) drawBarItem(item, p, w);
            return;
        default: QProxyStyle::drawControl(ce, opt, p, w);
        }
    }

private:
    static QString captionOf(const QString& text) { return text.section(QLatin1Char('\t'), 0, 0); }

    QFont fontFor(const QWidget* w, const QStyleOptionMenuItem* item) const {
        QFont f = look_->useSystemFont ? (w ? w->font() : QApplication::font("QMenu")) : QFont(look_->fontName, look_->fontSize);
        if (item->menuItemType == QStyleOptionMenuItem::DefaultItem) f.setBold(true);
        return f;
    }

    int mnemonicFlag(const QStyleOption* opt, const QWidget* w) const {
        return QProxyStyle::styleHint(SH_UnderlineShortcut, opt, w) ? Qt::TextShowMnemonic : Qt::TextHideMnemonic;
    }

    void barBackground(QPainter* p, const QRect& r) const {
        if (look_->graphite) p->drawImage(r, BuiltinArt(QStringLiteral("GRAPHITE_MENU_BAR")));
        else p->fillRect(r, look_->menuBarColor.isValid() ? look_->menuBarColor : look_->barColor);
    }

    // The bar on the left and the item's colour to its right.
    void plainBackground(QPainter* p, const QRect& r) const {
        const int bar = std::max(0, look_->barWidth);
        if (bar > 0) p->fillRect(QRect(r.left(), r.top(), bar, r.height()), look_->barColor);
        p->fillRect(QRect(r.left() + bar, r.top(), r.width() - bar, r.height()), look_->color);
    }

    void drawItem(const QStyleOptionMenuItem* item, QPainter* p, const QWidget* w) const {
        const QRect r = item->rect;
        const bool enabled = item->state & State_Enabled;
        const bool selected = (item->state & State_Selected) && enabled;
        p->save();
        if (item->menuItemType == QStyleOptionMenuItem::Separator) {
            if (look_->graphite) {
                p->drawImage(QRect(r.left(), r.top(), r.width(), kGraphiteSeparatorHeight),
                             BuiltinArt(QStringLiteral("GRAPHITE_MENU_BAR")));
            } else {
                plainBackground(p, r);
                p->setPen(look_->separatorColor);
                const int y = r.top() + r.height() / 2;
                p->drawLine(r.left() + look_->barWidth, y, r.left() + r.width() - 1, y);
            }
            p->restore();
            return;
        }
        if (selected) {
            if (look_->graphite) {
                p->drawImage(QRect(r.left(), r.top(), r.width(), kGraphiteItemHeight),
                             BuiltinArt(QStringLiteral("GRAPHITE_MENU_SELECT")));
            } else {
                p->fillRect(r, look_->selectedColor);
                p->setPen(look_->selectedBorderColor);
                p->drawRect(r.adjusted(0, 0, -1, -1));
            }
        } else if (look_->graphite) {
            p->drawImage(QRect(r.left(), r.top(), r.width(), kGraphiteItemHeight),
                         BuiltinArt(QStringLiteral("GRAPHITE_MENU_BAR")));
        } else {
            plainBackground(p, r);
        }

        const QFont font = fontFor(w, item);
        p->setFont(font);
        const QColor ink = !enabled ? QColor(0x80, 0x80, 0x80) : selected ? look_->selectedFontColor : look_->fontColor;
        p->setPen(ink);
        const QFontMetrics fm(font);
        const int flags = Qt::AlignTop | Qt::TextSingleLine | mnemonicFlag(item, w);
        const QRect text(r.left() + look_->barWidth + 4, r.top() + 4, r.width() - look_->barWidth - 4, fm.height());
        p->drawText(text, Qt::AlignLeft | flags, captionOf(item->text));
        const QString shortcut = item->text.section(QLatin1Char('\t'), 1);
        if (!shortcut.isEmpty()) p->drawText(text.adjusted(0, 0, -16, 0), Qt::AlignRight | flags, shortcut);

        if (item->menuItemType == QStyleOptionMenuItem::SubMenu) {
            const int x = r.left() + r.width() - 10, y = r.top() + r.height() / 2;
            p->setBrush(ink);
            p->drawPolygon(QPolygon({QPoint(x, y - 3), QPoint(x + 3, y), QPoint(x, y + 3)}));
        }

        const bool checked = item->checkType != QStyleOptionMenuItem::NotCheckable && item->checked;
        if (checked && !item->icon.isNull()) {
            p->fillRect(QRect(r.left() + 2, r.top() + 1, 19, 19), look_->selectedColor);
            p->setPen(Qt::black);
            p->setBrush(Qt::NoBrush);
            p->drawRect(r.left() + 2, r.top() + 1, 18, 18);
        } else if (checked) {
            p->drawImage(r.left() + 4, r.top() + 3, checkImage());
        }
        if (!item->icon.isNull())
            p->drawPixmap(r.left() + 4, r.top() + 3, item->icon.pixmap(16, 16, enabled ? QIcon::Normal : QIcon::Disabled));
        p->restore();
    }

    void drawBarItem(const QStyleOptionMenuItem* item, QPainter* p, const QWidget* w) const {
        QRect r = item->rect;
        const bool hot = (item->state & State_Selected) && (item->state & State_Enabled);
        const bool down = item->state & State_Sunken;
        p->save();
        const QFont font = fontFor(w, item);
        p->setFont(font);
        const int flags = Qt::AlignCenter | Qt::TextSingleLine | mnemonicFlag(item, w);
        if (!hot && !down) {
            barBackground(p, r);
            p->setPen((item->state & State_Enabled) ? look_->fontColor : QColor(0x80, 0x80, 0x80));
            p->drawText(r.adjusted(0, 2, 0, 0), flags, item->text);
        } else if (look_->graphite) {
            p->drawImage(r, BuiltinArt(QStringLiteral("GRAPHITE_MENU_SELECT")));
            p->setPen(look_->selectedFontColor);
            p->drawText(r, flags, item->text);
        } else {
            barBackground(p, r);
            if (down) r.setWidth(r.width() - 2);
            p->fillRect(r, look_->selectedColor);
            p->setPen(look_->selectedBorderColor);
            p->drawRect(r.adjusted(0, 0, -1, -1));
            p->setPen(look_->selectedFontColor);
            p->drawText(r.adjusted(down ? 2 : 0, 2, 0, 0), flags, item->text);
        }
        p->restore();
    }

    const TvsMenuLook* look_;
};

}  // namespace

template <class Base>
TvsMenuBase<Base>::TvsMenuBase(QWidget* parent) : Base(parent), uiStyle_(GetVSFormStyle(parent)) {
    const QPalette pal = QApplication::palette();
    look_.barColor = pal.color(QPalette::Button);
    look_.selectedBorderColor = look_.selectedColor = pal.color(QPalette::Highlight);
    style_ = new TvsMenuStyle(&look_);
    style_->setParent(this);
    hook(this);
    setUIStyle(uiStyle_);
}

template <class Base>
TvsMenuBase<Base>::~TvsMenuBase() {
    // Submenus that outlive this menu go back to the application's style.
    for (const QPointer<QWidget>& menu : hooked_)
        if (menu && menu != this) {
            menu->removeEventFilter(this);
            menu->setStyle(nullptr);
        }
}

template <class Base>
void TvsMenuBase<Base>::hook(QWidget* menu) {
    if (!menu || hooked_.contains(menu)) return;
    hooked_.append(menu);
    menu->setStyle(style_);
    if (menu != this) menu->installEventFilter(this);
    for (QAction* a : menu->actions()) hook(a->menu<QMenu*>());
}

template <class Base>
void TvsMenuBase<Base>::actionEvent(QActionEvent* event) {
    Base::actionEvent(event);
    if (event->type() == QEvent::ActionAdded) hook(event->action()->template menu<QMenu*>());
}

template <class Base>
bool TvsMenuBase<Base>::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ActionAdded)
        hook(static_cast<QActionEvent*>(event)->action()->template menu<QMenu*>());
    return Base::eventFilter(watched, event);
}

template <class Base>
void TvsMenuBase<Base>::relayout() {
    for (const QPointer<QWidget>& menu : hooked_)
        if (menu) {
            QEvent changed(QEvent::StyleChange);
            QCoreApplication::sendEvent(menu, &changed);
            menu->update();
        }
}

template <class Base>
void TvsMenuBase<Base>::repaintAll() {
    for (const QPointer<QWidget>& menu : hooked_)
        if (menu) menu->update();
}

template <class Base>
void TvsMenuBase<Base>::setUIStyle(TvsUIStyle style) {
    uiStyle_ = style;
    const bool graphite = style == TvsUIStyle::Graphite;
    look_.graphite = graphite;
    look_.barWidth = 26;
    look_.menuItemHeight = graphite ? kGraphiteItemHeight : 21;
    look_.separatorHeight = graphite ? kGraphiteSeparatorHeight : 5;
    look_.separatorColor = graphite ? QColor(Qt::black) : ColorFromBgr(0x848284);
    const TvsThemeValues theme(fileTheme_, uiStyle_);
    look_.barColor = theme.color(vskey::MenuBarColor, look_.barColor);
    look_.color = theme.color(vskey::MenuBackgroundColor, look_.color);
    look_.fontColor = theme.color(vskey::MenuFontColor, look_.fontColor);
    look_.selectedBorderColor = theme.color(vskey::MenuSelectedBorderColor, look_.selectedBorderColor);
    look_.selectedColor = theme.color(vskey::MenuSelectedBackgroundColor, look_.selectedColor);
    look_.selectedFontColor = theme.color(vskey::MenuSelectedFontColor, look_.selectedFontColor);
    look_.flatBorderColor = theme.color(vskey::FormBackgroundColor, look_.flatBorderColor);
    relayout();
}

template <class Base>
void TvsMenuBase<Base>::setFileTheme(TvsFileTheme* theme) {
    LinkFileTheme(this, fileTheme_, theme, [this] { setUIStyle(uiStyle_); },
                  [this] { setUIStyle(TvsUIStyle::DeepBlue); });
}

template <class Base>
void TvsMenuBase<Base>::setMenuItemHeight(int h) {
    if (uiStyle_ == TvsUIStyle::Graphite) return;
    look_.menuItemHeight = h;
    relayout();
}

template <class Base>
void TvsMenuBase<Base>::setSeparatorHeight(int h) {
    if (uiStyle_ == TvsUIStyle::Graphite) return;
    look_.separatorHeight = h;
    relayout();
}

template <class Base>
void TvsMenuBase<Base>::setBarWidth(int w) {
    look_.barWidth = w;
    relayout();
}

template <class Base>
void TvsMenuBase<Base>::setColour(QColor TvsMenuLook::*field, const QColor& c) {
    look_.*field = c;
    repaintAll();
}

template <class Base>
void TvsMenuBase<Base>::setFlatMenu(bool on) {
    look_.flatMenu = on;
    repaintAll();
}

template <class Base>
void TvsMenuBase<Base>::setFontName(const QString& name) {
    look_.fontName = name;
    relayout();
}

template <class Base>
void TvsMenuBase<Base>::setFontSize(int size) {
    look_.fontSize = size;
    relayout();
}

template <class Base>
void TvsMenuBase<Base>::setUseSystemFont(bool on) {
    look_.useSystemFont = on;
    relayout();
}

template class TvsMenuBase<QMenu>;
template class TvsMenuBase<QMenuBar>;

TvsPopupMenu::TvsPopupMenu(QWidget* parent) : TvsMenuBase<QMenu>(parent) {}

TvsMainMenu::TvsMainMenu(QWidget* parent) : TvsMenuBase<QMenuBar>(parent) {
    setFixedHeight(look().menuBarHeight);
}

void TvsMainMenu::setMenuBarColor(const QColor& c) {
    mutableLook().menuBarColor = c;
    update();
}

void TvsMainMenu::setMenuBarHeight(int h) {
    mutableLook().menuBarHeight = std::max(1, h);
    setFixedHeight(look().menuBarHeight);
    QEvent changed(QEvent::StyleChange);
    QCoreApplication::sendEvent(this, &changed);
}
