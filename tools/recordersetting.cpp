#include "tools/recordersetting.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "platform/inifile.h"
#include "platform/presenter.h"
#include "components/skin/skinlabel.h"
#include "tools/cdrippersettings.h"
#include "tools/recorder.h"
#include "tools/recordersettings.h"
#include "windowkit/toolcontrols.h"
#include "windowkit/toolskin.h"

Tfm_recordsetting* fm_recordsetting = nullptr;

SpinEdit::SpinEdit(int min, int max, int step, int emptyValue, QWidget* parent)
    : QSpinBox(parent), emptyValue_(emptyValue) {
    setRange(min, max);
    setSingleStep(step);
}

void SpinEdit::setTypingOff() { lineEdit()->setReadOnly(true); }

void SpinEdit::focusOutEvent(QFocusEvent* event) {
    if (lineEdit()->text().trimmed().isEmpty()) setValue(emptyValue_);
    QSpinBox::focusOutEvent(event);
}

namespace {

template <typename W>
W* Place(W* w, QWidget* parent, int x, int y, int width, int height) {
    w->setParent(parent);
    w->setGeometry(x, y, width, height);
    return w;
}

QLabel* Caption(const QString& text, QWidget* parent, int x, int y) {
    return Place(new QLabel(text), parent, x, y, 60, 21);
}

}  // namespace

