#include "components/discwriter/burndrive.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>

#include <libburn/libburn.h>

#include "components/discwriter/burnlibrary.h"
#include "components/discwriter/cdaudiosource.h"
#include "components/disc/disclog.h"
#include "components/discwriter/trackpipeline.h"
#include "platform/ownedfiles.h"
#include "platform/posixfile.h"

using namespace burn;

namespace {

using Failure = DiscRecorder::Failure;

QString ReadSysText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromLocal8Bit(file.read(256)).trimmed();
}

// Grabs the drive for the length of one use.
class Grab {
public:
    Grab(const QString& address, bool load) {
        if (!InitializeBurnLibrary()) return;
        QByteArray adr = QFile::encodeName(address);
        if (burn_drive_scan_and_grab(&info_, adr.data(), load ? 1 : 0) == 1 && info_) drive_ = info_[0].drive;
    }
    ~Grab() { release(0); }
    void release(int eject) {
        if (drive_) burn_drive_release(drive_, eject);
        if (info_) burn_drive_info_free(info_);
        drive_ = nullptr;
        info_ = nullptr;
    }
    burn_drive* drive() const { return drive_; }
    Failure failure(const QString& address) const {
        const QString mounted = MountPointOf(address);
        const QString reason = TakeBurnMessages();
        if (!mounted.isEmpty())
            return {DiscRecorder::NoRecorder,
                    QStringLiteral("The disc in %1 is mounted at %2. Unmount it (eject it in the file manager, or "
                                   "run \"udisksctl unmount -b %1\") and try again.")
                        .arg(address, mounted)};
        return {DiscRecorder::NoRecorder, QStringLiteral("The recorder %1 cannot be used%2")
                                              .arg(address, reason.isEmpty() ? QStringLiteral(".") : ": " + reason)};
    }

private:
    burn_drive_info* info_ = nullptr;
    burn_drive* drive_ = nullptr;
};

int DiscTypeOfProfile(int profile, burn_disc_status status) {
    if (status == BURN_DISC_EMPTY) return DiscRecorder::NoDisc;
    switch (profile) {
    case 0x09: case 0x11: case 0x15: case 0x1b: case 0x2b: case 0x41:
        return DiscRecorder::WriteOnce;
    case 0x0a: case 0x13: case 0x14: case 0x1a: case 0x43:
        return DiscRecorder::Erasable;
    case 0x12:
        return DiscRecorder::DvdRam;
    default:
        return DiscRecorder::NoDisc;
    }
}

int DiscStatusOf(burn_disc_status status) {
    switch (status) {
    case BURN_DISC_BLANK: return DiscRecorder::Blank;
    case BURN_DISC_APPENDABLE: return DiscRecorder::Open;
    case BURN_DISC_FULL: return DiscRecorder::Closed;
    default: return DiscRecorder::StatusUnknown;
    }
}

// 1x of a CD is 176.4 kB/s; libburn counts speeds in 1000 bytes a second.
constexpr double CdSpeedUnit = 176.4;

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

QString MountPointOf(const QString& devicePath, const QString& mountInfo) {
    struct stat st {};
    if (::stat(QFile::encodeName(devicePath).constData(), &st) != 0 || !S_ISBLK(st.st_mode)) return {};
    const QString device = QStringLiteral("%1:%2").arg(major(st.st_rdev)).arg(minor(st.st_rdev));
    QString text = mountInfo;
    if (text.isEmpty()) {
        QFile file(QStringLiteral("/proc/self/mountinfo"));
        if (!file.open(QIODevice::ReadOnly)) return {};
        text = QString::fromLocal8Bit(file.readAll());
    }
    for (const QString& line : text.split('\n')) {
        const QStringList fields = line.split(' ');
        // Field 3 is the device, field 5 the mount point (spaces as \040).
        if (fields.size() > 4 && fields[2] == device) return QString(fields[4]).replace(QStringLiteral("\\040"), QStringLiteral(" "));
    }
    return {};
}

QList<DiscRecorder::Device> BurnDrive::list() {
    QList<DiscRecorder::Device> devices;
    const QDir block(QStringLiteral("/sys/class/block"));
    QStringList names = block.entryList({QStringLiteral("sr*")}, QDir::Dirs | QDir::System | QDir::NoDotAndDotDot);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    for (const QString& name : names) {
        const QString sys = block.filePath(name) + "/device/";
        DiscRecorder::Device device;
        device.address = "/dev/" + name;
        device.vendor = ReadSysText(sys + "vendor") + ' ';
        device.product = ReadSysText(sys + "model") + ' ';
        device.revision = ReadSysText(sys + "rev");
        const QString mounted = MountPointOf(device.address);
        if (!mounted.isEmpty()) device.revision += QStringLiteral(" (mounted at %1)").arg(mounted);
        devices.push_back(device);
    }
    return devices;
}

