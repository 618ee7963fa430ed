#include "tools/cdrippersettings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "components/skin/skinlabel.h"
#include "jobs/outputformat.h"
#include "platform/inifile.h"
#include "platform/userfolders.h"
#include "tools/directory.h"
#include "windowkit/toolskin.h"
#include "windowkit/toolwindow.h"

bool CdSetForRecorder = false;
Tfm_cdset* fm_cdset = nullptr;

namespace {

constexpr const char* kRecorder = "recorder";

constexpr int kWidth = 356;
constexpr int kHeight = 307;

enum Page { CdPage, Mp3Page, WavPage, WmaPage, OggPage, OutputPage, FreeDbPage };

template <size_t N>
QButtonGroup* CodeGroup(QObject* owner, std::array<QRadioButton*, N>& buttons, int firstCode, int& code) {
    auto* group = new QButtonGroup(owner);
    for (size_t i = 0; i < N; ++i) group->addButton(buttons[i], firstCode + static_cast<int>(i));
    QObject::connect(group, &QButtonGroup::idToggled, owner, [&code](int id, bool checked) {
        if (checked) code = id;
    });
    return group;
}

// Checks the button of a code; a code outside the group checks none.
template <size_t N>
void CheckCode(std::array<QRadioButton*, N>& buttons, int firstCode, int code) {
    const int i = code - firstCode;
    if (i >= 0 && i < static_cast<int>(N)) {
        buttons[static_cast<size_t>(i)]->setChecked(true);
        return;
    }
    QButtonGroup* group = buttons[0]->group();
    group->setExclusive(false);
    for (QRadioButton* b : buttons) b->setChecked(false);
    group->setExclusive(true);
}

template <size_t N>
QGroupBox* RadioBox(const QString& title, std::array<QRadioButton*, N>& buttons, const QStringList& texts,
                    const QString& namePrefix, int firstName, int columns = 1) {
    auto* box = new QGroupBox(title);
    auto* grid = new QGridLayout(box);
    for (size_t i = 0; i < N; ++i) {
        buttons[i] = new QRadioButton(texts[static_cast<int>(i)], box);
        buttons[i]->setObjectName(namePrefix + QString::number(firstName + static_cast<int>(i)));
        grid->addWidget(buttons[i], static_cast<int>(i) / columns, static_cast<int>(i) % columns);
    }
    return box;
}

ToolComboBox* List(const QString& name, const QStringList& items) {
    auto* c = new ToolComboBox;
    c->setObjectName(name);
    c->addItems(items);
    return c;
}

UpDown* Spin(const QString& name, int min, int max, int step = 1) {
    auto* u = new UpDown(min, max, step);
    u->setObjectName(name);
    return u;
}

// A row's label that names a control standing in a layout of its own.
QLabel* BuddyLabel(const QString& text, QWidget* control) {
    auto* label = new QLabel(text);
    label->setBuddy(control);
    return label;
}

QWidget* FormPage(std::initializer_list<std::pair<QString, QWidget*>> rows) {
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    for (const auto& [label, field] : rows) form->addRow(label, field);
    return page;
}

}  // namespace

