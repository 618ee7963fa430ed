#include "tools/setting.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/inifile.h"
#include "tools/combinejob.h"
#include "jobs/encodertables.h"
#include "windowkit/toolskin.h"

using namespace encodertables;

Tfm_combinesetting* fm_combinesetting = nullptr;

namespace {

constexpr const char* kSection = "combine";

// The keys in the order OK writes them, beside their values.
struct Key {
    const char* name;
    int CombineFormatIndexes::*value;
};
constexpr Key kKeys[] = {
    {"mp3 frequency", &CombineFormatIndexes::mp3Frequency},
    {"mp3 channel", &CombineFormatIndexes::mp3Channel},
    {"mp3 bitrate", &CombineFormatIndexes::mp3Bitrate},
    {"mp3 vbr bitrate", &CombineFormatIndexes::mp3VbrBitrate},
    {"mp3 vbr quality", &CombineFormatIndexes::mp3VbrQuality},
    {"wav frequency", &CombineFormatIndexes::wavFrequency},
    {"wav bit", &CombineFormatIndexes::wavBit},
    {"wav channel", &CombineFormatIndexes::wavChannel},
    {"wma format", &CombineFormatIndexes::wmaFormat},
    {"ogg frequency", &CombineFormatIndexes::oggFrequency},
    {"ogg channel", &CombineFormatIndexes::oggChannel},
    {"ogg bitrate", &CombineFormatIndexes::oggBitrate},
    {"ogg quality", &CombineFormatIndexes::oggQuality},
};

// The MP3 and OGG rates of this window.
constexpr std::array<int, 3> kRates = {32000, 44100, 48000};

ToolComboBox* List(QWidget* parent, const char* name, const QStringList& items) {
    auto* c = new ToolComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->addItems(items);
    return c;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

}  // namespace

CombineFormatIndexes CombineFormatIndexes::read(const IniFile& ini) {
    CombineFormatIndexes v;
    for (const Key& k : kKeys) v.*k.value = ini.readInteger(kSection, k.name, v.*k.value);
    return v;
}

void CombineFormatIndexes::write(IniFile& ini) const {
    for (const Key& k : kKeys) ini.writeInteger(kSection, k.name, this->*k.value);
}

void CombineFormatIndexes::applyTo(CombineSettings& s) const {
    s.wavRate = At(kConverterWavRates, wavFrequency);
    s.wavChannels = std::clamp(wavChannel + 1, 1, 2);
    s.wavBits = At(kWavBits, wavBit);
    s.mp3.sampleRate = At(kRates, mp3Frequency);
    s.mp3.channelMode = std::clamp(mp3Channel + 1, 1, 2);
    s.mp3.bitrate = At(kMp3Bitrates, mp3Bitrate);
    s.mp3.vbrBitrate = At(kMp3Bitrates, mp3VbrBitrate);
    s.mp3.vbrQuality = mp3VbrQuality;
    s.oggRate = At(kRates, oggFrequency);
    s.oggChannels = std::clamp(oggChannel + 1, 1, 2);
    s.oggKbps = At(kMp3Bitrates, oggBitrate);
    s.oggQuality = oggQuality;
    s.wmaProfile = At(WmaProfileIds, wmaFormat);
}

Tfm_combinesetting::Tfm_combinesetting(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Settings"));
    pages = new QTabWidget(this);

    auto* mp3 = new QWidget;
    cbx_frequency = List(mp3, "cbx_frequency", Items(kRates, {}));
    cbx_channel = List(mp3, "cbx_channel", {QStringLiteral("Mono"), QStringLiteral("Stereo")});
    cbx_mp3bit = List(mp3, "cbx_mp3bit", Items(kMp3Bitrates, {}));
    cbx_mp3vbrbit = List(mp3, "cbx_mp3vbrbit", Items(kMp3Bitrates, {}));
    ud_mp3vbrquality = new UpDown(0, 9, 1, mp3);
    ud_mp3vbrquality->setObjectName(QStringLiteral("ud_mp3vbrquality"));
    auto* mp3Form = new QFormLayout(mp3);
    mp3Form->addRow(QStringLiteral("Frequency:"), cbx_frequency);
    mp3Form->addRow(QStringLiteral("Channel:"), cbx_channel);
    mp3Form->addRow(QStringLiteral("Bitrate:"), cbx_mp3bit);
    auto* vbr = new QGroupBox(QStringLiteral("VBR  Options"), mp3);
    auto* vbrForm = new QFormLayout(vbr);
    vbrForm->addRow(QStringLiteral("VBR Bitrate:"), cbx_mp3vbrbit);
    vbrForm->addRow(QStringLiteral("VBR Quality:"), ud_mp3vbrquality);
    mp3Form->addRow(vbr);

    auto* wav = new QWidget;
    auto* rates = new QGroupBox(QStringLiteral("Sampling Frequency(KHz)"), wav);
    auto* ratesGrid = new QGridLayout(rates);
    auto* rateGroup = new QButtonGroup(this);
    for (int i = 0; i < 10; ++i) {
        wavFrequencyRadio[i] = new QRadioButton(QString::number(kConverterWavRates[static_cast<size_t>(i)]), rates);
        rateGroup->addButton(wavFrequencyRadio[i], i);
        ratesGrid->addWidget(wavFrequencyRadio[i], i / 5, i % 5);
    }
    auto* bits = new QGroupBox(wav);
    auto* bitsRow = new QHBoxLayout(bits);
    auto* bitGroup = new QButtonGroup(this);
    auto* channels = new QGroupBox(wav);
    auto* channelsRow = new QHBoxLayout(channels);
    auto* channelGroup = new QButtonGroup(this);
    const QString bitTexts[] = {QStringLiteral("8-Bit"), QStringLiteral("16-Bit")};
    const QString channelTexts[] = {QStringLiteral("Mono"), QStringLiteral("Stereo")};
    for (int i = 0; i < 2; ++i) {
        wavBitRadio[i] = new QRadioButton(bitTexts[i], bits);
        bitGroup->addButton(wavBitRadio[i], i);
        bitsRow->addWidget(wavBitRadio[i]);
        wavChannelRadio[i] = new QRadioButton(channelTexts[i], channels);
        channelGroup->addButton(wavChannelRadio[i], i);
        channelsRow->addWidget(wavChannelRadio[i]);
    }
    connect(rateGroup, &QButtonGroup::idClicked, this, [this](int id) { WavFrequencyIndex = id; });
    connect(bitGroup, &QButtonGroup::idClicked, this, [this](int id) { WavBitsIndex = id; });
    connect(channelGroup, &QButtonGroup::idClicked, this, [this](int id) { WavChannelIndex = id; });
    auto* wavColumn = new QVBoxLayout(wav);
    wavColumn->addWidget(rates);
    wavColumn->addWidget(bits);
    wavColumn->addWidget(channels);
    wavColumn->addStretch();

    auto* wma = new QWidget;
    auto* wmaBox = new QGroupBox(QStringLiteral("Select WMA Format"), wma);
    auto* wmaRow = new QHBoxLayout(wmaBox);
    cbx_wma = List(wmaBox, "cbx_wma", WmaFormatTexts());
    btn_wmahelp = Button(wmaBox, "Button1", QStringLiteral("？"));
    btn_wmahelp->setFixedWidth(btn_wmahelp->sizeHint().height() + 4);
    wmaRow->addWidget(cbx_wma, 1);
    wmaRow->addWidget(btn_wmahelp);
    lb_wmahelp = new QLabel(wma);
    lb_wmahelp->setWordWrap(true);
    BindWmaHelp(btn_wmahelp, lb_wmahelp, cbx_wma);
    auto* wmaColumn = new QVBoxLayout(wma);
    wmaColumn->addWidget(wmaBox);
    wmaColumn->addWidget(lb_wmahelp);
    wmaColumn->addStretch();

    auto* ogg = new QWidget;
    cbx_oggfre = List(ogg, "cbx_oggfre", Items(kRates, {}));
    cbx_oggchannel = List(ogg, "cbx_oggchannel", {QStringLiteral("mono"), QStringLiteral("Stereo")});
    cbx_oggbit = List(ogg, "cbx_oggbit", Items(kMp3Bitrates, QStringLiteral("kb")));
    up_oggquality = new UpDown(0, 1000, 10, ogg);
    up_oggquality->setObjectName(QStringLiteral("up_oggquality"));
    auto* oggForm = new QFormLayout(ogg);
    oggForm->addRow(QStringLiteral("Frequency:"), cbx_oggfre);
    oggForm->addRow(QStringLiteral("Channel:"), cbx_oggchannel);
    oggForm->addRow(QStringLiteral("Bitrate:"), cbx_oggbit);
    oggForm->addRow(QStringLiteral("Quality:"), up_oggquality);

    pages->addTab(mp3, QStringLiteral("MP3 Setting"));
    pages->addTab(wav, QStringLiteral("WAV Setting"));
    pages->addTab(wma, QStringLiteral("WMA Setting"));
    pages->addTab(ogg, QStringLiteral("OGG Setting"));

    btn_ok = Button(this, "btn_ok", QStringLiteral("Ok"));
    btn_cancel = Button(this, "btn_cancel", QStringLiteral("Cancel"));
    btn_default = Button(this, "btn_default", QStringLiteral("Default"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btn_ok);
    buttons->addWidget(btn_cancel);
    buttons->addWidget(btn_default);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages);
    layout->addLayout(buttons);

    connect(btn_ok, &QPushButton::clicked, this, &Tfm_combinesetting::btn_okClick);
    connect(btn_cancel, &QPushButton::clicked, this, &Tfm_combinesetting::btn_cancelClick);
    connect(btn_default, &QPushButton::clicked, this, &Tfm_combinesetting::btn_defaultClick);

    // The combine job reads the WMA list even before this window was first
    // shown: it shows the saved format from the start.
    setValues(CombineFormatIndexes::read(IniFile()));
}

CombineFormatIndexes Tfm_combinesetting::values() const {
    CombineFormatIndexes v;
    v.mp3Frequency = cbx_frequency->currentIndex();
    v.mp3Channel = cbx_channel->currentIndex();
    v.mp3Bitrate = cbx_mp3bit->currentIndex();
    v.mp3VbrBitrate = cbx_mp3vbrbit->currentIndex();
    v.mp3VbrQuality = ud_mp3vbrquality->position();
    // The radios as they stand, however they were checked; a group with
    // none checked keeps its index.
    const auto checked = [](QRadioButton* first, int index) {
        const int id = first->group()->checkedId();
        return id >= 0 ? id : index;
    };
    v.wavFrequency = checked(wavFrequencyRadio[0], WavFrequencyIndex);
    v.wavBit = checked(wavBitRadio[0], WavBitsIndex);
    v.wavChannel = checked(wavChannelRadio[0], WavChannelIndex);
    v.wmaFormat = cbx_wma->currentIndex();
    v.oggFrequency = cbx_oggfre->currentIndex();
    v.oggChannel = cbx_oggchannel->currentIndex();
    v.oggBitrate = cbx_oggbit->currentIndex();
    v.oggQuality = up_oggquality->position();
    return v;
}

void Tfm_combinesetting::setValues(const CombineFormatIndexes& v) {
    cbx_frequency->setCurrentIndex(v.mp3Frequency);
    cbx_channel->setCurrentIndex(v.mp3Channel);
    cbx_mp3bit->setCurrentIndex(v.mp3Bitrate);
    cbx_mp3vbrbit->setCurrentIndex(v.mp3VbrBitrate);
    ud_mp3vbrquality->setPosition(v.mp3VbrQuality);
    WavFrequencyIndex = v.wavFrequency;
    WavBitsIndex = v.wavBit;
    WavChannelIndex = v.wavChannel;
    checkWavRadios();
    cbx_wma->setCurrentIndex(v.wmaFormat);
    cbx_oggfre->setCurrentIndex(v.oggFrequency);
    cbx_oggchannel->setCurrentIndex(v.oggChannel);
    cbx_oggbit->setCurrentIndex(v.oggBitrate);
    up_oggquality->setPosition(v.oggQuality);
}

// An index outside its range checks none of its radios.
void Tfm_combinesetting::checkWavRadios() {
    const auto check = [](QRadioButton* const* radios, int count, int index) {
        for (int i = 0; i < count; ++i) {
            QButtonGroup* group = radios[i]->group();
            group->setExclusive(false);
            radios[i]->setChecked(i == index);
            group->setExclusive(true);
        }
    };
    check(wavFrequencyRadio, 10, WavFrequencyIndex);
    check(wavBitRadio, 2, WavBitsIndex);
    check(wavChannelRadio, 2, WavChannelIndex);
}

void Tfm_combinesetting::showEvent(QShowEvent* event) {
    setValues(CombineFormatIndexes::read(IniFile()));
    pages->setCurrentIndex(0);
    DressToolWindow(this);
    lb_wmahelp->hide();
    QDialog::showEvent(event);
}

void Tfm_combinesetting::btn_okClick() {
    IniFile ini;
    values().write(ini);
    accept();
}

void Tfm_combinesetting::btn_cancelClick() { reject(); }

void Tfm_combinesetting::btn_defaultClick() { setValues(CombineFormatIndexes{}); }
