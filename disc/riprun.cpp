#include "disc/riprun.h"

#include <sys/stat.h>

#include <algorithm>

#include "components/audio/audiofile.h"
#include "components/audio/audioinformation.h"
#include "components/audio/audiotransform.h"
#include "components/disc/cdgrabber.h"
#include "disc/ripnaming.h"
#include "platform/paths.h"

namespace {

// An output name that is a link, even a dangling one, counts as a file
// that exists: the question names it, and Yes replaces the link itself.
bool somethingThere(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

RipRun::RipRun(CdGrabber& grabber, const RipSettings& settings, RipKind kind,
               std::function<bool(AudioFile&)> configureWriter, RipReporter& reporter)
    : grabber_(grabber), settings_(settings), kind_(kind), configureWriter_(std::move(configureWriter)),
      reporter_(reporter) {}

const char* RipRun::extension(RipKind kind) {
    switch (kind) {
    case RipKind::Wav: return ".wav";
    case RipKind::Mp3: return ".mp3";
    case RipKind::Ogg: return ".ogg";
    case RipKind::Wma: return ".wma";
    }
    return ".wav";
}

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
        if (end == TrackEnd::Failed) ++result.failed;
        if (end == TrackEnd::Stopped) {
            result.stopped = true;
            break;
        }
    }
    return result;
}

// The track's peak per channel, read ahead of the rip, so that the whole
// track gets one gain per channel and quiet passages stay quiet.
bool RipRun::measurePeaks(int track, int peaks[2]) {
    peaks[0] = peaks[1] = 0;
    if (!grabber_.openTrack(track)) return false;
    PeakMeter meter;
    for (;;) {
        if (!reporter_.checkpoint()) {
            grabber_.closeTrack();
            return false;
        }
        AudioBlock block = grabber_.readBlock(2 * CdGrabber::SampleRate);
        if (block.empty() && grabber_.lastError() == 0) break;
        meter.add(block, CdGrabber::Channels);
    }
    grabber_.closeTrack();
    peaks[0] = meter.channelPeaks[0];
    peaks[1] = meter.channelPeaks[1];
    return true;
}

