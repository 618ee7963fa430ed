#pragma once
// The controls the tool windows place: the skinned drop-down lists and
// progress bar in the program's look, and the up-downs.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "skin/combobox.h"
#include "skin/menu.h"
#include "skin/progressbar.h"
#include "skin/uistyle.h"
#include "jobs/encodertables.h"

// A skinned drop-down list as every form sets it: the DeepBlue style, then
// the program's frame, arrow and button colours, which win over the style's.
class ToolComboBox : public TvsComboBox {
public:
    explicit ToolComboBox(QWidget* parent = nullptr) : TvsComboBox(parent) {
        setUIStyle(TvsUIStyle::DeepBlue);
        setBorderColor(ColorFromBgr(11437686));
        setArrowColor(ColorFromBgr(11437686));
        setButtonColor(ColorFromBgr(15263976));
    }
};

// A skinned popup menu as the disc windows set it: the DeepBlue style in
// the program's colours; the bar and separator colours follow the skin
// through followSkin.
class ToolPopupMenu : public TvsPopupMenu {
public:
    explicit ToolPopupMenu(QWidget* parent = nullptr) : TvsPopupMenu(parent) {
        setUIStyle(TvsUIStyle::DeepBlue);
        setMenuItemHeight(21);
        setSeparatorHeight(5);
        setBarWidth(26);
        setColor(Qt::white);
        setSelectedBorderColor(ColorFromBgr(12425868));
        setSelectedColor(ColorFromBgr(12425868));
        setSelectedFontColor(Qt::white);
        setFontColor(Qt::black);
        setBorderColor(ColorFromBgr(11437686));
    }
    // The bar and separator colours of the skin in use (the second skin, or
    // the first).
    void followSkin(bool secondSkin) {
        setBarColor(ColorFromBgr(secondSkin ? 15199215 : 14074813));
        setSeparatorColor(ColorFromBgr(secondSkin ? 12962253 : 12425868));
    }
};

// The skinned progress bar, starting empty.
class ToolProgressBar : public TvsProgressBar {
public:
    explicit ToolProgressBar(QWidget* parent = nullptr) : TvsProgressBar(parent) { setPosition(0); }
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
    // A screen reader cannot hold the button down: it reads the help of the
    // chosen format as the button's description.
    button->setAccessibleName(QStringLiteral("WMA format help"));
    const auto describe = [button, list] { button->setAccessibleDescription(encodertables::WmaHelpText(list->currentIndex())); };
    describe();
    QObject::connect(list, &QComboBox::currentIndexChanged, button, describe);
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
