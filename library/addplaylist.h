#pragma once
// The "Add File..." notice: two lines that tell the user files are being
// added. No command of the program shows it yet.

#include <QDialog>

class SkinEngine;

class Tfm_addlist : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_addlist(QWidget* parent = nullptr);

    // Dresses the window at each showing; null leaves it plain.
    void setSkinEngine(SkinEngine* engine) { skin_ = engine; }

    void FormShow();

protected:
    void showEvent(QShowEvent* event) override;

private:
    SkinEngine* skin_ = nullptr;
};

extern Tfm_addlist* fm_addlist;
