#include "tools/conversionjob.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

#include "components/audio/audiofile.h"
#include "components/audio/audioinformation.h"
#include "components/audio/audiotransform.h"
#include "components/audio/tagcopy.h"
#include "platform/paths.h"
#include "tags/audiokind.h"
#include "tools/blockplanner.h"
#include "tools/pcmcache.h"
#include "tools/toolfiles.h"

namespace {

std::string Local(const QString& path) { return LocalPathString(path); }

// About 25 minutes of CD audio: longer sources are decoded twice rather
// than filling the temporary folder.
constexpr int64_t kMaxCacheBytes = int64_t{256} << 20;

// A source without any tag field has nothing to copy; writing its empty tag
// would only rewrite the whole output again.
bool HasTagFields(const AudioInformation& t) {
    for (const std::string* text : {&t.infoTitle, &t.infoArtist, &t.infoAlbum, &t.infoComments, &t.infoCopyright,
                                    &t.infoURL, &t.infoEncodedBy, &t.infoComposer, &t.infoOriginalArtist})
        if (!text->empty()) return true;
    return t.infoYear != 0 || t.infoTrack != 0 || t.infoGenre != 12;
}

}  // namespace

QString TargetExtension(TargetFormat target) {
    switch (target) {
    case TargetFormat::Mp3: return QStringLiteral(".mp3");
    case TargetFormat::Wav: return QStringLiteral(".wav");
    case TargetFormat::Ogg: return QStringLiteral(".ogg");
    case TargetFormat::Wma: return QStringLiteral(".wma");
    }
    return {};
}

ConversionJob::ConversionJob(ConversionSettings settings, QStringList sources, JobHandler* handler,
                             QObject* handlerContext)
    : ToolJob(handler, handlerContext), settings_(std::move(settings)), sources_(std::move(sources)) {}

void ConversionJob::setProgress(int percent) {
    if (percent == progress_) return;
    progress_ = percent;
    emit progressChanged(percent);
}

bool ConversionJob::work() {
    // An empty batch writes nothing. The WMA window still runs its end step
    // and opens its output folder, so that Start shows where its files go;
    // the other windows keep an empty Start free of side effects.
    if (sources_.isEmpty()) return settings_.target == TargetFormat::Wma;
    for (int row = 0; row < sources_.size(); ++row) {
        if (!checkpoint()) break;
        if (convertRow(row, sources_[row]) == RowEnd::EndBatch) break;
    }
    setProgress(0);
    return true;
}

void ConversionJob::configureWriter(AudioFile& writer) const {
    const ConversionSettings& s = settings_;
    switch (s.target) {
    case TargetFormat::Mp3: writer.setMp3Encoder(s.mp3); break;
    case TargetFormat::Wav: writer.setWavFormat(s.wavRate, s.wavChannels, s.wavBits); break;
    case TargetFormat::Ogg: writer.setOggFormat(s.oggRate, s.oggChannels, s.oggKbps, 0, 0, s.oggQuality); break;
    case TargetFormat::Wma: writer.setWmaFormat(s.wmaProfile); break;
    }
}

ConversionJob::RowEnd ConversionJob::convertRow(int row, const QString& source) {
    setProgress(0);
    const QFileInfo sourceInfo(source);
    const QString folder = settings_.outputFolder;
    CreateFolderPath(Local(folder));
    const QString output = QString::fromStdString(
        JoinPath(Local(folder), Local(sourceInfo.completeBaseName() + TargetExtension(settings_.target))));
    // One file that cannot be found is one failed row; the rest of the
    // batch goes on.
    if (!NameTaken(source)) {
        tell(QStringLiteral("Information"),
             sourceInfo.fileName() +
                 (settings_.target == TargetFormat::Wma ? QStringLiteral(" has been moved")
                                                         : QStringLiteral(" has been removed")));
        emit rowStateChanged(row, rowstate::Failed);
        return RowEnd::Next;
    }
    // The tags are read first: when the output replaces its source, the
    // source is gone by the time they are written. Such an output keeps all
    // of them (pictures, lyrics, every other frame), not just the fields.
    const bool inPlace = ReplacesSource(output, source);
    AudioInformation tags;
    TagSnapshot allTags;
    std::string tagError;
    const bool haveTags =
        inPlace ? allTags.take(Local(source), &tagError) : tags.load(Local(source)) && HasTagFields(tags);

    AudioFile reader;
    if (!reader.open(Local(source), 0, 1) || !reader.seek(0, 3)) {
        reader.close();
        tell(QStringLiteral("ERROR!"), QStringLiteral("Failed to open file ") + source);
        emit rowStateChanged(row, rowstate::Failed);
        return RowEnd::Next;
    }
    if (NameTaken(output)) {
        if (!ask(QStringLiteral("Confirmation"), output + QStringLiteral(" already exists. Overwrite?"))) {
            reader.close();
            return stopRequested() ? RowEnd::EndBatch : RowEnd::Next;
        }
        MakeWritable(output);
    }
    emit rowStateChanged(row, rowstate::Converting);
    AudioFile writer;
    configureWriter(writer);
    if (!writer.create(Local(output), 0)) {
        reader.close();
        tell(QStringLiteral("ERROR!"), QStringLiteral("Failed to create file ") + output);
        emit rowStateChanged(row, rowstate::Failed);
        return RowEnd::Next;
    }
    writer.setInputFormat(reader.getPcmSampleRate(), reader.getPcmChannels());
    // Every way out but keep() leaves nothing under the output's name.
    PendingOutput pending(writer);
    const Copy copied = copyBlocks(reader, writer, source);
    reader.close();
    if (copied == Copy::Stopped) {
        emit rowStateChanged(row, rowstate::Unconverted);
        return RowEnd::EndBatch;
    }
    if (copied != Copy::Done || !pending.keep()) return writeFailed(row);
    bool tagged = true;
    if (inPlace) {
        tagged = haveTags && allTags.put(Local(output), &tagError);
    } else if (haveTags) {
        tagged = tags.save(Local(output));
        tagError = tags.lastError();
    }
    // The audio is written either way; a row whose tags are missing says
    // so, and the log says why.
    if (!tagged) logTagWriteFailure(output, tagError);
    emit rowStateChanged(row, tagged ? rowstate::Finished : rowstate::Failed);
    setProgress(100);
    return RowEnd::Next;
}

