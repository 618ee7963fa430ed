#pragma once
// The main window: library tree, track list, player and skin. Closing it
// ends the program, whichever other windows are still open.

#include <QMainWindow>

class Tfm_main : public QMainWindow {
    Q_OBJECT
public:
    explicit Tfm_main(QWidget* parent = nullptr);

protected:
    void closeEvent(QCloseEvent* event) override;
};

extern Tfm_main* fm_main;