Failure BurnDrive::readDisc(const QString& address, DiscRecorder::DiscState* state) {
    Grab grab(address, true);
    if (!grab.drive()) return grab.failure(address);
    burn_disc_status status;
    // A drive that is still spinning up reports "unready" for a moment.
    for (int i = 0; (status = burn_disc_get_status(grab.drive())) == BURN_DISC_UNREADY && i < 50; ++i) Sleep(100);
    int profile = 0;
    char name[80] = {};
    burn_disc_get_profile(grab.drive(), &profile, name);
    state->type = DiscTypeOfProfile(profile, status);
    state->status = DiscStatusOf(status);
    burn_speed_descriptor* speeds = nullptr;
    if (burn_drive_get_speedlist(grab.drive(), &speeds) > 0) {
        for (burn_speed_descriptor* s = speeds; s; s = s->next) {
            const int x = int(s->write_speed / CdSpeedUnit + 0.5);
            if (x > 0 && !state->speeds.contains(x)) state->speeds.push_back(x);
        }
        burn_drive_free_speedlist(&speeds);
    }
    TakeBurnMessages();
    return {};
}

void BurnDrive::eject(const QString& address) {
    Grab grab(address, false);
    grab.release(1);
    TakeBurnMessages();
}

void BurnDrive::closeTray(const QString& address) {
    Grab grab(address, true);
    TakeBurnMessages();
}

void BurnDrive::unlockTray(const QString& address) {
    // Releasing a grab leaves the tray unlocked.
    Grab grab(address, false);
    TakeBurnMessages();
}

void BurnDrive::cancel() {
    std::lock_guard lock(mutex_);
    if (active_) burn_drive_cancel(active_);
}

