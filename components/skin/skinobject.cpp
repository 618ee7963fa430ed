#include "components/skin/skinobject.h"

#include "components/skin/skinengine.h"
#include "components/skin/skinview.h"

SkinObject::SkinObject(Kind kind, SkinEngine* engine, QWidget* window, const skin::ElementDef& def)
    : QObject(engine), kind_(kind), engine_(engine), window_(window), def_(def) {
    setObjectName(def.name);
}

SkinObject::~SkinObject() {
    // The view may be inside its own mouse handler (a click that re-skins its
    // window), so it goes at the next turn of the event loop; hidden at once.
    if (view_) {
        view_->hide();
        view_->deleteLater();
    }
}

void SkinObject::redraw() {
    if (view_) view_->update();
}

void SkinObject::setButtonUp(bool up) {
    if (buttonUp_ == up) return;
    buttonUp_ = up;
    redraw();
}

QWidget* SkinObject::widget() const { return view_; }

SkinButton::SkinButton(SkinEngine* engine, QWidget* window, const skin::ElementDef& def)
    : SkinObject(Kind::Button, engine, window, def) {}

SkinToggle::SkinToggle(SkinEngine* engine, QWidget* window, const skin::ElementDef& def)
    : SkinObject(Kind::Toggle, engine, window, def) {}

void SkinToggle::setState(bool on) {
    if (state_ == on) return;
    state_ = on;
    redraw();
}

SkinScrollBar::SkinScrollBar(SkinEngine* engine, QWidget* window, const skin::ElementDef& def)
    : SkinObject(Kind::ScrollBar, engine, window, def), position_(def.min) {}

void SkinScrollBar::setPosition(int position) {
    if (dragging_) return;
    position = std::clamp(position, minimum(), maximum());
    if (position == position_) return;
    position_ = position;
    redraw();
}

SkinText::SkinText(SkinEngine* engine, QWidget* window, const skin::ElementDef& def)
    : SkinObject(Kind::Text, engine, window, def), text_(def.text) {}

void SkinText::setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    redraw();
}
