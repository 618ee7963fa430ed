#pragma once
// The skin engine: loads a skin file, dresses windows in one of its sections,
// hands out the sections' elements by name, and reports what the user does to
// them. One engine serves every window of the program; it belongs to the main
// window, and all events come from it whichever window they happen in.
//
// A skinned section makes its window frameless and draws the frame (title,
// close, minimise, moving by dragging, resizing at the edges of a window of
// free size); the window's own widgets sit inside the section's margins, in
// the bands the section paints (child widgets found by object name) and where
// the section hosts them. A native section keeps the window's frame and gives
// it the skin's palette and the look of its SkinLabels.
//
// Events: a button reports onMouseDown, onMouseUp, then onClick when the left
// button is let go over it; a two-state button has flipped its state by then.
// A scroll bar reports onMouseDown, onScrollTrack as the thumb jumps to the
// press and on every change while dragged, then onMouseUp. Buttons are 1 left,
// 2 right, 3 middle; x and y are relative to the element. Nothing the program
// calls raises an event.

#include "components/skin/skinfile.h"
#include "components/skin/skinobject.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>

class SkinEngine : public QObject {
    Q_OBJECT
public:
    explicit SkinEngine(QObject* parent = nullptr);
    ~SkinEngine() override;

    // The copy of skin 1 built into the program.
    static QString builtInSkinPath();

    void setMainWindow(QWidget* window);
    QWidget* mainWindow() const { return mainWindow_; }

    // Loads and checks a skin file. A file that fails keeps the skin that was
    // there; when there was none, the built-in copy of skin 1 takes its place,
    // so that windows always find their elements. Failures are also reported
    // through skinError.
    bool loadSkin(const QString& fileName);
    QString skinFile() const { return skinFile_; }
    QString skinName() const;
    QString lastError() const { return lastError_; }

    // Takes the skin off a window: its elements are deleted (bindings held as
    // QPointer turn null), its frame, margins, sizes, shape and palette are
    // what they were before it was first skinned.
    void resetWindow(QWidget* window);
    // Dresses a window in a section (the name compares without case). On a
    // window that is already skinned the old section's elements go first.
    bool applySkinSection(QWidget* window, const QString& section);
    // A window that is to wear a skinned section takes the frameless flags
    // before it is first shown, so that the window manager maps it once, as
    // it will stay: flags changed while it shows take it down and map it
    // again. A native section applied later gives the frame back.
    void takeFrameBeforeShow(QWidget* window);
    // The section a window wears, as the skin spells it; empty when none.
    QString appliedSection(QWidget* window) const;

    // The element of a window that has this name or alias (exact case), or null.
    SkinObject* findSkinObject(QWidget* window, const QString& name) const;
    QList<SkinObject*> skinObjects(QWidget* window) const;

signals:
    void onClick(SkinObject* source);
    void onMouseDown(SkinObject* source, int button, int x, int y);
    void onMouseUp(SkinObject* source, int button, int x, int y);
    void onScrollTrack(SkinObject* source, int newPos);
    // A skin that could not be loaded or applied, in words for the error log.
    void skinError(const QString& message);

private:
    struct WindowSkin;

    std::shared_ptr<const skin::SkinData> currentSkin();
    void report(const QString& message);
    WindowSkin* stateFor(QWidget* window);
    void takeDown(WindowSkin& ws);
    void restoreFrame(WindowSkin& ws);
    void applyPaletteAndLabels(WindowSkin& ws, const skin::SectionDef& section);
    void dress(WindowSkin& ws, const skin::SectionDef& section);
    void forget(QWidget* window);

    QPointer<QWidget> mainWindow_;
    std::shared_ptr<const skin::SkinData> skin_;
    QString skinFile_;
    QString lastError_;
    QHash<QWidget*, WindowSkin*> windows_;
};
