#include "components/disc/cdgrabber.h"

#include <QFileSystemWatcher>
#include <QLoggingCategory>
#include <QTimer>

#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "components/disc/cdimages.h"
#include "components/disc/cdiolibraries.h"
#include "components/disc/disclog.h"
#include "platform/ownedfiles.h"
#include "platform/paths.h"

Q_LOGGING_CATEGORY(lcDisc, "tunevale.disc", QtWarningMsg)

namespace {

constexpr int kSector = CdGrabber::BytesPerSector;

// libcdio's own messages go to our log, never to the terminal.
void cdioLog(cdio_log_level_t level, const char* message) {
    if (level >= CDIO_LOG_WARN) qCWarning(lcDisc, "libcdio: %s", message);
}

struct CdioLogInstaller {
    CdioLogInstaller() { cdio_log_set_handler(cdioLog); }
};

void installCdioLog() { static CdioLogInstaller once; }

struct CdioHandle {
    CdIo_t* p = nullptr;
    explicit CdioHandle(const std::string& device) {
        installCdioLog();
        p = cdio_open(device.c_str(), DRIVER_DEVICE);
    }
    ~CdioHandle() {
        if (p) cdio_destroy(p);
    }
    CdioHandle(const CdioHandle&) = delete;
    CdioHandle& operator=(const CdioHandle&) = delete;
};

int64_t fileSize(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

// What an image's .cue and .bin are on disk: a rewrite, a rename over
// either, a change of size or time, or their going, changes it.
std::string imageFiles(const std::string& cue, const std::string& bin) {
    std::string files;
    for (const std::string* path : {&cue, &bin}) {
        struct stat st {};
        if (::stat(path->c_str(), &st) != 0) {
            files += "-;";
            continue;
        }
        files += std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" +
                 std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + ";";
    }
    return files;
}

// libcdio reads an image by rules of its own: it opens the .bin named after
// the cue, whatever the FILE line says, and reads lines our check never
// passed. When it reads an image, it gets a cue written here from the
// checked table, beside a link to the checked .bin's open descriptor, in a
// folder of its own; removeFolder takes them away again.
std::string privateImage(int binFd, const std::vector<int32_t>& lsns, int firstNumber) {
    std::string folder = TemporaryFolder() + "/tunevale-image-XXXXXX";
    if (!::mkdtemp(folder.data())) return {};
    std::string cue = "FILE \"image.bin\" BINARY\n";
    char line[64];
    for (std::size_t i = 0; i < lsns.size(); ++i) {
        const int32_t lsn = lsns[i];
        std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:%02d\n", firstNumber + static_cast<int>(i),
                      lsn / 4500, lsn / 75 % 60, lsn % 75);
        cue += line;
    }
    const std::string link = "/proc/self/fd/" + std::to_string(binFd);
    PosixFile file(folder + "/image.cue", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    const bool made = file.isOpen() &&
                      file.write({reinterpret_cast<const uint8_t*>(cue.data()), cue.size()}) && file.close() &&
                      ::symlink(link.c_str(), (folder + "/image.bin").c_str()) == 0;
    if (made) return folder;
    ::unlink((folder + "/image.cue").c_str());
    ::rmdir(folder.c_str());
    return {};
}

void removeFolder(const std::string& folder) {
    if (folder.empty()) return;
    ::unlink((folder + "/image.bin").c_str());
    ::unlink((folder + "/image.cue").c_str());
    ::rmdir(folder.c_str());
}

int paranoiaMode(int grabMode) {
    switch (grabMode) {
    case CdGrabber::GrabBurst: return PARANOIA_MODE_DISABLE;
    // Overlap alone zeroes the end of periodic tracks; with verification
    // it does not.
    case CdGrabber::GrabSynch: return PARANOIA_MODE_OVERLAP | PARANOIA_MODE_VERIFY;
    case CdGrabber::GrabSecure: return PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP;
    default: return PARANOIA_MODE_FULL;
    }
}

}  // namespace

// Reads whole sectors of one track; a sector it could not read comes back
// marked bad (with zeros, or with the best data the drive gave).
struct CdTrackReader {
    virtual ~CdTrackReader() = default;
    // Fills count sectors from lsn on; bad[i] marks sectors not read right.
    virtual void read(int32_t lsn, int count, uint8_t* out, std::vector<char>& bad) = 0;
};

namespace {

// The image's .bin as the table's check opened it, read with pread. Every
// read is checked against the file's size at that moment, so a .bin that
// shrinks under the reader gives bad sectors, never a read past its end.
struct ImageReader final : CdTrackReader {
    std::shared_ptr<const PosixFile> bin;
    int fd = -1;
    int retries = 0;
    ImageReader(std::shared_ptr<const PosixFile> file, int retryCount)
        : bin(std::move(file)), fd(bin ? bin->fd() : -1), retries(retryCount) {}
    void read(int32_t lsn, int count, uint8_t* out, std::vector<char>& bad) override {
        bad.assign(static_cast<std::size_t>(count), 0);
        const int64_t size = fileSize(fd);
        const int64_t start = static_cast<int64_t>(lsn) * kSector;
        int64_t wanted = static_cast<int64_t>(count) * kSector;
        int64_t got = 0;
        if (size > start) {
            const int64_t readable = std::min(wanted, size - start);
            int attempts = 0;
            while (got < readable) {
                const ssize_t n = ::pread(fd, out + got, static_cast<std::size_t>(readable - got), start + got);
                if (n > 0) {
                    got += n;
                    continue;
                }
                if (n < 0 && errno == EINTR) continue;
                if (n < 0 && ++attempts <= retries) continue;
                break;
            }
        }
        for (int i = 0; i < count; ++i)
            if (static_cast<int64_t>(i + 1) * kSector > got) {
                bad[static_cast<std::size_t>(i)] = 1;
                std::memset(out + static_cast<std::size_t>(i) * kSector, 0, kSector);
            }
    }
};

// The sector paranoia reported a problem for, on the reader thread.
thread_local bool tlsSectorBad = false;

void paranoiaCallback(long, paranoia_cb_mode_t mode) {
    if (mode == PARANOIA_CB_SKIP || mode == PARANOIA_CB_READERR) tlsSectorBad = true;
}

// Paranoia on a thread of its own, handing sectors over through a ring of
// sectors. The state is shared with the thread, so a reader that stopped
// answering can be left behind: it frees itself when its read returns.
//
// The thread writes each sector straight into its slot and the reader
// copies whole runs of slots out, outside the lock: only the thread writes
// the slot past the last full one, and only the reader reads the full
// ones. Each side wakes the other only when that one waits, and the
// reader waits for as many sectors as it needs at once, so a block costs
// one wake-up rather than one per sector.
struct ParanoiaShared {
    static constexpr int kSlots = 300;  // four seconds of audio

