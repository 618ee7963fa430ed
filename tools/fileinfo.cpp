#include "tools/fileinfo.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "components/audio/audioinformation.h"
#include "platform/messageboxes.h"
#include "tags/mpeg/id3genres.h"
#include "tools/recorder.h"
#include "windowkit/toolcontrols.h"
#include "windowkit/toolskin.h"

Tfm_fileinfo* fm_fileinfo = nullptr;

namespace {

QString RecordedFileName() { return fm_recorder ? fm_recorder->RecordedFile : QString(); }

// A tag without a year or track shows an empty field, and an empty field
// writes none: a 0 must not turn into a year or track in the file.
QString NumberText(int value) { return value == 0 ? QString() : QString::number(value); }

bool ReadNumber(const QLineEdit* edit, int& value) {
    const QString text = edit->text().trimmed();
    if (text.isEmpty()) {
        value = 0;
        return true;
    }
    bool ok = false;
    value = text.toInt(&ok);
    return ok;
}

}  // namespace

Tfm_fileinfo::Tfm_fileinfo(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("File Info"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    auto* box = new QGroupBox(QStringLiteral("File info"), this);
    box->setGeometry(8, 2, 508, 214);

    // Two columns of eight rows: the tag on the left, the stream on the right.
    auto row = [](int i) { return 18 + 24 * i; };
    auto field = [box](const QString& caption, int x, int y, int width, bool readOnly) {
        auto* label = new QLabel(caption, box);
        label->setGeometry(x, y, 70, 21);
        auto* edit = new QLineEdit(box);
        edit->setGeometry(x + 72, y, width, 21);
        edit->setReadOnly(readOnly);
        return edit;
    };
    infoTitle = field(QStringLiteral("Title"), 10, row(0), 170, false);
    infoArtist = field(QStringLiteral("Artist"), 10, row(1), 170, false);
    infoAlbum = field(QStringLiteral("Album"), 10, row(2), 170, false);
    infoCopyright = field(QStringLiteral("Copyright"), 10, row(3), 170, false);
    infoYear = field(QStringLiteral("Year"), 10, row(4), 50, false);
    infoTrack = field(QStringLiteral("Track"), 10, row(5), 50, false);
    infoComment = field(QStringLiteral("Comment"), 10, row(6), 170, false);
    auto* genreLabel = new QLabel(QStringLiteral("Genre"), box);
    genreLabel->setGeometry(10, row(7), 70, 21);
    infoGenre = new ToolComboBox(box);
    infoGenre->setGeometry(82, row(7), 170, 21);
    for (std::string_view name : Id3GenreNames)
        infoGenre->addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    infoGenre->setCurrentIndex(12);

    infoFormatTag = field(QStringLiteral("Format tag"), 270, row(0), 150, true);
    infoBitsPerSample = field(QStringLiteral("Bits"), 270, row(1), 150, true);
    infoSize = field(QStringLiteral("Size"), 270, row(2), 150, true);
    infoSamples = field(QStringLiteral("Samples"), 270, row(3), 150, true);
    infoChannels = field(QStringLiteral("Channels"), 270, row(4), 150, true);
    infoDuration = field(QStringLiteral("Duration"), 270, row(5), 150, true);
    infoBitrate = field(QStringLiteral("Bitrate"), 270, row(6), 150, true);
    infoFrequency = field(QStringLiteral("Frequency"), 270, row(7), 150, true);

    auto* version = new QGroupBox(QStringLiteral("Mpeg Tag Version"), this);
    version->setGeometry(8, 218, 200, 38);
    RadioButton1 = new QRadioButton(QStringLiteral("ID3V1"), version);
    RadioButton1->setGeometry(10, 15, 80, 20);
    RadioButton2 = new QRadioButton(QStringLiteral("ID3V2"), version);
    RadioButton2->setGeometry(100, 15, 80, 20);
    connect(RadioButton1, &QRadioButton::clicked, this, [this] { LoadInformation(1); });
    connect(RadioButton2, &QRadioButton::clicked, this, [this] { LoadInformation(2); });

    btnReset = new QPushButton(QStringLiteral("Reset"), this);
    btnReset->setGeometry(250, 224, 80, 25);
    btnApply = new QPushButton(QStringLiteral("Apply"), this);
    btnApply->setGeometry(340, 224, 80, 25);
    Button1 = new QPushButton(QStringLiteral("Close"), this);
    Button1->setGeometry(430, 224, 80, 25);
    connect(btnReset, &QPushButton::clicked, this, &Tfm_fileinfo::btnResetClick);
    connect(btnApply, &QPushButton::clicked, this, &Tfm_fileinfo::btnApplyClick);
    connect(Button1, &QPushButton::clicked, this, &QDialog::close);
    resize(524, 259);
}

void Tfm_fileinfo::showEvent(QShowEvent* event) {
    setFixedSize(524, 259);
    btnResetClick();
    DressToolWindow(this);
    QDialog::showEvent(event);
}

void Tfm_fileinfo::btnResetClick() {
    RadioButton1->setChecked(true);
    LoadInformation(1);
}

void Tfm_fileinfo::LoadInformation(int version) {
    AudioInformation info;
    info.readyFlag = true;
    info.tagVersion = version;
    info.load(RecordedFileName().toStdString());
    infoTitle->setText(QString::fromStdString(info.infoTitle));
    infoArtist->setText(QString::fromStdString(info.infoArtist));
    infoAlbum->setText(QString::fromStdString(info.infoAlbum));
    infoGenre->setCurrentIndex(info.infoGenre >= 0 && info.infoGenre < infoGenre->count() ? info.infoGenre : 12);
    loadedGenre_ = infoGenre->currentIndex();
    infoCopyright->setText(QString::fromStdString(info.infoCopyright));
    infoYear->setText(NumberText(info.infoYear));
    infoTrack->setText(NumberText(info.infoTrack));
    infoComment->setText(QString::fromStdString(info.infoComments));
    infoFrequency->setText(QString::number(info.infoFrequency) + QStringLiteral(" Hz"));
    infoBitrate->setText(QString::number(info.infoBitrate) + QStringLiteral(" bps"));
    infoDuration->setText(QString::number(info.infoDuration) + QStringLiteral(" ms"));
    infoChannels->setText(QString::number(info.infoChannels));
    infoSamples->setText(QString::number(info.infoSamples));
    infoSize->setText(QString::number(info.infoSize));
    infoBitsPerSample->setText(QString::number(info.infoBitsPerSample));
    infoFormatTag->setText(QString::number(info.infoFormatTag));
}

void Tfm_fileinfo::btnApplyClick() {
    const std::string file = RecordedFileName().toStdString();
    AudioInformation info;
    info.readyFlag = true;
    info.tagVersion = RadioButton2->isChecked() ? 2 : 1;
    // Starting from the file's tag keeps what this window does not show.
    info.load(file);
    info.infoTitle = infoTitle->text().toStdString();
    info.infoArtist = infoArtist->text().toStdString();
    info.infoAlbum = infoAlbum->text().toStdString();
    // A genre that the list does not have loads as "Other"; it is written
    // over only when the user chose another one.
    if (infoGenre->currentIndex() != loadedGenre_) {
        info.infoGenre = infoGenre->currentIndex();
        info.infoGenreS = infoGenre->currentText().toStdString();
    }
    info.infoCopyright = infoCopyright->text().toStdString();
    info.infoComments = infoComment->text().toStdString();
    if (!ReadNumber(infoTrack, info.infoTrack)) {
        ShowInformation(QStringLiteral("Invalid track value"), this);
        infoTrack->setFocus();
        return;
    }
    if (!ReadNumber(infoYear, info.infoYear)) {
        ShowInformation(QStringLiteral("Invalid year value"), this);
        infoYear->setFocus();
        return;
    }
    if (!info.save(file))
        ShowError(QStringLiteral("Cannot write the tag of %1.").arg(QString::fromStdString(file)), this);
}
