#pragma once
// Stream facts and tags of the file the recorder made last, read and
// written through AudioInformation with the MP3 tag version of the two
// radio buttons.

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;
class QRadioButton;
class TvsComboBox;

class Tfm_fileinfo : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_fileinfo(QWidget* parent = nullptr);

    QLineEdit *infoTitle = nullptr, *infoArtist = nullptr, *infoAlbum = nullptr, *infoCopyright = nullptr,
              *infoYear = nullptr, *infoTrack = nullptr, *infoComment = nullptr;
    TvsComboBox* infoGenre = nullptr;
    QLineEdit *infoFormatTag = nullptr, *infoBitsPerSample = nullptr, *infoSize = nullptr, *infoSamples = nullptr,
              *infoChannels = nullptr, *infoDuration = nullptr, *infoBitrate = nullptr, *infoFrequency = nullptr;
    QRadioButton* RadioButton1 = nullptr;  // "ID3V1"
    QRadioButton* RadioButton2 = nullptr;  // "ID3V2"
    QPushButton* btnReset = nullptr;
    QPushButton* btnApply = nullptr;
    QPushButton* Button1 = nullptr;

    // Loads RecordedFile's facts and tag of the given version into the fields.
    void LoadInformation(int version);
    void btnResetClick();
    void btnApplyClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    int loadedGenre_ = 12;
};

extern Tfm_fileinfo* fm_fileinfo;
