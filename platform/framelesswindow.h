#pragma once
// What a window without the window manager's frame needs from whoever draws
// its frame instead: moving and resizing by dragging, the flags that take the
// manager's frame away, and a mark saying who draws the frame, so that no
// window gets two.

#include <QPointF>
#include <QRect>
#include <QString>

#include <Qt>

class QWidget;

// Moves a frameless window by dragging, or resizes it by an edge: the window
// manager's own move or resize when it offers one, else by following the
// mouse. A press only arms it; the drag starts when the mouse moves with the
// button held, so that no click, however quick, leaves a drag behind (and a
// double click stays a double click), and it ends on the release or on any
// move without the button.
class WindowDrag {
public:
    void press(QWidget* window, const QPointF& globalPos, Qt::Edges edges = {});
    // True when the drag took the move.
    bool move(QWidget* window, const QPointF& globalPos, Qt::MouseButtons buttons);
    void release() { state_ = State::Idle; }
    bool active() const { return state_ != State::Idle; }

    // Pixels the mouse moves with the button held before a press becomes a drag.
    static constexpr int kStartDistance = 3;

private:
    enum class State { Idle, Armed, Following };
    State state_ = State::Idle;
    Qt::Edges edges_;
    QPoint pressPos_;
    QRect startGeometry_;
};

// The window's flags without the manager's frame. Qt gives a window that
// names the buttons of its frame (custom hints with a close button, say) that
// frame even when told to go without one; only the window's other wishes,
// staying on top among them, are kept.
Qt::WindowFlags FramelessFlags(Qt::WindowFlags flags);

// Changing the flags hides a window; one that was showing stays showing, in
// its place. A modal window that shows keeps its flags until it is hidden.
void SetFlagsKeepingPlace(QWidget* window, Qt::WindowFlags flags);

// Who draws the window's frame: empty when the window manager does.
QString FrameOwner(const QWidget* window);
void SetFrameOwner(QWidget* window, const QString& owner);

// True when the pointer rests on the widget and nothing has taken it: no
// popup menu is open and no other window's modal box is up. A widget that
// keeps a hover look from its enter and leave events asks this after its
// click handlers ran, since a menu or a question box opened by them takes the
// pointer without a leave.
bool PointerOver(const QWidget* widget);
