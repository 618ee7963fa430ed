#pragma once
// Converts files to OGG and normalizes OGG files.

#include <QDialog>

class Tfm_oggnormalize : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_oggnormalize(QWidget* parent = nullptr);
};

extern Tfm_oggnormalize* fm_oggnormalize;
