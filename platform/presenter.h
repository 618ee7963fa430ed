#pragma once
// How one window shows another: modally (the opener waits until it closes)
// or modeless. Tests install a presenter that records which window was shown
// and can act in it instead of running a nested event loop.

class QWidget;

class WindowPresenter {
public:
    virtual ~WindowPresenter() = default;
    // Returns the dialog's result (QDialog::Accepted or Rejected); a plain
    // widget shown modally gives 0.
    virtual int showModal(QWidget* window) = 0;
    virtual void showModeless(QWidget* window) = 0;
};

// The presenter in use; nullptr restores the real one. The installer keeps
// ownership.
void InstallWindowPresenter(WindowPresenter* presenter);
WindowPresenter& CurrentWindowPresenter();

int ShowModal(QWidget* window);
void ShowModeless(QWidget* window);

// Places window centred over opener: Left := opener.Left + (opener.Width -
// window.Width) div 2, Top likewise. Without an opener it is centred on the
// screen. The window is then kept above its opener (KeepAbove).
void CentreOver(QWidget* window, const QWidget* opener);

// Whenever window shows, the window manager is told to keep it above
// opener's window (its transient parent), so that a click on the opener
// does not bury it and a box over the opener does not hide it.
void KeepAbove(QWidget* window, const QWidget* opener);
// True while a window of the program other than except is shown and kept
// on top of all others (the playlist window): what opens then is kept on
// top too, or it would open behind that one.
bool OnTopWindowShown(const QWidget* except = nullptr);