    CdIo_t* cdio = nullptr;
    cdrom_drive_t* drive = nullptr;
    cdrom_paranoia_t* paranoia = nullptr;
    int guardFd = -1;  // the .bin of an image, checked before each read
    std::string privateFolder;  // where libcdio finds that .bin
    int retries = 0;
    int delayMs = 0;  // tests: a drive that answers this slowly
    std::mutex m;
    std::condition_variable readerWake;
    std::condition_variable threadWake;
    std::vector<uint8_t> ring = std::vector<uint8_t>(static_cast<std::size_t>(kSlots) * kSector);
    std::vector<char> slotBad = std::vector<char>(kSlots);
    int head = 0;   // slot of the first full sector
    int full = 0;   // full slots from head on
    int wanted = 0;  // sectors the reader waits for; 0 while it does not wait
    bool threadWaits = false;
    int32_t next = 0;  // next sector the thread reads
    int32_t end = -1;  // last sector of the track
    uint64_t generation = 0;
    bool quit = false;
    bool done = false;

    ~ParanoiaShared() {
        if (paranoia) cdio_paranoia_free(paranoia);
        if (drive) cdio_cddap_close_no_free_cdio(drive);
        if (cdio) cdio_destroy(cdio);
        removeFolder(privateFolder);
        if (guardFd >= 0) ::close(guardFd);
    }

    uint8_t* slot(int index) { return ring.data() + static_cast<std::size_t>(index % kSlots) * kSector; }

