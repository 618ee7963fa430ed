#pragma once
// Output formats of the CD ripper and the recorder, and the ripper's reading and naming options.

#include <QDialog>

// True: the recorder's settings (section [recorder]); false: the ripper's.
extern bool CdSetForRecorder;

class Tfm_cdset : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_cdset(QWidget* parent = nullptr);
};

extern Tfm_cdset* fm_cdset;
