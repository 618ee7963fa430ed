#include "platform/framelesswindow.h"

#include <QApplication>
#include <QCursor>
#include <QVariant>
#include <QWidget>
#include <QWindow>

namespace {
constexpr char kOwnerProperty[] = "tunevaleFrameOwner";
}

void WindowDrag::press(QWidget* window, const QPointF& globalPos, Qt::Edges edges) {
    state_ = window ? State::Armed : State::Idle;
    edges_ = edges;
    pressPos_ = globalPos.toPoint();
    if (window) startGeometry_ = edges ? window->geometry() : window->frameGeometry();
}

bool WindowDrag::move(QWidget* window, const QPointF& globalPos, Qt::MouseButtons buttons) {
    if (state_ == State::Idle || !window) return false;
    // The release went elsewhere: the drag ends rather than glue the window
    // to the mouse until the next click.
    if (!(buttons & Qt::LeftButton)) {
        state_ = State::Idle;
        return false;
    }
    const QPoint d = globalPos.toPoint() - pressPos_;
    if (state_ == State::Armed && d.manhattanLength() < kStartDistance) return true;
    // The window catches up with the pointer first: the manager moves it
    // from where the pointer is when it takes over.
    if (!edges_) {
        window->move(startGeometry_.topLeft() + d);
    } else {
        QRect g = startGeometry_;
        if (edges_ & Qt::LeftEdge) g.setLeft(std::min(g.left() + d.x(), g.right() - window->minimumWidth()));
        if (edges_ & Qt::RightEdge) g.setRight(g.right() + d.x());
        if (edges_ & Qt::TopEdge) g.setTop(std::min(g.top() + d.y(), g.bottom() - window->minimumHeight()));
        if (edges_ & Qt::BottomEdge) g.setBottom(g.bottom() + d.y());
        window->setGeometry(g);
    }
    if (state_ == State::Armed) {
        // Handed to the window manager only now that the button is down
        // for sure: started at the press, the release of a quick click could
        // come before the manager took the mouse, and the manager would then
        // move the window until the next click.
        QWindow* handle = window->windowHandle();
        if (handle && (edges_ ? handle->startSystemResize(edges_) : handle->startSystemMove())) {
            state_ = State::Idle;
            return true;
        }
        state_ = State::Following;
    }
    return true;
}

Qt::WindowFlags FramelessFlags(Qt::WindowFlags flags) {
    return (flags & ~Qt::CustomizeWindowHint) | Qt::FramelessWindowHint;
}

void SetFlagsKeepingPlace(QWidget* w, Qt::WindowFlags flags) {
    if (w->windowFlags() == flags) return;
    const bool visible = w->isVisible();
    // Qt hides and shows a window to give it new flags: a modal one would
    // end its loop at once and stay modal after its close, hidden, blocking
    // every other window. It keeps its frame until it shows again.
    if (visible && w->isModal()) {
        qWarning("The frame of the modal window \"%s\" is kept while it shows", qPrintable(w->windowTitle()));
        return;
    }
    const QPoint pos = w->pos();
    w->setWindowFlags(flags);
    if (visible) {
        w->move(pos);
        w->show();
    }
}

QString FrameOwner(const QWidget* window) {
    return window ? window->property(kOwnerProperty).toString() : QString();
}

void SetFrameOwner(QWidget* window, const QString& owner) {
    if (window) window->setProperty(kOwnerProperty, owner.isEmpty() ? QVariant() : QVariant(owner));
}

bool PointerOver(const QWidget* w) {
    if (!w || !w->isVisible()) return false;
    if (QWidget* popup = QApplication::activePopupWidget(); popup && popup != w->window()) return false;
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != w->window()) return false;
    return w->rect().contains(w->mapFromGlobal(QCursor::pos()));
}
