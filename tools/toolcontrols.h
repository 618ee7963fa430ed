#pragma once
// The controls the tool windows place: drop-down lists, the progress bar and
// the up-downs. The drop-down lists and the progress bar are to wear the
// skin's look; until the skinned controls exist they are Qt's own behind the
// same interface (a combo box, and a bar set through setMin, setMax and
// setPosition), so the windows do not change when they arrive.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>

#include "tools/encodertables.h"

using ToolComboBox = QComboBox;

class ToolProgressBar : public QProgressBar {
public:
    explicit ToolProgressBar(QWidget* parent = nullptr) : QProgressBar(parent) {
        setRange(0, 100);
        setValue(0);
        setTextVisible(true);
    }
    void setMin(int value) { setMinimum(value); }
    void setMax(int value) { setMaximum(value); }
    void setPosition(int value) { setValue(qBound(minimum(), value, maximum())); }
    int position() const { return value(); }
};

// An up-down with the read-only edit that shows its position: the arrows
// and the keyboard's steps change it, typing does not.
class UpDown : public QSpinBox {
public:
    UpDown(int min, int max, int step = 1, QWidget* parent = nullptr) : QSpinBox(parent) {
        setRange(min, max);
        setSingleStep(step);
        lineEdit()->setReadOnly(true);
    }
    int position() const { return value(); }
    void setPosition(int value) { setValue(value); }
};

// The WMA lists' "？" button: while it is held down the label shows the help
// text of the list's format (an index without one keeps the label's text).
inline void BindWmaHelp(QPushButton* button, QLabel* label, QComboBox* list) {
    label->hide();
    QObject::connect(button, &QPushButton::pressed, label, [label, list] {
        const QString help = encodertables::WmaHelpText(list->currentIndex());
        if (!help.isNull()) label->setText(help);
        label->show();
    });
    QObject::connect(button, &QPushButton::released, label, &QLabel::hide);
}

// The rules of the normalize and fade options, which every tool window with
// them shares: fade needs normalize (unchecking normalize unchecks fade and
// disables it with the ratio), and the fade times follow the fade box.
struct NormalizeFadeControls {
    QCheckBox* normalize;
    UpDown* ratio;
    QCheckBox* fade;
    UpDown* fadeIn;
    UpDown* fadeOut;

    void normalizeRule() const {
        const bool on = normalize->isChecked();
        if (!on) fade->setChecked(false);
        fade->setEnabled(on);
        ratio->setEnabled(on);
        fadeRule();
    }
    void fadeRule() const {
        fadeIn->setEnabled(fade->isChecked());
        fadeOut->setEnabled(fade->isChecked());
    }
};
