#pragma once
// The line-in recorder's options.

#include <QDialog>

class Tfm_recordsetting : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_recordsetting(QWidget* parent = nullptr);
};

extern Tfm_recordsetting* fm_recordsetting;