    static void run(std::shared_ptr<ParanoiaShared> s) {
        uint64_t applied = 0;  // the generation paranoia's position belongs to
        std::unique_lock lock(s->m);
        for (;;) {
            if (!s->quit && !(s->next <= s->end && s->full < kSlots)) {
                s->threadWaits = true;
                s->threadWake.wait(lock, [&] { return s->quit || (s->next <= s->end && s->full < kSlots); });
                s->threadWaits = false;
            }
            if (s->quit) break;
            const int32_t lsn = s->next;
            const uint64_t generation = s->generation;
            const int index = s->head + s->full;
            uint8_t* out = s->slot(index);
            lock.unlock();
            // Only this thread touches paranoia: a seek asked for by the
            // reader is made here, before the next read.
            if (generation != applied) {
                cdio_paranoia_seek(s->paranoia, lsn, SEEK_SET);
                applied = generation;
            }
            bool bad = false;
            if (s->delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(s->delayMs));
            if (s->guardFd >= 0 && fileSize(s->guardFd) < static_cast<int64_t>(lsn + 1) * kSector) {
                // Past the end of a shrunken .bin paranoia would spin for
                // ever; the sector is bad and paranoia moves on without it.
                bad = true;
                std::memset(out, 0, kSector);
                cdio_paranoia_seek(s->paranoia, lsn + 1, SEEK_SET);
            } else {
                tlsSectorBad = false;
                const int16_t* data = cdio_paranoia_read_limited(s->paranoia, paranoiaCallback, s->retries + 1);
                bad = tlsSectorBad || data == nullptr;
                if (data)
                    std::memcpy(out, data, kSector);
                else
                    std::memset(out, 0, kSector);
            }
            lock.lock();
            // A seek meanwhile emptied the ring; the sector belongs to the
            // old position.
            if (generation != s->generation) continue;
            s->slotBad[static_cast<std::size_t>(index % kSlots)] = bad ? 1 : 0;
            ++s->full;
            ++s->next;
            if (s->wanted > 0 && (s->full >= s->wanted || s->next > s->end)) s->readerWake.notify_one();
        }
        s->done = true;
        s->readerWake.notify_all();
    }
};

struct ParanoiaReader final : CdTrackReader {
    std::shared_ptr<ParanoiaShared> s;
    std::thread thread;
    int32_t expected = 0;  // the sector the ring's first full slot holds
    int deadlineMs = 60000;
    bool stalled = false;
    std::vector<uint8_t> last = std::vector<uint8_t>(kSector);  // the sector before `expected`
    bool haveLast = false;
    bool lastBad = false;

    ~ParanoiaReader() override {
        if (!s) return;
        std::unique_lock lock(s->m);
        s->quit = true;
        s->threadWake.notify_all();
        // A reader that answers ends within a sector's read; one that hangs
        // in the drive is left to end by itself, owning what it uses.
        if (!stalled) s->readerWake.wait_for(lock, std::chrono::seconds(2), [&] { return s->done; });
        const bool ended = s->done;
        lock.unlock();
        // The thread lets go of the drive and the private folder only as it
        // returns, after saying it is done: the close waits for that, so the
        // next open finds the drive free and nothing is left in the folder.
        if (!thread.joinable()) return;
        if (ended)
            thread.join();
        else
            thread.detach();
    }

    void seekTo(int32_t lsn) {
        std::lock_guard lock(s->m);
        ++s->generation;
        s->head = 0;
        s->full = 0;
        s->next = lsn;
        expected = lsn;
        haveLast = false;
        if (s->threadWaits) s->threadWake.notify_one();
    }

