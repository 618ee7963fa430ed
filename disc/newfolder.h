#pragma once
// Asks for the name of a folder of the data CD compilation.

#include <QDialog>

class Tfm_newfolder : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_newfolder(QWidget* parent = nullptr);
};

extern Tfm_newfolder* fm_newfolder;
