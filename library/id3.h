#pragma once
// The tag editor of the tracks selected in the main window's list.

#include <QDialog>

class Tfm_Id3 : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_Id3(QWidget* parent = nullptr);
};

extern Tfm_Id3* fm_Id3;