Tfm_recordsetting::Tfm_recordsetting(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Record Setting"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    auto* filters = Place(new QGroupBox(QStringLiteral("Filter Settings")), this, 8, 4, 180, 110);
    CB_notch = Place(new QCheckBox(QStringLiteral("Notch")), filters, 10, 20, 80, 21);
    se_notch = Place(new SpinEdit(40, 200, 10, 40), filters, 95, 20, 75, 21);
    se_notch->setTypingOff();
    CB_highpass = Place(new QCheckBox(QStringLiteral("HighPass")), filters, 10, 50, 80, 21);
    SpinEdit2 = Place(new SpinEdit(800, 44100, 100, 800), filters, 95, 50, 75, 21);
    CB_lowpass = Place(new QCheckBox(QStringLiteral("LowPass")), filters, 10, 80, 80, 21);
    SpinEdit3 = Place(new SpinEdit(400, 44100, 100, 4000), filters, 95, 80, 75, 21);
    const std::pair<QCheckBox*, SpinEdit*> pairs[] = {{CB_notch, se_notch}, {CB_highpass, SpinEdit2},
                                                       {CB_lowpass, SpinEdit3}};
    for (auto [box, spin] : pairs)
        connect(box, &QCheckBox::clicked, spin, [box, spin] { spin->setEnabled(box->isChecked()); });

    auto* formats = Place(new QGroupBox(QStringLiteral("Output Format")), this, 196, 4, 176, 110);
    auto* group = new QButtonGroup(this);
    const char* names[] = {"WAV", "MP3", "OGG", "WMA"};
    for (int i = 0; i < 4; ++i) {
        rb_format[static_cast<size_t>(i)] =
            Place(new QRadioButton(QString::fromLatin1(names[i])), formats, 12 + (i % 2) * 80, 30 + (i / 2) * 35, 70, 21);
        group->addButton(rb_format[static_cast<size_t>(i)], i);
    }
    connect(group, &QButtonGroup::idClicked, this, [this](int id) { RecordFormat = id; });

    auto* time = Place(new QGroupBox(QStringLiteral("Edit Record Time")), this, 8, 118, 364, 60);
    cb_time = Place(new QCheckBox(QStringLiteral("Enabled Edit Time")), time, 10, 24, 130, 21);
    up_hour = Place(new UpDown(0, 10), time, 150, 24, 50, 21);
    Caption(QStringLiteral("h"), time, 202, 24);
    up_minute = Place(new UpDown(0, 60), time, 220, 24, 50, 21);
    Caption(QStringLiteral("m"), time, 272, 24);
    up_second = Place(new UpDown(0, 60), time, 290, 24, 50, 21);
    Caption(QStringLiteral("s"), time, 342, 24);

    auto* option = Place(new QGroupBox(QStringLiteral("Recorder Option")), this, 8, 182, 364, 70);
    cb_auto = Place(new QCheckBox(QStringLiteral("Record when Silence")), option, 10, 20, 150, 21);
    Caption(QStringLiteral("Attack"), option, 10, 44);
    up_at = Place(new UpDown(1, 1000), option, 60, 44, 60, 21);
    Caption(QStringLiteral("Release"), option, 128, 44);
    up_rt = Place(new UpDown(1, 1000), option, 182, 44, 60, 21);
    Caption(QStringLiteral("Level"), option, 250, 44);
    up_rl = Place(new UpDown(-92, 0), option, 292, 44, 60, 21);

    btn_default = Place(new QPushButton(QStringLiteral("Default")), this, 8, 260, 80, 25);
    btn_option = Place(new QPushButton(QStringLiteral("Option")), this, 100, 260, 80, 25);
    btn_ok = Place(new QPushButton(QStringLiteral("Ok")), this, 200, 260, 80, 25);
    btn_cancel = Place(new QPushButton(QStringLiteral("Cancel")), this, 292, 260, 80, 25);
    connect(btn_default, &QPushButton::clicked, this, &Tfm_recordsetting::btn_defaultClick);
    connect(btn_option, &QPushButton::clicked, this, &Tfm_recordsetting::btn_optionClick);
    connect(btn_ok, &QPushButton::clicked, this, &Tfm_recordsetting::btn_okClick);
    connect(btn_cancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(380, 294);
}

void Tfm_recordsetting::showEvent(QShowEvent* event) {
    setFixedSize(380, 294);
    readSettings();
    DressToolWindow(this);
    QDialog::showEvent(event);
}

void Tfm_recordsetting::readSettings() {
    const IniFile ini;
    const char* s = kRecorderSection;
    RecordFormat = ini.readInteger(s, "format", 1);
    CB_notch->setChecked(ini.readBool(s, "notch filter enabled", false));
    CB_highpass->setChecked(ini.readBool(s, "high filter enabled", false));
    CB_lowpass->setChecked(ini.readBool(s, "low filter enabled", false));
    se_notch->setValue(ini.readInteger(s, "notch filter", 50));
    SpinEdit2->setValue(ini.readInteger(s, "high filter", 400));
    SpinEdit3->setValue(ini.readInteger(s, "low filter", 4000));
    // The box asks the opposite of the key: checked keeps the silence.
    cb_auto->setChecked(!ini.readBool(s, "cb auto", false));
    up_at->setPosition(ini.readInteger(s, "at", 300));
    up_rt->setPosition(ini.readInteger(s, "rt", 100));
    up_rl->setPosition(ini.readInteger(s, "rl", -1));
    cb_time->setChecked(ini.readBool(s, "time", false));
    up_hour->setPosition(ini.readInteger(s, "hour", 0));
    up_minute->setPosition(ini.readInteger(s, "minute", 10));
    up_second->setPosition(ini.readInteger(s, "second", 0));
    se_notch->setEnabled(CB_notch->isChecked());
    SpinEdit2->setEnabled(CB_highpass->isChecked());
    SpinEdit3->setEnabled(CB_lowpass->isChecked());
    QButtonGroup* group = rb_format[0]->group();
    group->setExclusive(false);
    for (size_t i = 0; i < rb_format.size(); ++i) rb_format[i]->setChecked(static_cast<int>(i) == RecordFormat);
    group->setExclusive(true);
}

void Tfm_recordsetting::btn_defaultClick() {
    rb_format[1]->setChecked(true);
    RecordFormat = 1;
    CB_notch->setChecked(false);
    se_notch->setValue(40);
    CB_highpass->setChecked(false);
    SpinEdit2->setValue(800);
    CB_lowpass->setChecked(false);
    SpinEdit3->setValue(800);
    for (QSpinBox* spin : {static_cast<QSpinBox*>(se_notch), static_cast<QSpinBox*>(SpinEdit2),
                           static_cast<QSpinBox*>(SpinEdit3)})
        spin->setEnabled(false);
    cb_auto->setChecked(true);
    up_hour->setPosition(0);
    up_second->setPosition(0);
    up_minute->setPosition(30);
    cb_time->setChecked(false);
    up_at->setPosition(300);
    up_rt->setPosition(100);
    up_rl->setPosition(-1);
}

void Tfm_recordsetting::btn_okClick() {
    // The radio as it stands, however it was checked (the mouse, the keys,
    // an assistive technology); none checked keeps the stored format.
    if (const int checked = rb_format[0]->group()->checkedId(); checked >= 0) RecordFormat = checked;
    IniFile ini;
    const char* s = kRecorderSection;
    ini.writeInteger(s, "format", RecordFormat);
    ini.writeBool(s, "notch filter enabled", CB_notch->isChecked());
    ini.writeBool(s, "high filter enabled", CB_highpass->isChecked());
    ini.writeBool(s, "low filter enabled", CB_lowpass->isChecked());
    ini.writeInteger(s, "notch filter", se_notch->value());
    ini.writeInteger(s, "high filter", SpinEdit2->value());
    ini.writeInteger(s, "Low filter", SpinEdit3->value());
    ini.writeBool(s, "cb auto", !cb_auto->isChecked());
    ini.writeBool(s, "time", cb_time->isChecked());
    ini.writeInteger(s, "hour", up_hour->position());
    ini.writeInteger(s, "minute", up_minute->position());
    ini.writeInteger(s, "second", up_second->position());
    ini.writeInteger(s, "at", up_at->position());
    ini.writeInteger(s, "rt", up_rt->position());
    ini.writeInteger(s, "rl", up_rl->position());
    if (fm_recorder) fm_recorder->st_finfo->setCaption(RecorderFormatSummary(ini, RecordFormat));
    accept();
}

void Tfm_recordsetting::btn_optionClick() {
    if (!fm_cdset) return;
    CdSetForRecorder = true;
    fm_cdset->setWindowTitle(QStringLiteral("Recorder Setting"));
    CentreOver(fm_cdset, this);
    ShowModal(fm_cdset);
}
