#include "tools/conversionjob.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

#include "components/audio/audiofile.h"
#include "components/audio/audioinformation.h"
#include "components/audio/tagcopy.h"
#include "platform/paths.h"
#include "tags/audiokind.h"
#include "jobs/toolfiles.h"

namespace {

std::string Local(const QString& path) { return LocalPathString(path); }

// A source without any tag field has nothing to copy; writing its empty tag
// would only rewrite the whole output again.
bool HasTagFields(const AudioInformation& t) {
    for (const std::string* text : {&t.infoTitle, &t.infoArtist, &t.infoAlbum, &t.infoComments, &t.infoCopyright,
                                    &t.infoURL, &t.infoEncodedBy, &t.infoComposer, &t.infoOriginalArtist})
        if (!text->empty()) return true;
    return t.infoYear != 0 || t.infoTrack != 0 || t.infoGenre != 12;
}

}  // namespace

QString TargetExtension(TargetFormat target) { return OutputExtension(target); }

ConversionJob::ConversionJob(ConversionSettings settings, QStringList sources, JobHandler* handler,
                             QObject* handlerContext)
    : ToolJob(handler, handlerContext), settings_(std::move(settings)), sources_(std::move(sources)) {}

bool ConversionJob::work() {
    // An empty batch writes nothing. The WMA window still runs its end step
    // and opens its output folder, so that Start shows where its files go;
    // the other windows keep an empty Start free of side effects.
    if (sources_.isEmpty()) return settings_.target == TargetFormat::Wma;
    for (int row = 0; row < sources_.size(); ++row) {
        if (!checkpoint()) break;
        beginItem(row, static_cast<int>(sources_.size()));
        if (convertRow(row, sources_[row]) == RowEnd::EndBatch) break;
    }
    setPercent(0);
    return true;
}

void ConversionJob::configureWriter(AudioFile& writer) const {
    OutputFormat format = settings_;
    format.kind = settings_.target;
    format.configure(writer);
}

ConversionJob::RowEnd ConversionJob::convertRow(int row, const QString& source) {
    setPercent(0);
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
        setItemState(row, rowstate::Failed);
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
        inPlace ? allTags.take(Local(source), &tagError) : tags.loadTags(Local(source)) && HasTagFields(tags);

    AudioFile reader;
    if (!reader.open(Local(source), 0, 1) || !reader.seek(0, 3)) {
        reader.close();
        tell(QStringLiteral("ERROR!"), QStringLiteral("Failed to open file ") + source);
        setItemState(row, rowstate::Failed);
        return RowEnd::Next;
    }
    if (NameTaken(output)) {
        if (!ask(QStringLiteral("Confirmation"), output + QStringLiteral(" already exists. Overwrite?"))) {
            reader.close();
            return stopRequested() ? RowEnd::EndBatch : RowEnd::Next;
        }
        MakeWritable(output);
    }
    setItemState(row, rowstate::Converting);
    AudioFile writer;
    configureWriter(writer);
    if (!writer.create(Local(output), 0)) {
        reader.close();
        tell(QStringLiteral("ERROR!"), QStringLiteral("Failed to create file ") + output);
        setItemState(row, rowstate::Failed);
        return RowEnd::Next;
    }
    writer.setInputFormat(reader.getPcmSampleRate(), reader.getPcmChannels());
    // Every way out but keep() leaves nothing under the output's name.
    PendingOutput pending(writer);
    const Copy copied = copyBlocks(reader, writer, source);
    reader.close();
    if (copied == Copy::Stopped) {
        setItemState(row, rowstate::Unconverted);
        return RowEnd::EndBatch;
    }
    // A WAV output takes its tags with the audio rather than in a second
    // pass over the finished file.
    const bool tagsWithAudio = !inPlace && haveTags && copied == Copy::Done && writer.setWavInfo(tags.wavInfoItems());
    if (copied != Copy::Done || !pending.keep()) return writeFailed(row);
    bool tagged = true;
    if (inPlace) {
        tagged = haveTags && allTags.put(Local(output), &tagError);
    } else if (tagsWithAudio) {
        tagged = writer.wavInfoWritten();
        if (!tagged) tagError = "There is no room for the tag on the disk.";
    } else if (haveTags) {
        tagged = tags.save(Local(output));
        tagError = tags.lastError();
    }
    // The audio is written either way; a row whose tags are missing says
    // so, and the log says why.
    if (!tagged) logTagWriteFailure(output, tagError);
    setItemState(row, tagged ? rowstate::Finished : rowstate::Failed);
    setPercent(100);
    return RowEnd::Next;
}

// The output is lost either way; the user decides whether the batch goes on.
ConversionJob::RowEnd ConversionJob::writeFailed(int row) {
    setItemState(row, rowstate::Failed);
    if (stopRequested()) return RowEnd::EndBatch;
    return ask(QStringLiteral("Confirmation"), QStringLiteral("File write error! Continue?")) ? RowEnd::Next
                                                                                             : RowEnd::EndBatch;
}

// One pass over the source for its peaks. A compressed source's audio is
// kept on the way, so that the output is written without decoding it again.
BlockCopyHooks ConversionJob::hooks() {
    return {[this] { return checkpoint(); }, [this](int percent) { setPercent(percent); }, [this] { letEventsRun(); }};
}

// A second reader of the source measures its peaks; a compressed source's
// decoded audio is kept for the copy.
ConversionJob::Copy ConversionJob::measurePeaks(const QString& source, PeakMeter& peaks, PcmCache& cache) {
    AudioFile scan;
    if (!scan.open(Local(source))) return Copy::ReadFailed;
    return MeasurePeaks(scan, AudioKindOfPath(Local(source)) != AudioKind::Wav, peaks, cache, hooks());
}

ConversionJob::Copy ConversionJob::copyBlocks(BlockSource& reader, AudioFile& writer, const QString& source) {
    BlockCopyOptions options;
    options.normalize = settings_.normalize;
    options.ratio = settings_.ratio;
    options.fade = settings_.fade;
    options.fadeIn = settings_.fadeIn;
    options.fadeOut = settings_.fadeOut;
    options.perChannel = settings_.target == TargetFormat::Wav;
    return CopyBlocks(reader, writer, options, hooks(),
                      [&](PeakMeter& peaks, PcmCache& cache) { return measurePeaks(source, peaks, cache); });
}
