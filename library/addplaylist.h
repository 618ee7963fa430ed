#pragma once
// The "Add File..." notice shown while files are added.

#include <QDialog>

class Tfm_addlist : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_addlist(QWidget* parent = nullptr);
};

extern Tfm_addlist* fm_addlist;
