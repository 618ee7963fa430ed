#pragma once
// Stream facts and tags of the file the recorder made last.

#include <QDialog>

class Tfm_fileinfo : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_fileinfo(QWidget* parent = nullptr);
};

extern Tfm_fileinfo* fm_fileinfo;