    void read(int32_t lsn, int count, uint8_t* out, std::vector<char>& bad) override {
        bad.assign(static_cast<std::size_t>(count), 1);
        if (stalled) {
            std::memset(out, 0, static_cast<std::size_t>(count) * kSector);
            return;
        }
        int i = 0;
        // Blocks that end inside a sector ask for it again with the next
        // block: serve it from here rather than seek paranoia back.
        if (lsn == expected - 1 && haveLast) {
            std::memcpy(out, last.data(), kSector);
            bad[0] = lastBad ? 1 : 0;
            i = 1;
        } else if (lsn != expected) {
            seekTo(lsn);
        }
        std::unique_lock lock(s->m);
        while (i < count) {
            // Wait for the rest of the block, or as much of it as the ring
            // holds; the deadline runs anew whenever a sector comes.
            const int want = std::min(count - i, ParanoiaShared::kSlots);
            int seen = s->full;
            bool timedOut = false;
            while (s->full < want && !s->done) {
                s->wanted = want;
                const bool arrived = s->readerWake.wait_for(lock, std::chrono::milliseconds(deadlineMs),
                                                            [&] { return s->full >= want || s->done; });
                s->wanted = 0;
                if (!arrived && s->full == seen) {
                    timedOut = true;
                    break;
                }
                seen = s->full;
            }
            if (timedOut) {
                // No sector within the deadline: the drive is gone or hangs.
                // What came is kept; the rest of the track fails at once.
                stalled = true;
                qCWarning(lcDisc, "no sector from the drive within %d ms", deadlineMs);
            }
            if (s->full == 0) break;
            const int n = std::min(s->full, count - i);
            const int first = s->head;
            lock.unlock();
            for (int k = 0; k < n; ++k) {
                std::memcpy(out + static_cast<std::size_t>(i + k) * kSector, s->slot(first + k), kSector);
                const std::size_t at = static_cast<std::size_t>((first + k) % ParanoiaShared::kSlots);
                bad[static_cast<std::size_t>(i + k)] = s->slotBad[at];
            }
            lastBad = bad[static_cast<std::size_t>(i + n - 1)] != 0;
            std::memcpy(last.data(), out + static_cast<std::size_t>(i + n - 1) * kSector, kSector);
            haveLast = true;
            i += n;
            expected += n;
            lock.lock();
            s->head = (s->head + n) % ParanoiaShared::kSlots;
            s->full -= n;
            if (s->threadWaits) s->threadWake.notify_one();
            if (stalled) break;
        }
        if (i < count)
            std::memset(out + static_cast<std::size_t>(i) * kSector, 0, static_cast<std::size_t>(count - i) * kSector);
    }
};

}  // namespace

CdGrabber::CdGrabber(QObject* parent) : QObject(parent), imageFolder_(CdImageFolder()), cacheFolder_(CddbCacheFolder()) {
    installCdioLog();
    debounce_ = new QTimer(this);
    debounce_->setSingleShot(true);
    debounce_->setInterval(300);
    connect(debounce_, &QTimer::timeout, this, &CdGrabber::imageFolderChanged);
}

CdGrabber::~CdGrabber() {
    closeTrack();
    {
        std::lock_guard lock(pollMutex_);
        pollQuit_ = true;
    }
    pollWake_.notify_all();
    if (poller_.joinable()) poller_.join();
}

void CdGrabber::setImageFolder(const std::string& folder) {
    imageFolder_ = folder;
    refreshDrives();
}

void CdGrabber::refreshDrives() {
    closeTrack();
    drives_.clear();
    installCdioLog();
    if (char** devices = cdio_get_devices(DRIVER_DEVICE)) {
        for (char** d = devices; *d; ++d) {
            Drive drive;
            drive.path = *d;
            const auto slash = drive.path.rfind('/');
            drive.shortName = QString::fromStdString(slash == std::string::npos ? drive.path : drive.path.substr(slash + 1));
            drive.name = drive.shortName;
            // Naming the drive opens it without taking it: nothing is held.
            if (CdIo_t* cdio = cdio_open(*d, DRIVER_DEVICE)) {
                cdio_hwinfo_t info {};
                if (cdio_get_hwinfo(cdio, &info))
                    drive.name = QString::fromLatin1(info.psz_vendor).trimmed() + " " +
                                 QString::fromLatin1(info.psz_model).trimmed() + " " +
                                 QString::fromLatin1(info.psz_revision).trimmed();
                cdio_destroy(cdio);
            }
            // A mounted disc is the desktop's until it is unmounted; the
            // name says where, so the user knows what to eject.
            const std::string mountedAt = MountPointOf(drive.path);
            if (!mountedAt.empty()) drive.name += " (mounted at " + QString::fromStdString(mountedAt) + ")";
            drives_.push_back(drive);
        }
        cdio_free_device_list(devices);
    }
    std::vector<std::string> rejected;
    for (const auto& image : ListCdImages(imageFolder_, &rejected)) {
        Drive drive;
        drive.image = true;
        drive.path = image.cuePath;
        drive.binPath = image.binPath;
        const auto slash = image.cuePath.rfind('/');
        drive.shortName = QString::fromStdString(image.cuePath.substr(slash + 1));
        drive.name = "Image " + QString::fromStdString(image.cuePath);
        drive.files = imageFiles(drive.path, drive.binPath);
        drives_.push_back(drive);
    }
    for (const auto& line : rejected) qCWarning(lcDisc, "image not offered: %s", line.c_str());
    if (driveIndex_ < 1 || driveIndex_ > static_cast<int>(drives_.size())) driveIndex_ = 1;
    {
        std::lock_guard lock(pollMutex_);
        pollDevices_.clear();
        for (const auto& d : drives_)
            if (!d.image) pollDevices_.push_back(d.path);
    }
    tracks_.clear();
    toc_ = {};
    imageBin_.reset();
    if (watcher_) watchImages();
}

int CdGrabber::driveCount() const { return static_cast<int>(drives_.size()); }

void CdGrabber::setDriveIndex(int index) {
    if (index == driveIndex_) return;
    closeTrack();
    driveIndex_ = index;
    tracks_.clear();
    toc_ = {};
    imageBin_.reset();
}

const CdGrabber::Drive* CdGrabber::drive() const {
    if (driveIndex_ < 1 || driveIndex_ > static_cast<int>(drives_.size())) return nullptr;
    return &drives_[static_cast<std::size_t>(driveIndex_ - 1)];
}

QString CdGrabber::driveShortName() const { return drive() ? drive()->shortName : QString(); }
QString CdGrabber::driveName() const { return drive() ? drive()->name : QString(); }
bool CdGrabber::driveIsImage() const { return drive() && drive()->image; }
std::string CdGrabber::drivePath() const { return drive() ? drive()->path : std::string(); }

bool CdGrabber::readToc() {
    closeTrack();
    tracks_.clear();
    toc_ = {};
    tocProblem_.clear();
    cdTextTitles_.clear();
    cdTextArtist_.clear();
    cdTextAlbum_.clear();
    artist_.clear();
    album_.clear();
    genre_.clear();
    titles_.clear();
    imageBin_.reset();
    const Drive* d = drive();
    if (!d) {
        // Without libcdio no drive is listed; the user is told why.
        const std::string problem = CdioLibrariesProblem();
        tocProblem_ = problem.empty() ? "no drive" : problem;
        return false;
    }
    if (d->image) return readImageToc();
    CdioHandle cdio(d->path);
    if (!cdio.p) {
        const std::string problem = CdioLibrariesProblem();
        tocProblem_ = problem.empty() ? "cannot open " + d->path : problem;
        return false;
    }
    const track_t first = cdio_get_first_track_num(cdio.p);
    firstTrackNumber_ = first;
    const track_t count = cdio_get_num_tracks(cdio.p);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) {
        tocProblem_ = "no disc";
        return false;
    }
    const lsn_t leadout = cdio_get_track_lsn(cdio.p, CDIO_CDROM_LEADOUT_TRACK);
    std::vector<Track> tracks;
    bool anyAudio = false;
    for (track_t t = first; t < first + count; ++t) {
        Track track;
        track.first = cdio_get_track_lsn(cdio.p, t);
        track.audio = cdio_get_track_format(cdio.p, t) == TRACK_FORMAT_AUDIO;
        anyAudio = anyAudio || track.audio;
        tracks.push_back(track);
    }
    for (std::size_t i = 0; i < tracks.size(); ++i)
        tracks[i].last = (i + 1 < tracks.size() ? tracks[i + 1].first : leadout) - 1;
    // An impossible table is a damaged image or disc: nothing of it is read.
    bool sane = leadout != CDIO_INVALID_LSN && leadout > 0;
    for (std::size_t i = 0; sane && i < tracks.size(); ++i) {
        if (tracks[i].first == CDIO_INVALID_LSN || tracks[i].first < 0 || tracks[i].first > tracks[i].last ||
            tracks[i].last >= leadout)
            sane = false;
        if (i > 0 && tracks[i].first <= tracks[i - 1].first) sane = false;
    }
    if (!sane) {
        tocProblem_ = "the table of contents does not match the disc (damaged image?)";
        qCWarning(lcDisc, "%s: %s", d->path.c_str(), tocProblem_.c_str());
        return false;
    }
    if (!anyAudio) {
        tocProblem_ = "no audio track";
        return false;
    }
    tracks_ = tracks;
    for (const auto& t : tracks_) toc_.trackLsn.push_back(t.first);
    toc_.leadoutLsn = leadout;
    if (track_ < 1 || track_ > trackCount()) track_ = 1;
    return true;
}

