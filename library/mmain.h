#pragma once
// The mini window shown in place of the main window: the file name and the
// buttons back to the main window and to close. It wears the main window's
// skin section "minTunevale"; the clicks on its elements go to the main
// window, which owns the skin engine.

#include <QPointer>
#include <QWidget>

#include "components/skin/skinengine.h"

class Tfm_mmain : public QWidget {
    Q_OBJECT
public:
    explicit Tfm_mmain(QWidget* parent = nullptr);

    void setSkinEngine(SkinEngine* engine);
    void FormShow();
    // Closes the window on the way back to the main window.
    void CloseForReturn();

signals:
    // Closed by the window manager or the keyboard: the program's own close,
    // with its question, since the main window is hidden meanwhile.
    void closeRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QPointer<SkinEngine> engine_;
    bool formShown_ = false;
    bool returning_ = false;
};

extern Tfm_mmain* fm_mmain;