// The output is lost either way; the user decides whether the batch goes on.
ConversionJob::RowEnd ConversionJob::writeFailed(int row) {
    emit rowStateChanged(row, rowstate::Failed);
    if (stopRequested()) return RowEnd::EndBatch;
    return ask(QStringLiteral("Confirmation"), QStringLiteral("File write error! Continue?")) ? RowEnd::Next
                                                                                             : RowEnd::EndBatch;
}

// One pass over the source for its peaks. A compressed source's audio is
// kept on the way, so that the output is written without decoding it again.
ConversionJob::Copy ConversionJob::measurePeaks(const QString& source, PeakMeter& peaks, PcmCache& cache) {
    AudioFile scan;
    if (!scan.open(Local(source), 0, 1)) return Copy::ReadFailed;
    const int channels = std::max(scan.getPcmChannels(), 1);
    if (AudioKindOfPath(Local(source)) != AudioKind::Wav)
        cache.open(QDir::tempPath().toStdString(), channels, kMaxCacheBytes);
    const int64_t blockSamples = static_cast<int64_t>(scan.getPcmSampleRate()) * channels * 4;
    for (;;) {
        if (!checkpoint()) return Copy::Stopped;
        AudioBlock block = scan.readBlock(blockSamples);
        if (scan.getError() != 0) return Copy::ReadFailed;
        if (block.empty()) return Copy::Done;
        peaks.add(block, channels);
        cache.append(block);
    }
}

ConversionJob::Copy ConversionJob::copyBlocks(AudioFile& reader, AudioFile& writer, const QString& source) {
    const int channels = std::max(reader.getChannels(), 1);
    const int rate = reader.getPcmSampleRate();
    AudioTransform transform;
    transform.sampleRate = rate;
    transform.channels = channels;
    // One gain for the whole file (per channel into WAV), from its peaks.
    PeakMeter peaks;
    PcmCache cache;
    const bool perChannel = settings_.target == TargetFormat::Wav && channels == 2;
    if (settings_.normalize) {
        const Copy measured = measurePeaks(source, peaks, cache);
        if (measured != Copy::Done) return measured;
        transform.setReferencePeak(peaks.peak);
    }
    const bool cached = cache.usable();

    BlockPlanInput in;
    in.length = cached ? cache.frames() : reader.getLength();
    in.framesPerSecond = cached ? rate : FramesPerSecond(in.length, reader.getDuration(), rate);
    in.channels = channels;
    in.fade = settings_.fade;
    in.fadeIn = settings_.fadeIn;
    in.fadeOut = settings_.fadeOut;
    in.normalize = settings_.normalize;
    const float ratio = static_cast<float>(settings_.ratio);

    for (;;) {
        if (!checkpoint()) return Copy::Stopped;
        const BlockPlan plan = PlanBlock(in);
        AudioBlock block = cached ? cache.read(plan.request) : reader.readBlock(plan.request);
        if (cached ? cache.readFailed() : reader.getError() != 0) return Copy::ReadFailed;
        if (in.length > 0) setProgress(static_cast<int>(std::min(in.position, in.length) * 100 / in.length));
        if (block.empty()) {
            setProgress(100);
            return Copy::Done;
        }
        if (settings_.normalize) {
            if (perChannel) {
                AudioBlock left = transform.getLeftChannel(block);
                AudioBlock right = transform.getRightChannel(block);
                transform.setReferencePeak(peaks.channelPeaks[0]);
                transform.normalize(left, true, ratio);
                transform.setReferencePeak(peaks.channelPeaks[1]);
                transform.normalize(right, true, ratio);
                block = transform.joinChannels(left, right);
            } else {
                transform.normalize(block, true, ratio);
            }
        }
        if (plan.fadeIn) transform.fade(block, 0.0f, 100.0f);
        if (plan.fadeOut) transform.fade(block, 100.0f, 0.0f);
        writer.writeBlock(block);
        if (writer.getError() != 0) return Copy::WriteFailed;
        in.position += block.size() / channels;
        letEventsRun();
    }
}