RipRun::TrackEnd RipRun::ripTrack(int t, int& begun, int checked, RipResult& result) {
    const RipRowTexts texts = reporter_.rowTexts(t - 1);
    if (!texts.checked) return TrackEnd::Skipped;
    const bool wma = kind_ == RipKind::Wma;
    const QString errorCaption = wma ? QStringLiteral("ERROR") : QStringLiteral("Error!");

    const RipTarget target = RipOutputPath(settings_.fileNameFormat, settings_.outputFolder, texts.title.toStdString(),
                                           texts.artist.toStdString(), texts.album.toStdString(), t, extension(kind_));
    for (const auto& folder : target.folders) CreateFolder(folder);
    CreateFolder(target.folder);
    result.lastFolder = target.folder;
    const QString path = QString::fromStdString(target.path);

    if (somethingThere(target.path) &&
        !reporter_.askYesNo(QStringLiteral("Confirmation"), path + " already exists.Overwrite?")) {
        reporter_.trackPercent(0);
        return TrackEnd::Skipped;
    }

    AudioFile writer;
    if (!configureWriter_(writer)) {
        reporter_.tell(QStringLiteral("Error"), "Failed to create file " + path);
        reporter_.rowFinished(t - 1, false);
        return TrackEnd::Failed;
    }
    // The WMA road opens the track before it creates the output.
    auto openTrack = [&] {
        grabber_.setTrack(t);
        if (grabber_.openTrack(t)) return true;
        reporter_.tell(QStringLiteral("Error!"), QStringLiteral("Track open error!"));
        grabber_.closeTrack();
        return false;
    };
    auto create = [&] {
        if (writer.create(target.path, 0)) return true;
        reporter_.tell(QStringLiteral("Error"), (writer.getError() == AudioErrorFileOpen ? "Failed to read track "
                                                                                         : "Failed to create file ") +
                                                    path);
        return false;
    };
    if (wma && !openTrack()) {
        reporter_.rowFinished(t - 1, false);
        return TrackEnd::Failed;
    }
    if (!create()) {
        grabber_.closeTrack();
        reporter_.rowFinished(t - 1, false);
        return TrackEnd::Failed;
    }
    writer.setInputFormat(CdGrabber::SampleRate, CdGrabber::Channels);
    if (!wma && !openTrack()) {
        writer.abandon();
        reporter_.rowFinished(t - 1, false);
        return TrackEnd::Failed;
    }

    AudioTransform transform;
    transform.sampleRate = CdGrabber::SampleRate;
    transform.channels = CdGrabber::Channels;
    int peaks[2] = {0, 0};
    if (settings_.normalize) {
        grabber_.closeTrack();
        if (!measurePeaks(t, peaks) || !grabber_.openTrack(t)) {
            writer.abandon();
            grabber_.closeTrack();
            if (!reporter_.checkpoint()) return TrackEnd::Stopped;
            reporter_.tell(QStringLiteral("Error!"), QStringLiteral("Track open error!"));
            reporter_.rowFinished(t - 1, false);
            return TrackEnd::Failed;
        }
    }

    const int64_t length = grabber_.trackLength();
    // Every track is 44100 frames a second; no division by a duration that
    // may be 0.
    const int64_t rate = CdGrabber::SampleRate;
    int64_t pos = 0;
    reporter_.trackPercent(0);
    ++begun;
    reporter_.counter(begun, checked);
    bool readErrorAccepted = false;
    bool abandoned = false;
    bool stopped = false;
    while (length > pos) {
        if (!reporter_.checkpoint()) {
            stopped = true;
            break;
        }
        const bool fade = settings_.fade;
        int64_t block = fade && pos == 0 ? settings_.fadeIn * rate : 2 * rate;
        bool fadeOut = false;
        if (!fade) {
            block = std::min(block, length - pos);
        } else if (pos > 0 && length - pos < (settings_.fadeOut * block) / 2 + 1) {
            block = length - pos;
            fadeOut = true;
        }
        if (block <= 0) block = std::min<int64_t>(2 * rate, length - pos);
        reporter_.trackPercent(static_cast<int>(pos * 100 / length));

        AudioBlock data = grabber_.readBlock(block);
        if (grabber_.lastError() != 0 && !readErrorAccepted) {
            // Yes lets the error action complete the track; No gives it up.
            if (!reporter_.askYesNo(errorCaption, QStringLiteral("Track read error! Continue?"))) {
                abandoned = true;
                break;
            }
            readErrorAccepted = true;
        }
        if (data.empty()) {
            if (grabber_.lastError() != 0) {
                pos += block;
                continue;
            }
            break;
        }
        if (settings_.normalize) {
            AudioBlock left = transform.getLeftChannel(data);
            AudioBlock right = transform.getRightChannel(data);
            transform.setReferencePeak(peaks[0]);
            transform.normalize(left, true, static_cast<float>(settings_.normalizeRatio));
            transform.setReferencePeak(peaks[1]);
            transform.normalize(right, true, static_cast<float>(settings_.normalizeRatio));
            data = transform.joinChannels(left, right);
        }
        if (fade && pos == 0) transform.fade(data, 0.0f, 100.0f);
        else if (fadeOut) transform.fade(data, 100.0f, 0.0f);
        writer.writeBlock(data);
        if (writer.getError() != 0 &&
            !reporter_.askYesNo(errorCaption, QStringLiteral("File write error! Continue?"))) {
            abandoned = true;
            break;
        }
        pos += block;
    }
    grabber_.closeTrack();
    if (stopped || abandoned) {
        writer.abandon();
        reporter_.trackPercent(0);
        reporter_.rowFinished(t - 1, false);
        return stopped ? TrackEnd::Stopped : TrackEnd::Failed;
    }
    writer.close();
    if (writer.getError() != 0) {
        reporter_.tell(QStringLiteral("Error"), "Failed to create file " + path);
        reporter_.rowFinished(t - 1, false);
        return TrackEnd::Failed;
    }
    AudioInformation info;
    bool tagged = true;
    for (int version : {1, 2}) {
        info.infoTitle = texts.title.toStdString();
        info.infoAlbum = texts.album.toStdString();
        info.infoArtist = texts.artist.toStdString();
        info.infoGenreS = texts.genre.toStdString();
        info.tagVersion = version;
        tagged = info.save(target.path) && tagged;
    }
    reporter_.trackPercent(100);
    reporter_.rowFinished(t - 1, tagged);
    return tagged ? TrackEnd::Done : TrackEnd::Failed;
}