bool CdGrabber::readImageToc() {
    Drive& d = drives_[static_cast<std::size_t>(driveIndex_ - 1)];
    // Taken before the files are read: a change after it is seen by the
    // watch, never lost.
    d.files = imageFiles(d.path, d.binPath);
    CdImageCheck check = CheckCdImage(d.path);
    if (!check.ok) {
        tocProblem_ = check.reason;
        qCWarning(lcDisc, "%s: %s", d.path.c_str(), tocProblem_.c_str());
        return false;
    }
    if (check.binPath != d.binPath) {
        d.binPath = check.binPath;
        d.files = imageFiles(d.path, d.binPath);
        if (watcher_) watchImages();
    }
    const auto& sheet = check.sheet;
    firstTrackNumber_ = sheet.tracks.front().number;
    for (std::size_t i = 0; i < sheet.tracks.size(); ++i) {
        Track track;
        track.first = sheet.tracks[i].lsn;
        track.last = (i + 1 < sheet.tracks.size() ? sheet.tracks[i + 1].lsn : check.leadout) - 1;
        tracks_.push_back(track);
        toc_.trackLsn.push_back(track.first);
        cdTextTitles_.push_back(sheet.tracks[i].title);
    }
    toc_.leadoutLsn = check.leadout;
    cdTextAlbum_ = sheet.title;
    cdTextArtist_ = sheet.performer;
    imageBin_ = check.bin;
    if (track_ < 1 || track_ > trackCount()) track_ = 1;
    return true;
}

