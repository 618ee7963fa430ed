#pragma once
// Five further tag fields of the file chosen in the tag editor.

#include <QDialog>

class Tfm_more : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_more(QWidget* parent = nullptr);
};

extern Tfm_more* fm_more;
