#pragma once
// The widgets the engine puts into a skinned window: one per element, the
// frame under everything (background, title, edges), and a background for each
// band. They belong to the engine; the program never sees them except through
// SkinObject::widget().

#include "components/skin/skinfile.h"
#include "platform/framelesswindow.h"

#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

#include <memory>

class SkinObject;

namespace skin {

class ElementView : public QWidget {
    Q_OBJECT
public:
    // object is null for panels and for the frame's close and minimise buttons.
    ElementView(QWidget* parent, const ElementDef& def, const Style& style, SkinObject* object, QWidget* window);

    SkinObject* object() const { return object_; }
    const ElementDef& definition() const { return def_; }
    bool hovered() const { return hovered_; }
    // What a click on a button, or a tap at value on a bar, does, with the
    // events they raise; for the keyboard-less roads of assistive tools.
    void press();
    void tapAt(int value);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    int valueAt(const QPointF& pos) const;
    void handlePress(QMouseEvent* e);
    void handleRelease(QMouseEvent* e);
    void paintButton(QPainter& p, const Style& s, bool down);

    ElementDef def_;
    Style style_;
    QPointer<SkinObject> object_;
    QPointer<QWidget> window_;
    bool pressed_ = false;
    bool hovered_ = false;
    bool pressing_ = false;                    // the press is being told
    std::unique_ptr<QMouseEvent> heldRelease_;  // a release that came meanwhile
};

// Paints the window's background, border and title, and moves and resizes a
// window that has no frame of its own.
class FrameView : public QWidget {
    Q_OBJECT
public:
    FrameView(QWidget* window, const SectionDef& section, const Style& frame, const Style& title);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    Qt::Edges edgesAt(const QPoint& pos) const;

    SectionDef section_;
    Style frame_, title_;
    QPointer<QWidget> window_;
    WindowDrag drag_;
};

class BandView : public QWidget {
    Q_OBJECT
public:
    BandView(QWidget* band, const Style& style);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Style style_;
};

// Keeps the engine's widgets in place when a part of the window changes its
// size, and lets a band move the window like a title would.
class PartWatcher : public QObject {
    Q_OBJECT
public:
    struct Placed {
        QPointer<QWidget> view;
        Rect rect;
        bool inTitle = false;
    };

    PartWatcher(QObject* owner, QWidget* part, QWidget* window, int titleHeight, int radius, bool movesWindow);

    void place(QWidget* view, const Rect& rect, bool inTitle);
    void fill(QWidget* view) { fills_.append(view); }
    void host(QWidget* widget, const Rect& rect) { hosts_.append({widget, rect, false}); }
    void relayout();
    QWidget* part() const { return part_; }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    QPointer<QWidget> part_;
    QPointer<QWidget> window_;
    int titleHeight_;
    int radius_;
    bool movesWindow_;
    QList<Placed> placed_, hosts_;
    QList<QPointer<QWidget>> fills_;
    WindowDrag drag_;
};

// The shape of a window with rounded corners.
QRegion roundedRegion(const QSize& size, int radius);

}  // namespace skin