int CdGrabber::trackCount() const { return static_cast<int>(tracks_.size()); }

void CdGrabber::setTrack(int track) { track_ = track; }

const CdGrabber::Track* CdGrabber::selected() const {
    if (track_ < 1 || track_ > trackCount()) return nullptr;
    return &tracks_[static_cast<std::size_t>(track_ - 1)];
}

int64_t CdGrabber::trackLength() const {
    const Track* t = selected();
    return t ? static_cast<int64_t>(t->last - t->first + 1) * FramesPerSector : 0;
}

int64_t CdGrabber::trackDuration() const { return trackLength() * 1000 / SampleRate; }

QString CdGrabber::cddbTrackTitle() const {
    if (track_ < 1 || track_ > static_cast<int>(titles_.size())) return {};
    return QString::fromStdString(titles_[static_cast<std::size_t>(track_ - 1)]);
}

void CdGrabber::setGrabMode(int mode) { grabMode_ = std::clamp(mode, 0, 3); }
void CdGrabber::setErrorRetry(int retries) { errorRetry_ = std::clamp(retries, 0, 1000); }
void CdGrabber::setErrorAction(int action) { errorAction_ = std::clamp(action, 0, 3); }

bool CdGrabber::openTrack(int number) {
    closeTrack();
    lastError_ = AudioErrorNone;
    track_ = number;
    const Drive* d = drive();
    const Track* t = selected();
    if (!d || !t) {
        lastError_ = AudioErrorDrive;
        return false;
    }
    if (!t->audio) {
        lastError_ = AudioErrorNotAudio;
        return false;
    }
    int32_t endSector = t->last;
    if (d->image && !imageBin_) {
        lastError_ = AudioErrorDrive;
        return false;
    }
    if (d->image && !paranoiaForImages_) {
        auto reader = std::make_unique<ImageReader>(imageBin_, errorRetry_);
        if (reader->fd < 0 || fileSize(reader->fd) < static_cast<int64_t>(t->first + 1) * kSector) {
            lastError_ = AudioErrorDrive;
            return false;
        }
        reader_ = std::move(reader);
    } else {
        auto s = std::make_shared<ParanoiaShared>();
        if (d->image) {
            s->guardFd = ::fcntl(imageBin_->fd(), F_DUPFD_CLOEXEC, 0);
            if (s->guardFd >= 0) s->privateFolder = privateImage(s->guardFd, toc_.trackLsn, firstTrackNumber_);
            if (!s->privateFolder.empty()) s->cdio = cdio_open((s->privateFolder + "/image.cue").c_str(), DRIVER_BINCUE);
        } else {
            s->cdio = cdio_open(d->path.c_str(), DRIVER_DEVICE);
            if (s->cdio && driveSpeed_ >= 0) cdio_set_speed(s->cdio, driveSpeed_ + 1);
        }
        if (!s->cdio) {
            lastError_ = AudioErrorDrive;
            return false;
        }
        s->drive = cdio_cddap_identify_cdio(s->cdio, CDDA_MESSAGE_FORGETIT, nullptr);
        if (!s->drive) {
            lastError_ = AudioErrorDrive;
            return false;
        }
        // Left to itself paranoia guesses the byte order from the samples,
        // and noise-like audio makes it guess wrong.
        s->drive->bigendianp = 0;
        if (cdio_cddap_open(s->drive) != 0) {
            lastError_ = AudioErrorDrive;
            return false;
        }
        s->paranoia = cdio_paranoia_init(s->drive);
        if (!s->paranoia) {
            lastError_ = AudioErrorDrive;
            return false;
        }
        cdio_paranoia_modeset(s->paranoia, paranoiaMode(grabMode_));
        cdio_paranoia_seek(s->paranoia, t->first, SEEK_SET);
        s->retries = errorRetry_;
        s->delayMs = sectorDelayMs_;
        s->next = t->first;
        s->end = t->last;
        // On a disc with a data session after the audio, the last audio
        // track ends before the gap between the sessions, which paranoia
        // knows and the table does not.
        const lsn_t last = cdio_cddap_track_lastsector(s->drive, static_cast<track_t>(firstTrackNumber_ + number - 1));
        if (!d->image && last >= t->first && last < t->last) s->end = last;
        endSector = s->end;
        auto reader = std::make_unique<ParanoiaReader>();
        reader->s = s;
        reader->expected = t->first;
        reader->deadlineMs = deadlineMs_;
        reader->thread = std::thread(ParanoiaShared::run, s);
        reader_ = std::move(reader);
    }
    position_ = 0;
    openLength_ = static_cast<int64_t>(endSector - t->first + 1) * FramesPerSector;
    trackIsOpen_ = true;
    return true;
}

