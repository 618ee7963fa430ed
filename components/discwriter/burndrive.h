#pragma once
// The system's optical drives through libburn, for the audio CD writer.
// Drives are listed from the system (sysfs) without opening them, and a
// drive is grabbed only for the call or the job that uses it and released
// right after, so the ripper, the desktop's automounter and other programs
// can reach it between uses. A drive whose disc is mounted cannot be
// grabbed; it is listed with its mount point, and the failure tells the user
// to unmount it.
//
// The static calls act at once on the calling thread; writeAudio and erase
// run a whole job on the caller's (worker) thread and report through the
// callbacks; cancel may come from any thread.

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <mutex>

#include "components/discwriter/discrecorder.h"

namespace burn {
struct burn_drive;
}

class BurnDrive {
public:
    using Progress = std::function<void(int operation, int phase, int percent)>;
    using StopRequested = std::function<bool()>;

    static QList<DiscRecorder::Device> list();
    static DiscRecorder::Failure readDisc(const QString& address, DiscRecorder::DiscState* state);
    static void eject(const QString& address);
    static void closeTray(const QString& address);
    static void unlockTray(const QString& address);

    // Audio tracks in one session (SAO when the drive offers it), from any
    // audio files: each is first decoded to CD quality into a private
    // temporary folder (libburn needs each track's exact size before it
    // starts), reported as phase 1, and the folder is removed on every way
    // out. speed: CD speed units, 0 for the drive's best.
    DiscRecorder::Failure writeAudio(const QString& address, const QStringList& tracks, int speed, bool simulate,
                                     bool finalize, const Progress& progress, const StopRequested& stop);
    DiscRecorder::Failure erase(const QString& address, bool quick, const Progress& progress,
                                const StopRequested& stop);
    void cancel();

private:
    std::mutex mutex_;
    burn::burn_drive* active_ = nullptr;
};

// The mount point of the block device at path, from /proc/self/mountinfo
// (or the given text in its format); empty when it is not mounted.
QString MountPointOf(const QString& devicePath, const QString& mountInfo = QString());
