#include "components/discwriter/audiodiscwriter.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "components/audio/audioinformation.h"
#include "components/discwriter/burndrive.h"
#include "components/discwriter/imageparts.h"
#include "components/discwriter/cdaudiosource.h"
#include "components/discwriter/cueimage.h"
#include "components/discwriter/imagefiles.h"
#include "components/disc/disclog.h"
#include "components/disc/cdimages.h"
#include "components/discwriter/trackpipeline.h"
#include "platform/ownedfiles.h"
#include "platform/paths.h"
#include "platform/posixfile.h"

namespace {

const QString ImageAddress = QStringLiteral("image:");

std::string Local(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString SystemText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Can a new file be made in folder? A read-only folder or file system, or a
// folder of another user, reads as writable to a plain look at its bits
// only in some cases; making and removing a file tells for sure.
bool FolderTakesFiles(const std::string& folder, int* error) {
    std::string probe = JoinPath(folder, ".tunevale-probe-XXXXXX");
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) {
        *error = errno;
        return false;
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

}  // namespace

struct AudioDiscWriter::DriveWork {
    BurnDrive drive;
};

AudioDiscWriter::AudioDiscWriter(QObject* parent)
    : DiscRecorder(parent), drive_(new DriveWork) {
    imageFolder_ = QString::fromStdString(CdImageFolder());
    imageName_ = QString::fromUtf8(kAudioImageName);
}

AudioDiscWriter::~AudioDiscWriter() {
    abort();
    delete drive_;
}

void AudioDiscWriter::clearTracks() { tracks_.clear(); }

void AudioDiscWriter::addTrack(const QString& fileName, const QString& textSource) {
    tracks_.push_back({fileName, textSource.isEmpty() ? fileName : textSource});
}

QString AudioDiscWriter::imageCuePath() const { return QDir(imageFolder_).filePath(imageName_ + ".cue"); }

QList<DiscRecorder::Device> AudioDiscWriter::scanDevices() {
    QList<Device> devices;
    if (drivesListed_) devices = BurnDrive::list();
    devices.push_back({QStringLiteral("Audio CD image "), QStringLiteral("(%1)").arg(imageCuePath()), QString(), ImageAddress});
    return devices;
}

QString AudioDiscWriter::mediaSignature() const {
    const int slot = deviceSlot();
    if (slot < 0 || slot >= devices().size()) return {};
    if (isImage(slot)) return FileSignature(imageCuePath());
    return DriveMediumSignature(devices()[slot].address);
}

bool AudioDiscWriter::isImage(int index) const {
    return index >= 0 && index < devices().size() && devices()[index].address == ImageAddress;
}

DiscRecorder::Failure AudioDiscWriter::readDisc(int index, DiscState* state) {
    if (isImage(index)) return readImage(state);
    return BurnDrive::readDisc(devices()[index].address, state);
}

DiscRecorder::Failure AudioDiscWriter::readImage(DiscState* state) const {
    // The image is an erasable disc: closed once written, blank once erased.
    state->type = Erasable;
    state->status = StatusUnknown;
    const std::string folder = Local(imageFolder_);
    int error = 0;
    if (!CreateFolderPath(folder)) {
        qCWarning(lcDisc, "The image folder %s cannot be made.", qPrintable(imageFolder_));
        return {};
    }
    if (!FolderTakesFiles(folder, &error)) {
        qCWarning(lcDisc, "The image folder %s cannot be written: %s", qPrintable(imageFolder_), qPrintable(SystemText(error)));
        return {};
    }
    // A link at either name counts as a written image (it is one the
    // recorder will not write over); the write then says why.
    const bool written = QFileInfo::exists(imageCuePath()) || imagefiles::IsLink(Local(imageCuePath())) ||
                         imagefiles::IsLink(JoinPath(folder, Local(imageName_ + ".bin")));
    state->status = written ? Closed : Blank;
    return {};
}

DiscRecorder::Failure AudioDiscWriter::startWrite(int index) {
    if (tracks_.isEmpty()) return {NothingToWrite, QStringLiteral("There is no track to write.")};
    if (isImage(index)) return startImageWrite();

    DiscState state;
    Failure failure;
    const QString drive = devices()[index].address;
    waitFor([&] { failure = BurnDrive::readDisc(drive, &state); });
    if (failure) return failure;
    if (state.status != Blank) return {NotWritable, QStringLiteral("The disc in the recorder is not blank.")};
    QStringList paths;
    for (const Track& track : tracks_) paths << track.path;
    const QString address = devices()[index].address;
    const int speed = writeSpeed();
    const bool simulate = testMode(), close = finalize();
    runWorker([this, paths, address, speed, simulate, close] {
        endWork(drive_->drive.writeAudio(
            address, paths, speed, simulate, close,
            [this](int operation, int phase, int percent) { postProgress(operation, phase, percent); },
            [this] { return stopRequested(); }));
    });
    return {};
}

DiscRecorder::Failure AudioDiscWriter::startImageWrite() {
    DiscState state;
    readImage(&state);
    if (state.status == StatusUnknown)
        return {NotWritable, QStringLiteral("The image folder %1 cannot be written.").arg(imageFolder_)};
    for (const QString& suffix : {QStringLiteral(".cue"), QStringLiteral(".bin")}) {
        const std::string path = JoinPath(Local(imageFolder_), Local(imageName_ + suffix));
        if (imagefiles::IsLink(path)) return {NotWritable, imagefiles::LinkRefusal(path)};
    }
    if (state.status == Closed)
        return {NotWritable, QStringLiteral("The image %1 is closed; erase it before writing again.").arg(imageCuePath())};

    // Every track is opened before anything is written: a missing or
    // unreadable file, or more music than the disc holds, is told at once.
    int64_t frames = 0, sectors = 0;
    for (const Track& track : tracks_) {
        CdAudioSource source;
        std::string error;
        if (!source.open(Local(track.path), &error)) return {SourceFailed, QString::fromStdString(error)};
        frames += source.estimatedFrames();
        sectors += SectorsForFrames(source.estimatedFrames());
    }
    if (sectors > imageCapacity_)
        return {CapacityExceeded, QStringLiteral("The tracks need %1 sectors; the disc holds %2.").arg(sectors).arg(imageCapacity_)};
    if (!testMode()) {
        // The .bin, its cue, and room to spare for the file system's own use.
        const int64_t needed = sectors * CdAudioSource::SectorBytes + (1 << 20);
        const int64_t free = FreeBytesIn(Local(imageFolder_));
        if (free >= 0 && free < needed)
            return {NoSpace, QStringLiteral("The image needs %1 MB in %2, which has %3 MB free.")
                                 .arg(needed >> 20)
                                 .arg(imageFolder_)
                                 .arg(free >> 20)};
    }
    const QList<Track> tracks = tracks_;
    const bool simulate = testMode();
    runWorker([this, tracks, frames, simulate] { writeImage(tracks, frames, simulate); });
    return {};
}

void AudioDiscWriter::writeImage(const QList<Track>& tracks, int64_t estimatedFrames, bool testMode) {
    const std::string folder = Local(imageFolder_);
    const std::string bin = JoinPath(folder, Local(imageName_ + ".bin"));
    const std::string cue = JoinPath(folder, Local(imageName_ + ".cue"));
    const std::string binPart = bin + ".part", cuePart = cue + ".part";
    const auto removeParts = [&] {
        ::unlink(binPart.c_str());
        ::unlink(cuePart.c_str());
    };
    const auto fail = [&](int code, const QString& text) {
        removeParts();
        if (!stopRequested()) postError(code, text);
    };

    PosixFile out;
    if (!testMode) {
        // A part another process still writes stays; a killed one's goes.
        ClearAbandonedPart(binPart);
        out = CreateOwnedFile(binPart, O_WRONLY, 0644);
        if (!out.isOpen()) {
            fail(WriteFailed, QStringLiteral("Cannot create %1: %2").arg(QString::fromStdString(binPart), SystemText(out.openError())));
            return;
        }
    }

    // Percent of the whole job: the tracks take 0..99, the closing 99..100.
    const int64_t totalFrames = std::max<int64_t>(estimatedFrames, 1);
    int64_t framesDone = 0;
    int lastPercent = -1;
    const auto percent = [&] { return int(std::min<int64_t>(99, framesDone * 99 / totalFrames)); };

    std::vector<cueimage::Track> table;
    std::vector<int16_t> pcm;
    std::vector<uint8_t> buffer;
    buffer.reserve(4 << 20);
    int64_t sector = 0;
    const auto flush = [&]() -> bool {
        if (testMode || buffer.empty()) return true;
        const bool ok = out.write(buffer);
        buffer.clear();
        return ok;
    };

    const auto writeFailed = [&](int error) {
        fail(error == ENOSPC ? NoSpace : WriteFailed,
             QStringLiteral("Cannot write %1: %2").arg(QString::fromStdString(binPart), SystemText(error)));
    };
    const auto reportWriting = [&] {
        if (percent() == lastPercent) return;
        lastPercent = percent();
        postProgress(WriteOperation, WritingTrack, lastPercent);
    };

    // WAV files that already hold CD audio are copied as they are; the
    // others are decoded, several at a time, ahead of the writing.
    std::vector<CdWavLayout> raw(size_t(tracks.size()));
    std::vector<std::string> decoded;
    std::vector<size_t> decodedIndex(size_t(tracks.size()));
    for (int t = 0; t < tracks.size(); ++t) {
        raw[size_t(t)] = ProbeCdWav(Local(tracks[t].path));
        if (raw[size_t(t)].ok) continue;
        decodedIndex[size_t(t)] = decoded.size();
        decoded.push_back(Local(tracks[t].path));
    }
    TrackPipeline pipeline(decoded);

    for (int t = 0; t < tracks.size(); ++t) {
        if (stopRequested()) return removeParts();
        postProgress(WriteOperation, FillingBuffer, percent());
        std::string error;

        cueimage::Track entry;
        entry.firstSector = sector;
        AudioInformation info;
        if (info.load(Local(tracks[t].textSource))) {
            entry.title = info.infoTitle;
            entry.performer = info.infoArtist;
        }
        table.push_back(entry);

        int64_t trackFrames = 0;
        if (raw[size_t(t)].ok) {
            const CdWavLayout layout = raw[size_t(t)];
            const int64_t frames = layout.bytes / (CdAudioSource::Channels * 2);
            if (sector + SectorsForFrames(frames) > imageCapacity_)
                return fail(CapacityExceeded, QStringLiteral("The tracks do not fit on the disc."));
            if (!flush()) return writeFailed(errno);
            const PosixFile source = OpenRegularFile(Local(tracks[t].path), O_RDONLY | O_CLOEXEC);
            if (!source.isOpen())
                return fail(SourceFailed, QStringLiteral("The file %1 cannot be read.").arg(tracks[t].path));
            loff_t from = layout.offset;
            int64_t left = testMode ? 0 : layout.bytes;
            bool kernelCopy = true;
            while (left > 0) {
                if (stopRequested()) return removeParts();
                const size_t step = size_t(std::min<int64_t>(left, 8 << 20));
                ssize_t done = -1;
                if (kernelCopy) {
                    done = ::copy_file_range(source.fd(), &from, out.fd(), nullptr, step, 0);
                    // Across file systems, or where the kernel cannot, the
                    // copy goes through memory.
                    if (done < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                        kernelCopy = false;
                        continue;
                    }
                } else {
                    buffer.resize(step);
                    size_t got = 0;
                    if (source.readAt(uint64_t(from), buffer, &got)) {
                        buffer.resize(got);
                        done = out.write(buffer) ? ssize_t(got) : -1;
                        from += loff_t(got);
                    } else {
                        return fail(SourceFailed, QStringLiteral("The file %1 could not be read to its end.").arg(tracks[t].path));
                    }
                    buffer.clear();
                }
                if (done < 0) return writeFailed(errno);
                if (done == 0) break;  // the file was cut short meanwhile
                left -= done;
                framesDone += done / (CdAudioSource::Channels * 2);
                reportWriting();
            }
            trackFrames = (layout.bytes - left) / (CdAudioSource::Channels * 2);
            if (testMode) framesDone += frames;
        } else {
            for (;;) {
                if (stopRequested()) return removeParts();
                if (!pipeline.read(decodedIndex[size_t(t)], pcm, &error))
                    return fail(SourceFailed, QString::fromStdString(error));
                if (pcm.empty()) break;
                const int64_t frames = int64_t(pcm.size()) / CdAudioSource::Channels;
                trackFrames += frames;
                framesDone += frames;
                if (sector + SectorsForFrames(trackFrames) > imageCapacity_)
                    return fail(CapacityExceeded, QStringLiteral("The tracks do not fit on the disc."));
                const auto* bytes = reinterpret_cast<const uint8_t*>(pcm.data());
                if (!testMode) buffer.insert(buffer.end(), bytes, bytes + pcm.size() * sizeof(int16_t));
                if (buffer.size() >= (4u << 20) && !flush()) return writeFailed(errno);
                reportWriting();
            }
        }
        // Silence to the end of the track's last sector: a reader drops a
        // partial sector, and the next track starts on a sector of its own.
        const int64_t sectors = SectorsForFrames(trackFrames);
        const int64_t padding = (sectors * CdAudioSource::FramesPerSector - trackFrames) * CdAudioSource::Channels * 2;
        if (!testMode) buffer.insert(buffer.end(), size_t(padding), 0);
        sector += sectors;
        postProgress(WriteOperation, ClosingTrack, percent());
    }

    postProgress(FinalizeOperation, NoPhase, 99);
    if (!testMode) {
        // Both parts stay open, which marks them as this writer's, until
        // they have their names.
        if (!flush() || !out.sync()) return writeFailed(errno);
        const std::string binName = Local(imageName_ + ".bin");
        ClearAbandonedPart(cuePart);
        PosixFile cueOut = CreateOwnedFile(cuePart, O_WRONLY, 0644);
        const std::string text = cueimage::RenderCue(binName, table);
        if (!cueOut.isOpen() || !cueOut.write({reinterpret_cast<const uint8_t*>(text.data()), text.size()}) ||
            !cueOut.sync()) {
            const int error = cueOut.isOpen() ? errno : cueOut.openError();
            return fail(error == ENOSPC ? NoSpace : WriteFailed,
                        QStringLiteral("Cannot write %1: %2").arg(QString::fromStdString(cuePart), SystemText(error)));
        }
        if (stopRequested()) return removeParts();
        // The .bin first: whoever watches for the cue finds its audio there.
        if (::rename(binPart.c_str(), bin.c_str()) != 0 || ::rename(cuePart.c_str(), cue.c_str()) != 0) {
            const int error = errno;
            ::unlink(bin.c_str());
            return fail(WriteFailed, QStringLiteral("Cannot name the image %1: %2").arg(QString::fromStdString(cue), SystemText(error)));
        }
        SyncFolder(folder);
    }
    finishOperation();
}

DiscRecorder::Failure AudioDiscWriter::startErase(int index, bool quick) {
    if (isImage(index)) return startImageErase();
    const QString address = devices()[index].address;
    runWorker([this, address, quick] {
        endWork(drive_->drive.erase(
            address, quick, [this](int operation, int phase, int percent) { postProgress(operation, phase, percent); },
            [this] { return stopRequested(); }));
    });
    return {};
}

DiscRecorder::Failure AudioDiscWriter::startImageErase() {
    // Deleting frees the space at once; a reader that still has the old
    // .bin open keeps reading it, as it would if the image were rewritten.
    // The cue goes first, so the pair never reads as an image without audio.
    const std::string folder = Local(imageFolder_);
    for (const QString& suffix : {QStringLiteral(".cue"), QStringLiteral(".bin"), QStringLiteral(".cue.part"),
                                  QStringLiteral(".bin.part")}) {
        const std::string path = JoinPath(folder, Local(imageName_ + suffix));
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            const int error = errno;
            return {EraseFailed, QStringLiteral("Cannot delete %1: %2").arg(QString::fromStdString(path), SystemText(error))};
        }
    }
    postProgress(EraseOperation, NoPhase, 0);
    finishOperation();
    return {};
}

void AudioDiscWriter::cancelDevice(int index) {
    if (!isImage(index)) drive_->drive.cancel();
}

void AudioDiscWriter::ejectDevice(int index) {
    if (!isImage(index)) BurnDrive::eject(devices()[index].address);
}

void AudioDiscWriter::closeTrayDevice(int index) {
    if (!isImage(index)) BurnDrive::closeTray(devices()[index].address);
}

void AudioDiscWriter::unlockTrayDevice(int index) {
    if (!isImage(index)) BurnDrive::unlockTray(devices()[index].address);
}