bool CdGrabber::open(const std::string& name) {
    int track = 0;
    for (char c : name) {
        if (c < '0' || c > '9' || track > 99) return false;
        track = track * 10 + (c - '0');
    }
    return openTrack(track);
}

bool CdGrabber::seek(int64_t frame) {
    if (!reader_) return false;
    position_ = std::clamp<int64_t>(frame, 0, openLength_);
    return true;
}

AudioBlock CdGrabber::readBlock(int64_t count) {
    lastError_ = AudioErrorNone;
    AudioBlock block;
    const Track* t = selected();
    int64_t frames = count > 0 ? count / Channels : SampleRate;
    if (!reader_ || !t || frames <= 0 || position_ >= openLength_) return block;
    frames = std::min(frames, openLength_ - position_);
    const int64_t firstSector = position_ / FramesPerSector;
    const int64_t lastSector = (position_ + frames - 1) / FramesPerSector;
    const int sectors = static_cast<int>(lastSector - firstSector + 1);
    scratch_.resize(static_cast<std::size_t>(sectors) * kSector);
    reader_->read(t->first + static_cast<int32_t>(firstSector), sectors, scratch_.data(), bad_);
    const bool anyBad = std::find(bad_.begin(), bad_.end(), 1) != bad_.end();
    const int64_t skip = position_ - firstSector * FramesPerSector;  // frames into the first sector
    position_ += frames;
    if (anyBad) {
        lastError_ = AudioErrorDrive;
        if (errorAction_ == ActionStop) return block;
    }
    block.samples.resize(static_cast<std::size_t>(frames) * Channels);
    int16_t* to = block.samples.data();
    // Runs of frames within one sector at a time: good sectors are copied
    // whole, bad ones silenced, dropped or kept as the action says.
    for (int64_t f = 0; f < frames;) {
        const int64_t at = skip + f;
        const std::size_t sector = static_cast<std::size_t>(at / FramesPerSector);
        const int64_t run = std::min<int64_t>(frames - f, FramesPerSector - at % FramesPerSector);
        const uint8_t* from = scratch_.data() + at * 4;
        if (bad_[sector] && errorAction_ == ActionCut) {
            f += run;
            continue;
        }
        if (bad_[sector] && errorAction_ == ActionSilence) {
            std::fill(to, to + run * Channels, int16_t{0});
        } else if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(to, from, static_cast<std::size_t>(run) * 4);
        } else {
            for (int64_t i = 0; i < run * Channels; ++i)
                to[i] = static_cast<int16_t>(from[2 * i] | (from[2 * i + 1] << 8));
        }
        to += run * Channels;
        f += run;
    }
    block.samples.resize(static_cast<std::size_t>(to - block.samples.data()));
    return block;
}

void CdGrabber::closeTrack() {
    reader_.reset();
    position_ = 0;
    openLength_ = 0;
    trackIsOpen_ = false;
}

void CdGrabber::setCddbServerAddress(const QString& host) { server_.host = host.trimmed().toStdString(); }
void CdGrabber::setCddbServerPort(const QString& port) { server_.port = CddbPortOfText(port.trimmed().toStdString()); }
void CdGrabber::setCddbCGIScript(const QString& script) { server_.script = script.trimmed().toStdString(); }
void CdGrabber::setCddbTimeout(int ms) { server_.timeoutMs = std::clamp(ms, 1, 600000); }

