#include "disc/riprun.h"

#include <sys/stat.h>

#include "components/audio/audiofile.h"
#include "components/audio/audioinformation.h"
#include "components/audio/audiotransform.h"
#include "components/disc/cdgrabber.h"
#include "disc/ripnaming.h"
#include "jobs/blockcopy.h"
#include "jobs/tooljob.h"
#include "jobs/pcmcache.h"
#include "platform/paths.h"

namespace {

// An output name that is a link, even a dangling one, counts as a file
// that exists: the question names it, and Yes replaces the link itself.
bool somethingThere(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

RipRun::RipRun(CdGrabber& grabber, const RipSettings& settings, const OutputFormat& format, RipReporter& reporter)
    : grabber_(grabber), settings_(settings), format_(format), reporter_(reporter) {}

RipResult RipRun::run() {
    RipResult result;
    const int tracks = grabber_.trackCount();
    for (int t = 0; t < tracks; ++t)
        if (reporter_.rowTexts(t).checked) ++result.checked;
    if (result.checked == 0) return result;
    int begun = 0;
    for (int t = 1; t <= tracks; ++t) {
        if (!reporter_.checkpoint()) {
            result.stopped = true;
            break;
        }
        const TrackEnd end = ripTrack(t, begun, result.checked, result);
        if (end == TrackEnd::Done) ++result.done;
        if (end == TrackEnd::Failed || end == TrackEnd::GivenUp) ++result.failed;
        if (end == TrackEnd::GivenUp) break;
        if (end == TrackEnd::Stopped) {
            result.stopped = true;
            break;
        }
    }
    return result;
}

RipRun::TrackEnd RipRun::ripTrack(int t, int& begun, int checked, RipResult& result) {
    const RipRowTexts texts = reporter_.rowTexts(t - 1);
    if (!texts.checked) return TrackEnd::Skipped;
    const bool wma = format_.kind == OutputKind::Wma;
    const QString errorCaption = wma ? QStringLiteral("ERROR") : QStringLiteral("Error!");
    auto failed = [&] {
        reporter_.rowFinished(t - 1, false);
        return TrackEnd::Failed;
    };

    const RipTarget target =
        RipOutputPath(settings_.fileNameFormat, settings_.outputFolder, texts.title.toStdString(),
                      texts.artist.toStdString(), texts.album.toStdString(), t, format_.extension().toStdString());
    // The output folder may be one nobody made yet, such as the default
    // under a fresh home: its missing parents are made with it.
    CreateFolderPath(target.folder);
    result.lastFolder = target.folder;
    const QString path = QString::fromStdString(target.path);

    if (somethingThere(target.path)) {
        if (!reporter_.askYesNo(QStringLiteral("Confirmation"), path + " already exists.Overwrite?")) {
            reporter_.trackPercent(0);
            return TrackEnd::Skipped;
        }
        // The writer and the tag writer would follow a link to wherever it
        // points; the rip replaces the link itself, so the output stays in
        // the chosen folder and the link's target is never touched.
        struct stat st {};
        if (::lstat(target.path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) ::unlink(target.path.c_str());
    }

    AudioFile writer;
    const QString refused = format_.configure(writer);
    if (!refused.isEmpty()) {
        reporter_.tell(QStringLiteral("Error"), refused);
        return failed();
    }
    AudioInformation info;
    info.infoTitle = texts.title.toStdString();
    info.infoAlbum = texts.album.toStdString();
    info.infoArtist = texts.artist.toStdString();
    info.infoGenreS = texts.genre.toStdString();
    // An MP3's tags go in with its audio, as a WAV's do: the file takes its
    // name complete and tagged, or not at all.
    const bool mp3 = format_.kind == OutputKind::Mp3;
    if (mp3) writer.setMp3Tags(info.mp3TagBytes());
    auto openTrack = [&] {
        grabber_.setTrack(t);
        if (grabber_.openTrack(t)) return true;
        reporter_.tell(QStringLiteral("Error!"), QStringLiteral("Track open error!"));
        grabber_.closeTrack();
        return false;
    };
    // The WMA road opens the track before it creates the output.
    if (wma && !openTrack()) return failed();
    if (!writer.create(target.path, 0)) {
        reporter_.tell(QStringLiteral("Error"),
                       (writer.getError() == AudioErrorFileOpen ? "Failed to read track " : "Failed to create file ") +
                           path);
        grabber_.closeTrack();
        return failed();
    }
    PendingOutput pending(writer);
    writer.setInputFormat(CdGrabber::SampleRate, CdGrabber::Channels);
    if (!wma && !openTrack()) return failed();

    reporter_.trackPercent(0);
    ++begun;
    reporter_.counter(begun, checked);

    // A read error is put to the user once per track: Yes lets the error
    // action complete it, No gives the track up.
    int readErrorAnswer = -1;
    auto goOn = [&] {
        if (readErrorAnswer < 0)
            readErrorAnswer = reporter_.askYesNo(errorCaption, QStringLiteral("Track read error! Continue?")) ? 1 : 0;
        return readErrorAnswer == 1;
    };
    BlockCopyHooks hooks;
    hooks.checkpoint = [&] { return reporter_.checkpoint(); };
    hooks.percent = [&](int p) { reporter_.trackPercent(p); };
    hooks.readFailedGoOn = goOn;
    BlockCopyOptions options;
    options.normalize = settings_.normalize;
    options.ratio = settings_.normalizeRatio;
    options.fade = settings_.fade;
    options.fadeIn = settings_.fadeIn;
    options.fadeOut = settings_.fadeOut;
    options.perChannel = true;
    // The peaks come from a first read of the track, kept in the PCM cache
    // so the drive is read once; the copy then reads the cache.
    auto measure = [&](PeakMeter& peaks, PcmCache& cache) {
        const BlockCopyResult r = MeasurePeaks(grabber_, true, peaks, cache, hooks);
        if (r == BlockCopyResult::Done && !cache.usable()) grabber_.seek(0);
        return r;
    };
    const BlockCopyResult copied = CopyBlocks(grabber_, writer, options, hooks, measure);
    grabber_.closeTrack();
    if (copied == BlockCopyResult::Stopped) {
        reporter_.trackPercent(0);
        reporter_.rowFinished(t - 1, false);
        return TrackEnd::Stopped;
    }
    if (copied == BlockCopyResult::WriteFailed) {
        // A full disk fails every track after it alike: the user is asked
        // once, and the answer holds for the rest of the rip.
        if (writeErrorAnswer_ < 0)
            writeErrorAnswer_ = reporter_.askYesNo(errorCaption, QStringLiteral("File write error! Continue?")) ? 1 : 0;
        reporter_.trackPercent(0);
        reporter_.rowFinished(t - 1, false);
        return writeErrorAnswer_ == 1 ? TrackEnd::Failed : TrackEnd::GivenUp;
    }
    // A WAV's tag goes in with the audio, so the track is written once; a
    // tag that finds no room leaves the audio whole and fails the row.
    const bool taggedWithAudio = mp3 || (copied == BlockCopyResult::Done && writer.setWavInfo(info.wavInfoItems()));
    if (copied != BlockCopyResult::Done || !pending.keep()) {
        reporter_.trackPercent(0);
        return failed();
    }
    bool tagged = true;
    if (mp3)
        tagged = writer.mp3TagsWritten();
    else if (taggedWithAudio)
        tagged = writer.wavInfoWritten();
    else
        tagged = info.save(target.path);
    reporter_.trackPercent(100);
    reporter_.rowFinished(t - 1, tagged);
    return tagged ? TrackEnd::Done : TrackEnd::Failed;
}