Failure BurnDrive::writeAudio(const QString& address, const QStringList& tracks, int speed, bool simulate,
                              bool finalize, const Progress& progress, const StopRequested& stop) {
    const OwnedTemporaryFolder work(kAudioCdDrivePrefix);
    const QString workPath = QFile::decodeName(QByteArray::fromStdString(work.path()));
    if (!work.isValid()) return {DiscRecorder::WriteFailed, QStringLiteral("No temporary folder can be made.")};

    // Decode every track first: the drive needs its exact size.
    QStringList raws;
    QList<int64_t> sectors;
    int64_t totalSectors = 0;
    std::vector<int16_t> pcm;
    std::vector<std::string> paths;
    for (const QString& track : tracks) paths.push_back(QFile::encodeName(track).toStdString());
    TrackPipeline pipeline(paths);
    for (int t = 0; t < tracks.size(); ++t) {
        progress(DiscRecorder::WriteOperation, DiscRecorder::FillingBuffer, 0);
        std::string error;
        const QString raw = workPath + QStringLiteral("/track%1.raw").arg(t + 1);
        PosixFile out(QFile::encodeName(raw).toStdString(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (!out.isOpen()) return {DiscRecorder::WriteFailed, QStringLiteral("Cannot create %1.").arg(raw)};
        int64_t frames = 0;
        for (;;) {
            if (stop()) return {};
            if (!pipeline.read(t, pcm, &error)) return {DiscRecorder::SourceFailed, QString::fromStdString(error)};
            if (pcm.empty()) break;
            frames += int64_t(pcm.size()) / CdAudioSource::Channels;
            if (!out.write({reinterpret_cast<const uint8_t*>(pcm.data()), pcm.size() * sizeof(int16_t)}))
                return {errno == ENOSPC ? DiscRecorder::NoSpace : DiscRecorder::WriteFailed,
                        QStringLiteral("Cannot write the decoded track %1 to %2.").arg(t + 1).arg(workPath)};
        }
        raws << raw;
        sectors << SectorsForFrames(frames);
        totalSectors += sectors.last();
    }

    Grab grab(address, true);
    if (!grab.drive()) return grab.failure(address);
    burn_drive* drive = grab.drive();

    burn_disc* disc = burn_disc_create();
    burn_session* session = burn_session_create();
    burn_disc_add_session(disc, session, BURN_POS_END);
    for (const QString& raw : raws) {
        burn_track* track = burn_track_create();
        burn_track_define_data(track, 0, 0, 1, BURN_AUDIO);
        burn_source* source = burn_file_source_new(QFile::encodeName(raw).constData(), nullptr);
        burn_track_set_source(track, source);
        burn_session_add_track(session, track, BURN_POS_END);
        burn_source_free(source);
        burn_track_free(track);
    }
    burn_write_opts* options = burn_write_opts_new(drive);
    burn_write_opts_set_perform_opc(options, 0);
    burn_write_opts_set_simulate(options, simulate ? 1 : 0);
    burn_write_opts_set_multi(options, finalize ? 0 : 1);
    burn_write_opts_set_underrun_proof(options, 1);
    char reasons[BURN_REASONS_LEN] = {};
    const auto cleanup = [&] {
        burn_write_opts_free(options);
        burn_session_free(session);
        burn_disc_free(disc);
    };
    if (burn_write_opts_auto_write_type(options, disc, reasons, 0) == BURN_WRITE_NONE) {
        cleanup();
        TakeBurnMessages();
        return {DiscRecorder::NotWritable, QStringLiteral("The disc cannot take these tracks: %1").arg(QString::fromLocal8Bit(reasons))};
    }
    burn_drive_set_speed(drive, 0, speed > 0 ? int(speed * CdSpeedUnit + 0.5) : 0);

    {
        std::lock_guard lock(mutex_);
        active_ = drive;
    }
    if (stop()) burn_drive_cancel(drive);
    burn_disc_write(options, disc);

    // libburn's states on a real drive: lead-in and pregaps before a track,
    // writing, closing a track, then lead-out and closing the session.
    QList<int64_t> starts{0};
    for (int64_t s : sectors) starts << starts.last() + s;
    int lastTrack = -1, lastPhase = 0, percent = 0;
    bool finalising = false;
    burn_progress p {};
    burn_drive_status status;
    while ((status = burn_drive_get_status(drive, &p)) == BURN_DRIVE_SPAWNING) Sleep(50);
    const auto closeTrack = [&] {
        if (lastTrack >= 0 && lastPhase != DiscRecorder::ClosingTrack) {
            progress(DiscRecorder::WriteOperation, DiscRecorder::ClosingTrack, percent);
            lastPhase = DiscRecorder::ClosingTrack;
        }
    };
    while ((status = burn_drive_get_status(drive, &p)) != BURN_DRIVE_IDLE) {
        const int track = std::clamp(p.track, 0, int(raws.size()) - 1);
        if (!finalising && track != lastTrack) {
            closeTrack();
            lastTrack = track;
            lastPhase = DiscRecorder::FillingBuffer;
            progress(DiscRecorder::WriteOperation, DiscRecorder::FillingBuffer, percent);
        }
        if (totalSectors > 0 && p.sectors > 0)
            percent = std::max(percent, int(std::min<int64_t>(99, (starts[track] + p.sector) * 99 / totalSectors)));
        if (status == BURN_DRIVE_WRITING && !finalising) {
            lastPhase = DiscRecorder::WritingTrack;
            progress(DiscRecorder::WriteOperation, DiscRecorder::WritingTrack, percent);
        } else if (status == BURN_DRIVE_CLOSING_TRACK && !finalising) {
            closeTrack();
        } else if (status == BURN_DRIVE_CLOSING_SESSION || status == BURN_DRIVE_WRITING_LEADOUT) {
            if (!finalising) closeTrack();
            finalising = true;
            progress(DiscRecorder::FinalizeOperation, DiscRecorder::NoPhase, 99);
        }
        Sleep(100);
    }
    {
        std::lock_guard lock(mutex_);
        active_ = nullptr;
    }
    const bool good = burn_drive_wrote_well(drive) == 1;
    if (!finalising) closeTrack();
    cleanup();
    const QString reason = TakeBurnMessages();
    if (stop()) return {};
    if (!good)
        return {DiscRecorder::WriteFailed,
                reason.isEmpty() ? QStringLiteral("The recorder could not write the disc.") : reason};
    return {};
}

Failure BurnDrive::erase(const QString& address, bool quick, const Progress& progress, const StopRequested& stop) {
    Grab grab(address, true);
    if (!grab.drive()) return grab.failure(address);
    burn_drive* drive = grab.drive();
    if (!burn_disc_erasable(drive)) {
        TakeBurnMessages();
        return {DiscRecorder::NotErasable, QStringLiteral("The disc cannot be erased.")};
    }
    {
        std::lock_guard lock(mutex_);
        active_ = drive;
    }
    burn_disc_erase(drive, quick ? 1 : 0);
    burn_progress p {};
    burn_drive_status status;
    int percent = 0;
    while ((status = burn_drive_get_status(drive, &p)) == BURN_DRIVE_SPAWNING) Sleep(50);
    while ((status = burn_drive_get_status(drive, &p)) != BURN_DRIVE_IDLE) {
        if (p.sectors > 0) percent = std::max(percent, int(std::min<int64_t>(99, int64_t(p.sector) * 99 / p.sectors)));
        progress(DiscRecorder::EraseOperation, DiscRecorder::NoPhase, percent);
        Sleep(200);
    }
    {
        std::lock_guard lock(mutex_);
        active_ = nullptr;
    }
    burn_drive_re_assess(drive, 0);
    const bool blank = burn_disc_get_status(drive) == BURN_DISC_BLANK;
    const QString reason = TakeBurnMessages();
    if (stop()) return {};
    if (!blank) return {DiscRecorder::EraseFailed, reason.isEmpty() ? QStringLiteral("The disc was not erased.") : reason};
    return {};
}
