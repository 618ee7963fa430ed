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
// screen.
void CentreOver(QWidget* window, const QWidget* opener);
