#pragma once
// Writes data discs: an ISO 9660 file system (Rock Ridge always, Joliet when
// asked) made from the paths handed to addPath, through libisoburn. The
// recorders are the system's optical drives, reached only while they are
// used, followed by an ISO image recorder that writes "<name>.iso" into the
// image folder. A disc or image that already holds sessions gets one more,
// which carries the earlier sessions' tree; a top-level name that is
// already there is replaced by the new one.
//
// The image recorder:
// - writes a new image as "<name>.iso.part" and renames it when complete;
// - takes an append back when it fails or is stopped: the image gets its
//   old length and its old first blocks again (a finished session rewrites
//   them), byte for byte what it was;
// - checks the folder's writability (a folder that cannot be written reads
//   as discStatus 3) and, before a byte is written, the free space;
// - is erased by cutting the file to nothing, which frees the space and
//   reads as a blank disc.
// "Mode 2/XA" is accepted as a setting and written as Mode 1: the disc
// library writes data tracks in Mode 1 only.
//
// Events follow the contract of DiscRecorder.

#include <QString>
#include <QStringList>

#include <cstdint>

#include "components/discwriter/discrecorder.h"

class DataDiscWriter : public DiscRecorder {
    Q_OBJECT
public:
    explicit DataDiscWriter(QObject* parent = nullptr);
    ~DataDiscWriter() override;

    // Each path (a file or a folder with its whole subtree) becomes an
    // entry of the disc's root.
    void addPath(const QString& path);
    QStringList paths() const { return paths_; }
    void clearImage();
    void setVolumeLabel(const QString& label) { volumeLabel_ = label; }
    QString volumeLabel() const { return volumeLabel_; }
    // 3: ISO 9660 with Joliet and Rock Ridge; 2: without Joliet.
    void setFileSystem(int fileSystem) { fileSystem_ = fileSystem; }
    int fileSystem() const { return fileSystem_; }
    // 1 Mode 1, 2 Mode 2/XA (kept, written as Mode 1).
    void setWriteMode(int mode) { writeMode_ = mode; }
    int writeMode() const { return writeMode_; }

    // The disc's sessions and the room left, read by refresh().
    int64_t usedBytes() const { return usedBytes_; }
    int64_t getFreeBytes() const { return freeBytes_; }

    QString imagePath() const;

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

private:
    struct Job;
    bool isImage(int index) const;
    Failure readImage(DiscState* state);
    Failure readDrive(const QString& address, DiscState* state);
    void runJob(Job* job);
    Failure startNewImage(Job* job);
    QString addPathsTo(struct Iso_Image* image) const;

    QStringList paths_;
    QString volumeLabel_ = QStringLiteral("New Disc");
    int fileSystem_ = 3;
    int writeMode_ = 1;
    int64_t usedBytes_ = 0;
    int64_t freeBytes_ = 0;
};
