#pragma once
// The folder chooser that the tool windows share.

#include <QDialog>

class Tfm_directory : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_directory(QWidget* parent = nullptr);
};

extern Tfm_directory* fm_directory;
