#include "skin/combobox.h"

#include "skin/art.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionComboBox>

namespace {

constexpr int kButtonWidth = 17;

// Places the edit field and the button where the flat frame leaves room for
// them, and drops the list below the box instead of over it.
class ComboStyle : public QProxyStyle {
public:
    QRect subControlRect(ComplexControl cc, const QStyleOptionComplex* opt, SubControl sc,
                         const QWidget* widget) const override {
        if (cc == CC_ComboBox) {
            const QRect r = opt->rect;
            const int bw = std::min(kButtonWidth, std::max(0, r.width() - 4));
            switch (sc) {
            case SC_ComboBoxArrow: return QRect(r.x() + r.width() - 2 - bw, r.y() + 2, bw, std::max(0, r.height() - 4));
            case SC_ComboBoxEditField:
                return QRect(r.x() + 3, r.y() + 3, std::max(0, r.width() - bw - 6), std::max(0, r.height() - 6));
            case SC_ComboBoxFrame: return r;
            default: break;
            }
        }
        return QProxyStyle::subControlRect(cc, opt, sc, widget);
    }
    int styleHint(StyleHint hint, const QStyleOption* opt, const QWidget* widget,
                  QStyleHintReturn* ret) const override {
        if (hint == SH_ComboBox_Popup) return 0;
        return QProxyStyle::styleHint(hint, opt, widget, ret);
    }
};

// A one-pixel frame over the open list, which keeps up with its size.
class PopupFrame : public QWidget {
public:
    PopupFrame(QWidget* list, const QColor& color) : QWidget(list), color_(color) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        list->installEventFilter(this);
        setGeometry(list->rect());
    }
    void setColor(const QColor& c) {
        color_ = c;
        update();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Show) {
            setGeometry(parentWidget()->rect());
            raise();
        }
        return false;
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(color_);
        p.drawRect(0, 0, width() - 1, height() - 1);
    }

private:
    QColor color_;
};

}  // namespace

TvsCustomComboBox::TvsCustomComboBox(QWidget* parent) : QComboBox(parent), uiStyle_(GetVSFormStyle(parent)) {
    auto* style = new ComboStyle;
    style->setParent(this);
    setStyle(style);
    buttonColor_ = palette().color(QPalette::Button);
    setUIStyle(uiStyle_);
}

void TvsCustomComboBox::setBorderColor(const QColor& c) {
    borderColor_ = c;
    update();
}

void TvsCustomComboBox::setButtonColor(const QColor& c) {
    buttonColor_ = c;
    update();
}

void TvsCustomComboBox::setArrowColor(const QColor& c) {
    arrowColor_ = c;
    update();
}

void TvsCustomComboBox::setFileTheme(TvsFileTheme* theme) {
    LinkFileTheme(this, fileTheme_, theme, [this] { setUIStyle(uiStyle_); },
                  [this] { setUIStyle(TvsUIStyle::DeepBlue); });
}

void TvsCustomComboBox::setUIStyle(TvsUIStyle style) {
    uiStyle_ = style;
    arrowColor_ = Qt::black;
    const TvsThemeValues theme(fileTheme_, uiStyle_);
    borderColor_ = theme.color(vskey::ControlBorderColor, borderColor_);
    buttonColor_ = theme.color(vskey::FormBackgroundColor, buttonColor_);
    update();
}

QRect TvsCustomComboBox::buttonRect() const {
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    return style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxArrow, this);
}

void TvsCustomComboBox::showPopup() {
    QComboBox::showPopup();
    QWidget* list = view()->parentWidget();
    if (!list) return;
    if (!popupFrame_ || popupFrame_->parentWidget() != list) popupFrame_ = new PopupFrame(list, borderColor_);
    static_cast<PopupFrame*>(popupFrame_.data())->setColor(borderColor_);
    popupFrame_->setGeometry(list->rect());
    popupFrame_->raise();
    popupFrame_->show();
}

void TvsCustomComboBox::changeEvent(QEvent* event) {
    QComboBox::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) update();
}

void TvsCustomComboBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int w = width(), h = height();
    const QColor base = palette().color(QPalette::Base);
    p.fillRect(rect(), base);
    const QRect button = buttonRect();

    if (!isEditable()) {
        QStyleOptionComboBox opt;
        initStyleOption(&opt);
        QRect text(2, 2, std::max(0, button.left() - 2), h - 4);
        // The platform's drop-down list marks the focus by highlighting its text.
        if (hasFocus() && !view()->isVisible()) {
            p.fillRect(text.adjusted(1, 1, -1, -1), palette().color(QPalette::Highlight));
            opt.palette.setColor(QPalette::Text, palette().color(QPalette::HighlightedText));
            opt.palette.setColor(QPalette::ButtonText, palette().color(QPalette::HighlightedText));
        }
        opt.rect = text.adjusted(2, 0, 0, 0);
        opt.editable = false;
        opt.frame = false;
        style()->drawControl(QStyle::CE_ComboBoxLabel, &opt, &p, this);
    }

    p.setBrush(Qt::NoBrush);
    p.setPen(borderColor_);
    p.drawRect(0, 0, w - 1, h - 1);
    p.setPen(base);
    p.drawRect(1, 1, w - 3, h - 3);

    const TvsUIStyle look = TvsThemeValues(fileTheme_, uiStyle_).style();
    if (look == TvsUIStyle::Graphite || look == TvsUIStyle::Meadow) {
        p.drawImage(button, BuiltinArt(look == TvsUIStyle::Graphite ? QStringLiteral("GRAPHITE_COMBOBOX_BUTTON")
                                                                    : QStringLiteral("MEADOW_COMBOBOX_BUTTON")));
    } else {
        p.fillRect(button, buttonColor_);
        p.setPen(borderColor_);
        p.drawLine(button.left() - 1, button.top() - 1, button.left() - 1, button.top() + button.height());
    }
    // Meadow's button picture carries its own arrow.
    if (look == TvsUIStyle::Meadow) return;
    const int x = button.left() + button.width() / 2 - 3, y = button.top() + button.height() / 2;
    auto triangle = [&](int dx, const QColor& c) {
        p.setPen(c);
        p.setBrush(c);
        p.drawPolygon(QPolygon({QPoint(x + dx, y + dx), QPoint(x + 6 + dx, y + dx), QPoint(x + 3 + dx, y + 3 + dx)}));
    };
    if (isEnabled()) {
        triangle(0, arrowColor_);
    } else {
        triangle(1, Qt::white);
        triangle(0, QColor(0x80, 0x80, 0x80));
    }
}
