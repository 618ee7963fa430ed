#pragma once
// The About window: the program's picture, its name and version. A click on
// the picture closes it.

#include <QDialog>

class QLabel;
class SkinEngine;

class Tfm_about : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_about(QWidget* parent = nullptr);

    // Dresses the window at each showing; null leaves it plain.
    void setSkinEngine(SkinEngine* engine) { skin_ = engine; }

    QLabel* Image1 = nullptr;
    QLabel* lbl_version = nullptr;

    void FormShow();
    void Image1Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    SkinEngine* skin_ = nullptr;
};

extern Tfm_about* fm_about;