bool CdGrabber::cddbQuery(int source) {
    cddbError_.clear();
    if (toc_.trackLsn.empty()) {
        cddbError_ = "no table of contents";
        return false;
    }
    std::optional<CddbRecord> record;
    const std::string id = CddbDiscIdText(CddbDiscId(toc_));
    if (source == 1) {
        if (lastOnline_ && lastOnlineId_ == id) {
            record = lastOnline_;
        } else {
            CddbLookup lookup = CddbLookupOnline(server_, toc_, cacheFolder_);
            cddbError_ = lookup.error;
            if (!cddbError_.empty()) qCWarning(lcDisc, "CD database: %s", cddbError_.c_str());
            record = lookup.record;
            if (record) {
                lastOnline_ = record;
                lastOnlineId_ = id;
            }
        }
    } else {
        // This run's own answer for the disc first: the cache may not have
        // been able to keep it.
        if (lastOnline_ && lastOnlineId_ == id) record = lastOnline_;
        if (!record) record = CddbLookupCache(toc_, cacheFolder_);
        if (!record && (!cdTextAlbum_.empty() || !cdTextArtist_.empty() ||
                        std::any_of(cdTextTitles_.begin(), cdTextTitles_.end(), [](auto& s) { return !s.empty(); }))) {
            CddbRecord text;
            text.artist = cdTextArtist_;
            text.album = cdTextAlbum_;
            text.titles = cdTextTitles_;
            record = text;
        }
    }
    if (!record) return false;
    artist_ = record->artist;
    album_ = record->album;
    genre_ = record->genre;
    titles_ = record->titles;
    titles_.resize(tracks_.size());
    return true;
}

void CdGrabber::setCddbAnswer(const CddbRecord& record) {
    if (toc_.trackLsn.empty()) return;
    lastOnline_ = record;
    lastOnlineId_ = CddbDiscIdText(CddbDiscId(toc_));
    cddbQuery(2);
}

void CdGrabber::setMediaPolling(bool on) {
    if (on && !watcher_) {
        watcher_ = new QFileSystemWatcher(this);
        connect(watcher_, &QFileSystemWatcher::fileChanged, debounce_, qOverload<>(&QTimer::start));
        connect(watcher_, &QFileSystemWatcher::directoryChanged, debounce_, qOverload<>(&QTimer::start));
        watchImages();
    } else if (!on && watcher_) {
        delete watcher_;
        watcher_ = nullptr;
        debounce_->stop();
    }
    {
        std::lock_guard lock(pollMutex_);
        pollOn_ = on;
    }
    pollWake_.notify_all();
    if (on && !poller_.joinable()) poller_ = std::thread([this] { pollDrives(); });
}

void CdGrabber::imageFolderChanged() {
    watchImages();
    // The window's disc is the selected drive's: a new image beside it, or
    // another being written, is no change of it.
    if (driveIndex_ < 1 || driveIndex_ > static_cast<int>(drives_.size())) return;
    Drive& d = drives_[static_cast<std::size_t>(driveIndex_ - 1)];
    if (!d.image) return;
    std::string files = imageFiles(d.path, d.binPath);
    if (files == d.files) return;
    d.files = std::move(files);
    emit mediaChange();
}

void CdGrabber::watchImages() {
    if (!watcher_) return;
    // A rewrite renames a new file over the old one, which drops the old
    // path from the watch: add what is missing again each time.
    QStringList paths;
    if (FileExists(imageFolder_)) paths << QString::fromStdString(imageFolder_);
    for (const auto& d : drives_)
        if (d.image) paths << QString::fromStdString(d.path) << QString::fromStdString(d.binPath);
    QStringList missing;
    const QStringList watched = watcher_->files() + watcher_->directories();
    for (const auto& p : paths)
        if (!watched.contains(p) && FileExists(p.toStdString())) missing << p;
    if (!missing.isEmpty()) watcher_->addPaths(missing);
}

void CdGrabber::pollDrives() {
    std::vector<std::string> signatures;
    std::unique_lock lock(pollMutex_);
    while (!pollQuit_) {
        pollWake_.wait_for(lock, std::chrono::seconds(2), [&] { return pollQuit_; });
        if (pollQuit_) break;
        if (!pollOn_ || trackIsOpen_ || pollDevices_.empty()) continue;
        const std::vector<std::string> devices = pollDevices_;
        lock.unlock();
        std::vector<std::string> now;
        for (const auto& device : devices) {
            std::string sig = device + ":";
            if (CdIo_t* cdio = cdio_open(device.c_str(), DRIVER_DEVICE)) {
                const track_t n = cdio_get_num_tracks(cdio);
                if (n != CDIO_INVALID_TRACK)
                    sig += std::to_string(n) + "/" + std::to_string(cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK));
                cdio_destroy(cdio);
            }
            now.push_back(sig);
        }
        const bool changed = !signatures.empty() && now != signatures;
        signatures = now;
        if (changed) QMetaObject::invokeMethod(this, [this] { emit mediaChange(); }, Qt::QueuedConnection);
        lock.lock();
    }
}
