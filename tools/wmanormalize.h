#pragma once
// Converts files to WMA and normalizes WMA files.

#include <QDialog>

class Tfm_wmanormalize : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_wmanormalize(QWidget* parent = nullptr);
};

extern Tfm_wmanormalize* fm_wmanormalize;
