#pragma once
// A touchpad's tap: the press and the release posted together at the
// middle of a widget, so that they arrive in one pass of the event loop
// with nothing run between them. The caller lets the events run.

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

namespace testenv {

inline void postTap(QWidget* widget) {
    const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
    const QPointF global = widget->mapToGlobal(at);
    QCoreApplication::postEvent(widget, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                                        Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(widget, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                                                        Qt::NoButton, Qt::NoModifier));
}

}  // namespace testenv
