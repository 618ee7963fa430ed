#pragma once
// Output format settings of the combine window: thirteen keys of [combine]
// in "Tunevale.ini", all list indexes or positions. The window reads them
// when it is made and when it shows, writes them on OK; the combine job
// reads them when it starts, except the WMA format, which it takes from
// this window's list as it stands.

#include <QDialog>

#include "windowkit/toolcontrols.h"

class IniFile;
class QRadioButton;
class QTabWidget;
struct CombineSettings;

// The thirteen values; the defaults are those of a fresh settings file.
struct CombineFormatIndexes {
    int mp3Frequency = 1;
    int mp3Channel = 1;
    int mp3Bitrate = 7;
    int mp3VbrBitrate = 7;
    int mp3VbrQuality = 5;
    int wavFrequency = 8;
    int wavBit = 1;
    int wavChannel = 1;
    int wmaFormat = 7;
    int oggFrequency = 1;
    int oggChannel = 1;
    int oggBitrate = 7;
    int oggQuality = 300;

    static CombineFormatIndexes read(const IniFile& ini);
    // In the order of the fields above, so that a settings file saved twice
    // reads the same and a user comparing two copies finds the keys in place.
    void write(IniFile& ini) const;
    // The writer's values for WAV, MP3 and OGG; the WMA profile from wmaFormat.
    void applyTo(CombineSettings& settings) const;
    bool operator==(const CombineFormatIndexes&) const = default;
};

class Tfm_combinesetting : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_combinesetting(QWidget* parent = nullptr);

    QTabWidget* pages = nullptr;
    ToolComboBox* cbx_frequency = nullptr;
    ToolComboBox* cbx_channel = nullptr;
    ToolComboBox* cbx_mp3bit = nullptr;
    ToolComboBox* cbx_mp3vbrbit = nullptr;
    UpDown* ud_mp3vbrquality = nullptr;
    QRadioButton* wavFrequencyRadio[10] = {};
    QRadioButton* wavBitRadio[2] = {};
    QRadioButton* wavChannelRadio[2] = {};
    ToolComboBox* cbx_wma = nullptr;
    QPushButton* btn_wmahelp = nullptr;  // "？"
    QLabel* lb_wmahelp = nullptr;
    ToolComboBox* cbx_oggfre = nullptr;
    ToolComboBox* cbx_oggchannel = nullptr;
    ToolComboBox* cbx_oggbit = nullptr;
    UpDown* up_oggquality = nullptr;
    QPushButton* btn_ok = nullptr;
    QPushButton* btn_cancel = nullptr;
    QPushButton* btn_default = nullptr;

    // The WAV choices, set by their radios.
    int WavFrequencyIndex = 8;
    int WavBitsIndex = 1;
    int WavChannelIndex = 1;

    // What the controls show now.
    CombineFormatIndexes values() const;
    void setValues(const CombineFormatIndexes& values);

    void btn_okClick();
    void btn_cancelClick();
    void btn_defaultClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void checkWavRadios();
};

extern Tfm_combinesetting* fm_combinesetting;
