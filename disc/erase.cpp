#include "disc/erase.h"

#include <QEventLoop>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "disc/discwindows.h"
#include "windowkit/toolskin.h"
#include "platform/inifile.h"
#include "platform/messageboxes.h"

Tfm_erase* fm_erase = nullptr;


Tfm_erase::Tfm_erase(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Erase"));
    rb_quick = PlaceControl(new QRadioButton(QStringLiteral("Quick Erase (TOC Only)")), this, 16, 16, 220, 21);
    rb_full = PlaceControl(new QRadioButton(QStringLiteral("Full Erase")), this, 16, 42, 220, 21);
    bar = PlaceControl(new QProgressBar, this, 16, 74, 250, 18);
    bar->setRange(0, 100);
    bar->setAccessibleName(QStringLiteral("Erase progress"));
    btn_erase = PlaceControl(new QPushButton(QStringLiteral("Erase")), this, 186, 102, 80, 25);
    connect(rb_quick, &QRadioButton::clicked, this, &Tfm_erase::rb_quickClick);
    connect(rb_full, &QRadioButton::clicked, this, &Tfm_erase::rb_fullClick);
    connect(btn_erase, &QPushButton::clicked, this, &Tfm_erase::btn_eraseClick);
    setFixedSize(282, 138);
}

EraseSide* Tfm_erase::side() const { return UseAudioWriter ? AudioWriterSide : DataWriterSide; }

const char* Tfm_erase::section() const { return UseAudioWriter ? "Audio CD Burner" : kDataCdSection; }

void Tfm_erase::showEvent(QShowEvent* event)
{
    FormShow();
    QDialog::showEvent(event);
}

void Tfm_erase::FormShow()
{
    DressToolWindow(this);
    const bool quick = IniFile().readBool(section(), "quick erase", true);
    rb_quick->setChecked(quick);
    rb_full->setChecked(!quick);
    bar->setValue(0);
}

void Tfm_erase::rb_quickClick() { IniFile().writeBool(section(), "quick erase", true); }

void Tfm_erase::rb_fullClick() { IniFile().writeBool(section(), "quick erase", false); }

void Tfm_erase::btn_eraseClick()
{
    EraseSide* writer = side();
    if (!writer)
        return;
    btn_erase->setEnabled(false);
    rb_quick->setEnabled(false);
    rb_full->setEnabled(false);
    writer->setEraseStatus(QStringLiteral("Erasing..."));
    writer->setWriterError(false);
    // A percent left from an earlier erase would end this wait at once.
    writer->setErasePercent(0);
    writer->setProgressSeen(false);

    // The wait ends on the writer's own events, not on a polling loop.
    QEventLoop wait;
    QMetaObject::Connection connection = connect(writer->eraseNotifier(), &EraseNotifier::changed, &wait, [&] {
        if (writer->progressSeen()) {
            bar->setValue(writer->erasePercent());
            writer->setProgressSeen(false);
        }
        if (writer->writerError() || writer->erasePercent() >= 100)
            wait.quit();
    });
    writer->eraseDisc(rb_quick->isChecked());
    if (!writer->writerError() && writer->erasePercent() < 100)
        wait.exec();
    disconnect(connection);
    if (writer->writerError()) {
        // A refused or failed erase says why, so it never reads as done.
        const QString reason = writer->writerErrorReason();
        if (!reason.isEmpty())
            TellDisc(WriterErrorText(reason), QStringLiteral("Information"), this);
        ResetEraseDialog();
        return;
    }
    writer->cycleWriterIndexes();
    bar->setValue(100);
    ShowInformation(QStringLiteral("Erase Complete!"), this);
    ResetEraseDialog();
}

void Tfm_erase::ResetEraseDialog()
{
    btn_erase->setEnabled(true);
    rb_quick->setEnabled(true);
    rb_full->setEnabled(true);
    bar->setValue(0);
    if (EraseSide* writer = side()) {
        writer->setEraseStatus(QStringLiteral("Idle"));
        writer->refreshWriter();
        writer->setWriterError(false);
    }
    close();
}
