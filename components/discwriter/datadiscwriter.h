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
//   its first session starts at block 32, as the disc library lays out
//   sessions in a file, so every later session keeps the earlier ones
//   loadable;
// - takes an append back when it fails or is stopped: the image gets its
//   old length and its old first blocks again (a finished session rewrites
//   them), byte for byte what it was; an append cut short by a kill is
//   taken back at the next write or erase (imagefiles.h);
// - never follows a link at the image's name: it refuses it;
// - looks over an image's file system before it appends to it, and has the
//   disc library read it in a child process first, stopped at a deadline,
//   so a damaged image fails the write with a message instead of hanging
//   or crashing the program;
// - checks the folder's writability (a folder that cannot be written reads
//   as discStatus 3) and, before a byte is written, the free space;
// - is erased by cutting the file to nothing, which frees the space and
//   reads as a blank disc.
// What needs no disc library is checked when write() is called and refused
// at once; grabbing the recorder and reading the sessions already there
// happen on the worker, and their failures arrive as onError later, before
// any progress.
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
    // What the image recorder counts as a disc: a 700 MB CD.
    static constexpr int64_t ImageCapacityBytes = 734003200;

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

    // The disc's sessions and the room left, read by refresh(). For the
    // image recorder: the image's size, and what a CD would have left.
    int64_t usedBytes() const { return usedBytes_; }
    int64_t getFreeBytes() const { return freeBytes_; }

    QString imagePath() const;
    // How long reading an image's sessions may take before the append is
    // given up (the disc library may never end on a damaged image).
    void setSessionReadDeadline(int ms) { sessionReadDeadlineMs_ = ms; }

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
    // Worker side: ready the write, then run it.
    Failure prepareSession(Job* job, int deadlineMs);
    Failure prepareNewImage(Job* job);
    Failure readSessionInChild(const std::string& path, int deadlineMs) const;
    void runJob(Job* job);

    QStringList paths_;
    QString volumeLabel_ = QStringLiteral("New Disc");
    int fileSystem_ = 3;
    int writeMode_ = 1;
    int64_t usedBytes_ = 0;
    int64_t freeBytes_ = 0;
    int sessionReadDeadlineMs_ = 20000;
};
