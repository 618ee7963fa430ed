#pragma once
// The elements of a skinned window as the program holds them. findSkinObject
// hands out a SkinObject; its typed face is asked for with as<T>() (or
// qobject_cast): SkinScrollBar, SkinText or SkinToggle. Every element is also
// an element in general: redraw() and setButtonUp().
//
// An element lives until its window is reset or skinned again. The program
// keeps its bindings as QPointer, so a binding from before turns null rather
// than dangling. The setters here never raise an event: the program sets the
// position bar every timer tick, and an event there would seek.

#include "components/skin/skinfile.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

class SkinEngine;

namespace skin {
class ElementView;
}

class SkinObject : public QObject {
    Q_OBJECT
public:
    enum class Kind { Button, Toggle, ScrollBar, Text };

    ~SkinObject() override;

    // The element's name; events are told apart by it.
    QString getName() const { return def_.name; }
    // Further names findSkinObject answers to.
    const QStringList& aliases() const { return def_.aliases; }
    bool answersTo(const QString& name) const { return def_.name == name || def_.aliases.contains(name); }
    Kind kind() const { return kind_; }

    template <typename T>
    T* as() {
        return qobject_cast<T*>(this);
    }

    void redraw();
    // true: the normal look; false: held down, as a play button that plays.
    void setButtonUp(bool up);
    bool isButtonUp() const { return buttonUp_; }

    // What the element draws on, for geometry and for driving it in tests.
    QWidget* widget() const;
    QWidget* window() const { return window_; }
    SkinEngine* engine() const { return engine_; }
    const skin::ElementDef& definition() const { return def_; }

protected:
    SkinObject(Kind kind, SkinEngine* engine, QWidget* window, const skin::ElementDef& def);

private:
    friend class SkinEngine;
    friend class skin::ElementView;

    Kind kind_;
    QPointer<SkinEngine> engine_;
    QPointer<QWidget> window_;
    skin::ElementDef def_;
    QPointer<skin::ElementView> view_;
    bool buttonUp_ = true;
};

class SkinButton : public SkinObject {
    Q_OBJECT
public:
    SkinButton(SkinEngine* engine, QWidget* window, const skin::ElementDef& def);
};

class SkinToggle : public SkinObject {
    Q_OBJECT
public:
    SkinToggle(SkinEngine* engine, QWidget* window, const skin::ElementDef& def);

    bool getState() const { return state_; }
    void setState(bool on);

private:
    friend class skin::ElementView;
    bool state_ = false;
};

class SkinScrollBar : public SkinObject {
    Q_OBJECT
public:
    SkinScrollBar(SkinEngine* engine, QWidget* window, const skin::ElementDef& def);

    int getPosition() const { return position_; }
    // Clamped to the range. While the user drags the thumb the hand wins and
    // the call changes nothing.
    void setPosition(int position);
    int minimum() const { return definition().min; }
    int maximum() const { return definition().max; }
    Qt::Orientation orientation() const { return definition().orientation; }
    bool isDragging() const { return dragging_; }

private:
    friend class skin::ElementView;
    int position_ = 0;
    bool dragging_ = false;
};

class SkinText : public SkinObject {
    Q_OBJECT
public:
    SkinText(SkinEngine* engine, QWidget* window, const skin::ElementDef& def);

    QString getText() const { return text_; }
    void setText(const QString& text);

private:
    QString text_;
};
