#pragma once
// Writes audio CDs. The recorders are the system's optical drives, reached
// through libburn only while they are used, followed by an image recorder
// that writes the disc as a cue/bin pair into the image folder, so that a
// user without a burner can still make an audio disc (and rip it back).
//
// Tracks are any audio files the program reads; each is brought to CD
// quality (44.1 kHz, 16-bit, stereo) while it is written and padded with
// silence to whole sectors. The image:
// - is "<name>.cue" beside "<name>.bin", the cue naming the bin;
// - is written under ".part" names and renamed when complete, the .bin
//   first and the .cue last, so that a reader never meets half an image and
//   a stopped or failed write leaves nothing under the final names;
// - holds at most the capacity of an 80-minute disc;
// - is closed once written (discStatus 2): a further write is refused until
//   it is erased, and erasing deletes both files.
// Before a write the image folder is checked for writability and free
// space; a folder that cannot be written reads as discStatus 3.
//
// Events follow the contract of DiscRecorder.

#include <QString>
#include <QStringList>

#include "components/discwriter/discrecorder.h"

class AudioDiscWriter : public DiscRecorder {
    Q_OBJECT
public:
    // 80 minutes of 75 sectors a second.
    static constexpr int ImageCapacitySectors = 80 * 60 * 75;

    explicit AudioDiscWriter(QObject* parent = nullptr);
    ~AudioDiscWriter() override;

    void clearTracks();
    // textSource: the file whose tags give the track's CD-TEXT (title and
    // artist), when it is not the track itself (a decoded copy).
    void addTrack(const QString& fileName, const QString& textSource = QString());
    int trackCount() const { return int(tracks_.size()); }

    QString imageCuePath() const;
    void setImageCapacity(int sectors) { imageCapacity_ = sectors; }

protected:
    QList<Device> scanDevices() override;
    // The chosen drive's disc (its size as the system sees it) or the image
    // file, so that a disc put in or taken out, or the image written or
    // removed by another program, shows.
    QString mediaSignature() const override;
    Failure readDisc(int index, DiscState* state) override;
    Failure startWrite(int index) override;
    Failure startErase(int index, bool quick) override;
    void cancelDevice(int index) override;
    void ejectDevice(int index) override;
    void closeTrayDevice(int index) override;
    void unlockTrayDevice(int index) override;

private:
    struct Track {
        QString path, textSource;
    };
    bool isImage(int index) const;
    Failure readImage(DiscState* state) const;
    Failure startImageWrite();
    Failure startImageErase();
    void writeImage(const QList<Track>& tracks, int64_t estimatedFrames, bool testMode);

    QList<Track> tracks_;
    int imageCapacity_ = ImageCapacitySectors;
    struct DriveWork;
    DriveWork* drive_ = nullptr;  // the drive backend's state while it works
};