Tfm_cdset::Tfm_cdset(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("CD Setting"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    using encodertables::Items;
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));

    // "CD Setting"
    auto* cdPage = new QWidget;
    auto* cd = new QVBoxLayout(cdPage);
    cd->addWidget(RadioBox(QStringLiteral("Grab Mode"), cd_g,
                           {QStringLiteral("Burst Mode"), QStringLiteral("Synch mode(Correct Jitter Errors)"),
                            QStringLiteral("Secure Mode (Double Precision Error Correction)"),
                            QStringLiteral("Paranoid Mode (Small Blocks Read, drive cache disable)")},
                           QStringLiteral("cd_g"), 0));
    ud_retries = Spin(QStringLiteral("ud_retries"), 0, 100);
    ud_speed = Spin(QStringLiteral("ud_speed"), 0, 32);
    auto* speed = new QHBoxLayout;
    speed->addWidget(ud_speed);
    speed->addWidget(new QLabel(QStringLiteral("x 176 kb/sec")));
    auto* numbers = new QFormLayout;
    numbers->addRow(QStringLiteral("Retries on Read or Synch Error: "), ud_retries);
    numbers->addRow(BuddyLabel(QStringLiteral("Extraction Speed Low or Equal: "), ud_speed), speed);
    cd->addLayout(numbers);
    cd->addWidget(RadioBox(QStringLiteral("Action On UnRecovery Read or Synch Error"), cd_a,
                           {QStringLiteral("Stop"), QStringLiteral("Silence"), QStringLiteral("cut"),
                            QStringLiteral("correct")},
                           QStringLiteral("cd_a"), 1, 4));
    PageControl1->addTab(cdPage, QStringLiteral("CD Setting"));

    // "MP3"
    cbx_frequency = List(QStringLiteral("cbx_frequency"), Items(encodertables::kDialogMp3Rates, {}));
    cbx_channel = List(QStringLiteral("cbx_channel"), {QStringLiteral("Mono"), QStringLiteral("Stereo")});
    cbx_mp3bit = List(QStringLiteral("cbx_mp3bit"), Items(encodertables::kMp3Bitrates, {}));
    cbx_mp3vbrbit = List(QStringLiteral("cbx_mp3vbrbit"), Items(encodertables::kMp3Bitrates, {}));
    ud_mp3vbrquality = Spin(QStringLiteral("ud_mp3vbrquality"), 0, 9);
    // Each rate offers only the bitrates MPEG audio allows with it.
    const auto offerBitrates = [this](int index) {
        const int rate = encodertables::At(encodertables::kDialogMp3Rates, index);
        OfferMp3Bitrates(cbx_mp3bit, rate, {});
        OfferMp3Bitrates(cbx_mp3vbrbit, rate, {});
    };
    connect(cbx_frequency, &QComboBox::currentIndexChanged, this, offerBitrates);
    offerBitrates(cbx_frequency->currentIndex());
    auto* mp3Page = FormPage({{QStringLiteral("Sampling Frequency: "), cbx_frequency},
                              {QStringLiteral("Channels Mode: "), cbx_channel},
                              {QStringLiteral(" Bitrate: "), cbx_mp3bit}});
    auto* vbr = new QGroupBox(QStringLiteral("VBR  Options"));
    auto* vbrForm = new QFormLayout(vbr);
    vbrForm->addRow(QStringLiteral("VBR Bitrate: "), cbx_mp3vbrbit);
    vbrForm->addRow(QStringLiteral("VBR Quality: "), ud_mp3vbrquality);
    static_cast<QFormLayout*>(mp3Page->layout())->addRow(vbr);
    PageControl1->addTab(mp3Page, QStringLiteral("MP3"));

    // "WAV"
    auto* wavPage = new QWidget;
    auto* wav = new QVBoxLayout(wavPage);
    wav->addWidget(RadioBox(QStringLiteral("Sampling Frequency(KHz)"), rb_f,
                            Items(encodertables::kDialogWavRates, {}), QStringLiteral("rb_f"), 1, 5));
    auto* wavLower = new QHBoxLayout;
    wavLower->addWidget(RadioBox(QStringLiteral("Bits Per Sample"), rb_b,
                                 {QStringLiteral("8-Bit"), QStringLiteral("16-Bit")}, QStringLiteral("rb_b"), 1));
    wavLower->addWidget(RadioBox(QStringLiteral("Channel"), rb_c, {QStringLiteral("Mono"), QStringLiteral("Stereo")},
                                 QStringLiteral("rb_c"), 1));
    wav->addLayout(wavLower);
    PageControl1->addTab(wavPage, QStringLiteral("WAV"));

    // "WMA"
    auto* wmaPage = new QWidget;
    auto* wma = new QVBoxLayout(wmaPage);
    auto* wmaBox = new QGroupBox(QStringLiteral("Select WMA Format"));
    auto* wmaRow = new QHBoxLayout(wmaBox);
    cbx_wma = List(QStringLiteral("cbx_wma"), encodertables::WmaFormatTexts());
    cbx_wma->setCurrentIndex(7);
    Button1 = new QPushButton(QStringLiteral("？"));
    Button1->setObjectName(QStringLiteral("Button1"));
    wmaRow->addWidget(cbx_wma, 1);
    wmaRow->addWidget(Button1);
    SkinLabel1 = new SkinLabel;
    SkinLabel1->setObjectName(QStringLiteral("SkinLabel1"));
    SkinLabel1->setWordWrap(true);
    wma->addWidget(wmaBox);
    wma->addWidget(SkinLabel1);
    wma->addStretch();
    BindWmaHelp(Button1, SkinLabel1, cbx_wma);
    PageControl1->addTab(wmaPage, QStringLiteral("WMA"));

    // "OGG"
    cbx_oggfre = List(QStringLiteral("cbx_oggfre"), Items(encodertables::kDialogOggRates, {}));
    cbx_oggchannel = List(QStringLiteral("cbx_oggchannel"), {QStringLiteral("mono"), QStringLiteral("Stereo")});
    cbx_oggbit = List(QStringLiteral("cbx_oggbit"), Items(encodertables::kDialogOggBitrates, {}));
    up_oggquality = Spin(QStringLiteral("up_oggquality"), 0, 1000, 10);
    PageControl1->addTab(FormPage({{QStringLiteral("Sampling Frequency:"), cbx_oggfre},
                                   {QStringLiteral("Channels Mode:"), cbx_oggchannel},
                                   {QStringLiteral("Bitrate: "), cbx_oggbit},
                                   {QStringLiteral("Quality(Compression):"), up_oggquality}}),
                         QStringLiteral("OGG"));

    // "Output"
    cbx_name = List(QStringLiteral("cbx_name"),
                    {QStringLiteral("<Title>"), QStringLiteral("<Title>-<Artist>"),
                     QStringLiteral("<Title>-<Artist>-<Album>"), QStringLiteral("<artist>\\<title>"),
                     QStringLiteral("<artist>\\<number>-<title>"), QStringLiteral("<artist>\\<album>\\<title>"),
                     QStringLiteral("<artist>\\<album>\\<number>-<title>")});
    cbx_normalize = new QCheckBox(QStringLiteral("Normalize  to"));
    cbx_normalize->setObjectName(QStringLiteral("cbx_normalize"));
    ud_normzlize = Spin(QStringLiteral("ud_normzlize"), 0, 100);
    cbx_fade = new QCheckBox(QStringLiteral("Enable Fade In/Out"));
    cbx_fade->setObjectName(QStringLiteral("cbx_fade"));
    ud_fadein = Spin(QStringLiteral("ud_fadein"), 1, 20);
    ud_fadeout = Spin(QStringLiteral("ud_fadeout"), 1, 20);
    edt_directory = new QLineEdit;
    edt_directory->setObjectName(QStringLiteral("edt_directory"));
    edt_directory->setReadOnly(true);
    edt_directory->setEnabled(false);
    edt_directory->setAccessibleName(QStringLiteral("Output Folder"));
    btn_selectdir = new QPushButton(QStringLiteral("Select directory"));
    btn_selectdir->setObjectName(QStringLiteral("btn_selectdir"));
    auto* outputPage = new QWidget;
    auto* output = new QFormLayout(outputPage);
    output->addRow(QStringLiteral("Naming rule for output files:"), cbx_name);
    output->addRow(cbx_normalize, ud_normzlize);
    ud_normzlize->setAccessibleName(cbx_normalize->text().simplified());
    auto* fadeBox = new QGroupBox(QStringLiteral("Fade In/Out "));
    auto* fade = new QFormLayout(fadeBox);
    fade->addRow(cbx_fade);
    fade->addRow(QStringLiteral("Fade In Time:"), ud_fadein);
    fade->addRow(QStringLiteral("Fade Out Time:"), ud_fadeout);
    output->addRow(fadeBox);
    auto* folder = new QHBoxLayout;
    folder->addWidget(edt_directory, 1);
    folder->addWidget(btn_selectdir);
    output->addRow(folder);
    PageControl1->addTab(outputPage, QStringLiteral("Output"));

    // "Free DB"
    auto* dbPage = new QWidget;
    auto* db = new QVBoxLayout(dbPage);
    db->addWidget(RadioBox(QStringLiteral("FreeDB Options"), RadioButton,
                           {QStringLiteral("Get CDDB from any available source"),
                            QStringLiteral("Get CDDB info from On-Line Data Base"),
                            QStringLiteral("Use only cdplayer.ini")},
                           QStringLiteral("RadioButton"), 1));
    edt_cddbadd = new QLineEdit;
    edt_cddbadd->setObjectName(QStringLiteral("edt_cddbadd"));
    edt_cddbport = new QLineEdit;
    edt_cddbport->setObjectName(QStringLiteral("edt_cddbport"));
    ud_timeout = Spin(QStringLiteral("ud_timeout"), 0, 30000);
    auto* timeout = new QHBoxLayout;
    timeout->addWidget(ud_timeout);
    timeout->addWidget(new QLabel(QStringLiteral("ms")));
    auto* server = new QFormLayout;
    server->addRow(QStringLiteral("Address:"), edt_cddbadd);
    server->addRow(QStringLiteral("Port:"), edt_cddbport);
    server->addRow(BuddyLabel(QStringLiteral("Time Out:"), ud_timeout), timeout);
    db->addLayout(server);
    db->addStretch();
    PageControl1->addTab(dbPage, QStringLiteral("Free DB"));

    CodeGroup(this, cd_g, 1, GrabMode);
    CodeGroup(this, cd_a, 1, ErrorAction);
    CodeGroup(this, rb_f, 1, WavFrequency);
    CodeGroup(this, rb_b, 1, WavBits);
    CodeGroup(this, rb_c, 1, WavChannel);
    // The source the user picks is the one stored.
    CodeGroup(this, RadioButton, 0, CdSource);

    btn_ok = new QPushButton(QStringLiteral("OK"));
    btn_ok->setObjectName(QStringLiteral("btn_ok"));
    // Return is OK from every page, not the first button Qt finds.
    btn_ok->setDefault(true);
    btn_default = new QPushButton(QStringLiteral("Default"));
    btn_default->setObjectName(QStringLiteral("btn_default"));
    btn_cancel = new QPushButton(QStringLiteral("Cancel"));
    btn_cancel->setObjectName(QStringLiteral("btn_cancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btn_ok);
    buttons->addWidget(btn_default);
    buttons->addWidget(btn_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1, 1);
    layout->addLayout(buttons);

    connect(btn_ok, &QPushButton::clicked, this, &Tfm_cdset::btn_okClick);
    connect(btn_cancel, &QPushButton::clicked, this, &Tfm_cdset::btn_cancelClick);
    connect(btn_default, &QPushButton::clicked, this, &Tfm_cdset::btn_defaultClick);
    connect(btn_selectdir, &QPushButton::clicked, this, &Tfm_cdset::btn_selectdirClick);
    connect(cbx_normalize, &QCheckBox::toggled, this, &Tfm_cdset::cbx_normalizeClick);
    connect(cbx_fade, &QCheckBox::toggled, this, &Tfm_cdset::cbx_fadeClick);
    // Openers centre the dialog before it is first shown: it has its size
    // from the start.
    layout->activate();
    resize(kWidth, kHeight);
}

int Tfm_cdset::currentWmaIndex() const { return cbx_wma->currentIndex(); }

void Tfm_cdset::showEvent(QShowEvent* event) {
    resize(kWidth, kHeight);
    readSettings();
    CheckCode(RadioButton, 0, CdSource);
    cbx_normalizeClick();
    cbx_fadeClick();
    checkCodes();
    for (int page : {CdPage, OutputPage, FreeDbPage}) PageControl1->setTabVisible(page, !CdSetForRecorder);
    PageControl1->setCurrentIndex(CdSetForRecorder ? Mp3Page : CdPage);
    DressToolWindow(this);
    SkinLabel1->hide();
    QDialog::showEvent(event);
}

void Tfm_cdset::checkCodes() {
    CheckCode(cd_g, 1, GrabMode);
    CheckCode(cd_a, 1, ErrorAction);
    CheckCode(rb_f, 1, WavFrequency);
    CheckCode(rb_b, 1, WavBits);
    CheckCode(rb_c, 1, WavChannel);
}

void Tfm_cdset::readSettings() {
    const IniFile ini;
    const char* s = CdSetForRecorder ? kRecorder : kRipSection;
    // The format keys are read as the rip and the recorder read them.
    const EncoderDialogCodes codes = EncoderDialogCodes::read(ini, s);
    cbx_frequency->setCurrentIndex(codes.mp3Frequency);
    cbx_channel->setCurrentIndex(codes.mp3Channel);
    SetIndexWithin(cbx_mp3bit, codes.mp3Bitrate);
    SetIndexWithin(cbx_mp3vbrbit, codes.mp3VbrBitrate);
    ud_mp3vbrquality->setPosition(codes.mp3VbrQuality);
    WavFrequency = codes.wavFrequency;
    WavBits = codes.wavBit;
    WavChannel = codes.wavChannel;
    cbx_wma->setCurrentIndex(codes.wmaFormat);
    cbx_oggfre->setCurrentIndex(codes.oggFrequency);
    cbx_oggchannel->setCurrentIndex(codes.oggChannel);
    cbx_oggbit->setCurrentIndex(codes.oggBitrate);
    up_oggquality->setPosition(codes.oggQuality);
    if (CdSetForRecorder) return;
    showRipSettings(ReadRipSettings(ini), true);
    const RipLookupSettings lookup = ReadRipLookupSettings(ini);
    CdSource = lookup.cdSource;
    edt_cddbadd->setText(QString::fromStdString(lookup.server));
    edt_cddbport->setText(QString::fromStdString(lookup.port));
    ud_timeout->setPosition(lookup.timeoutMs);
}

// The shown values of the keys a rip reads; the folder only when asked, as
// Default leaves it.
void Tfm_cdset::showRipSettings(const RipSettings& settings, bool withFolder) {
    GrabMode = settings.grabMode;
    ud_retries->setPosition(settings.errorRetry);
    ud_speed->setPosition(settings.driveSpeed);
    ErrorAction = settings.errorAction;
    cbx_name->setCurrentIndex(settings.fileNameFormat);
    if (withFolder) edt_directory->setText(QString::fromStdString(settings.outputFolder));
    cbx_normalize->setChecked(settings.normalize);
    ud_normzlize->setPosition(settings.normalizeRatio);
    cbx_fade->setChecked(settings.fade);
    ud_fadein->setPosition(settings.fadeIn);
    ud_fadeout->setPosition(settings.fadeOut);
}

void Tfm_cdset::writeSettings() {
    IniFile ini;
    const char* s = CdSetForRecorder ? kRecorder : kRipSection;
    ini.writeInteger(s, "mp3 frequency", cbx_frequency->currentIndex());
    ini.writeInteger(s, "mp3 channel", cbx_channel->currentIndex());
    ini.writeInteger(s, "mp3 bitrate", cbx_mp3bit->currentIndex());
    ini.writeInteger(s, "mp3 vbr bitrate", cbx_mp3vbrbit->currentIndex());
    ini.writeInteger(s, "mp3 vbr quality", ud_mp3vbrquality->position());
    ini.writeInteger(s, "wav frequency", WavFrequency);
    ini.writeInteger(s, "wav bit", WavBits);
    ini.writeInteger(s, "wav channel", WavChannel);
    ini.writeInteger(s, "wma format", cbx_wma->currentIndex());
    ini.writeInteger(s, "ogg frequency", cbx_oggfre->currentIndex());
    ini.writeInteger(s, "ogg channel", cbx_oggchannel->currentIndex());
    ini.writeInteger(s, "ogg bitrate", cbx_oggbit->currentIndex());
    ini.writeInteger(s, "ogg quality", up_oggquality->position());
    if (CdSetForRecorder) return;
    RipSettings rip;
    rip.grabMode = GrabMode;
    rip.errorRetry = ud_retries->position();
    rip.driveSpeed = ud_speed->position();
    rip.errorAction = ErrorAction;
    rip.fileNameFormat = cbx_name->currentIndex();
    rip.outputFolder = edt_directory->text().toStdString();
    rip.normalize = cbx_normalize->isChecked();
    rip.normalizeRatio = ud_normzlize->position();
    rip.fade = cbx_fade->isChecked();
    rip.fadeIn = ud_fadein->position();
    rip.fadeOut = ud_fadeout->position();
    WriteRipSettings(ini, rip);
    WriteRipLookupSettings(ini, {CdSource, edt_cddbadd->text().toStdString(), edt_cddbport->text().toStdString(),
                                 ud_timeout->position()});
}

void Tfm_cdset::btn_okClick() {
    writeSettings();
    accept();
}

void Tfm_cdset::btn_cancelClick() { reject(); }

void Tfm_cdset::btn_defaultClick() {
    // The defaults are those of a settings file without the keys: what a rip
    // does for a user who never set anything.
    const RipLookupSettings lookup;
    RadioButton[0]->setChecked(true);
    edt_cddbadd->setText(QString::fromStdString(lookup.server));
    edt_cddbport->setText(QString::fromStdString(lookup.port));
    ud_timeout->setPosition(lookup.timeoutMs);
    showRipSettings(RipSettings{}, false);
    CheckCode(cd_g, 1, GrabMode);
    CheckCode(cd_a, 1, ErrorAction);
    rb_f[1]->setChecked(true);
    rb_b[1]->setChecked(true);
    rb_c[1]->setChecked(true);
    cbx_frequency->setCurrentIndex(1);
    cbx_channel->setCurrentIndex(1);
    cbx_mp3bit->setCurrentIndex(7);
    cbx_mp3vbrbit->setCurrentIndex(7);
    ud_mp3vbrquality->setPosition(5);
    cbx_wma->setCurrentIndex(7);
    cbx_oggfre->setCurrentIndex(1);
    cbx_oggchannel->setCurrentIndex(1);
    cbx_oggbit->setCurrentIndex(1);
    up_oggquality->setPosition(300);
    cbx_normalizeClick();
}

void Tfm_cdset::btn_selectdirClick() {
    const QString folder = ChooseFolder(this);
    if (!folder.isEmpty()) edt_directory->setText(folder);
}

void Tfm_cdset::cbx_normalizeClick() {
    NormalizeFadeControls{cbx_normalize, ud_normzlize, cbx_fade, ud_fadein, ud_fadeout}.normalizeRule();
}

void Tfm_cdset::cbx_fadeClick() {
    NormalizeFadeControls{cbx_normalize, ud_normzlize, cbx_fade, ud_fadein, ud_fadeout}.fadeRule();
}
