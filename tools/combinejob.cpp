#include "tools/combinejob.h"

#include <QFileInfo>

#include <algorithm>

#include "components/audio/audiofile.h"
#include "components/audio/tagcopy.h"
#include "platform/texthelpers.h"
#include "platform/paths.h"
#include "jobs/toolfiles.h"

namespace {

const QString kError = QStringLiteral("ERROR!");
const QString kInformation = QStringLiteral("Information");

}  // namespace

QString CombineExtension(CombineFormat format) { return OutputExtension(format); }

QString CombineOutputName(const QString& typed) {
    const QString name = QString::fromStdString(RemoveInvalidFileNameChars(typed.toStdString()));
    return name.isEmpty() ? QStringLiteral("Newcombine") : name;
}

CombineJob::CombineJob(CombineSettings settings, JobHandler* handler, QObject* handlerContext)
    : ToolJob(handler, handlerContext), settings_(std::move(settings)) {}

QString CombineJob::outputPath() const {
    return QString::fromStdString(
        JoinPath(settings_.outputFolder.toStdString(),
                 (CombineOutputName(settings_.fileName) + CombineExtension(settings_.format)).toStdString()));
}

void CombineJob::setTotal(int percent) {
    setPercent(std::clamp(percent, 0, 100));
}

bool CombineJob::configure(AudioFile& writer) {
    OutputFormat format = settings_;
    format.kind = settings_.format;
    format.refuseUnsupportedMp3 = true;
    const QString refusal = format.configure(writer);
    if (refusal.isEmpty()) return true;
    tell(kInformation, refusal);
    return false;
}

bool CombineJob::work() {
    CreateFolderPath(settings_.outputFolder.toStdString());
    const QString out = outputPath();
    AudioFile writer;
    if (!configure(writer)) return false;
    if (NameTaken(out)) {
        if (!ask(QStringLiteral("Confirmation"), out + QStringLiteral(" aleardy exists. Overwrite?"))) return false;
        MakeWritable(out);
    }
    // An output that takes the place of one of its inputs keeps that input's
    // tags; they are taken before the input is gone.
    TagSnapshot keptTags;
    std::string tagError;
    bool tagsTaken = true;
    const auto replaced = std::find_if(settings_.sources.begin(), settings_.sources.end(),
                                       [&](const QString& source) { return ReplacesSource(out, source); });
    if (replaced != settings_.sources.end()) tagsTaken = keptTags.take(LocalPathString(*replaced), &tagError);
    if (!writer.create(LocalPathString(out), 0)) {
        tell(kError, QStringLiteral("File write error! Continue?"));
        return false;
    }
    PendingOutput output(writer);

    AudioFile reader;
    int64_t total = 0;
    for (const QString& source : settings_.sources) {
        if (!reader.open(LocalPathString(source), 0, 1)) {
            tell(kInformation, SourceFailureText(source));
            return true;
        }
        total += reader.getLength();
        reader.close();
    }

    int64_t done = 0;
    for (const QString& source : settings_.sources) {
        if (stopRequested()) return true;
        if (!reader.open(LocalPathString(source), 0, 1)) {
            tell(kInformation, SourceFailureText(source));
            return true;
        }
        const int rate = reader.getPcmSampleRate();
        const int channels = reader.getPcmChannels();
        const int64_t length = reader.getLength();
        const int64_t chunk = static_cast<int64_t>(rate) * channels;
        writer.setInputFormat(rate, channels);
        if (writer.getError() != AudioErrorNone) {
            tell(kError, QStringLiteral("File write error!"));
            return true;
        }
        int64_t pos = 0;
        while (pos < length) {
            letEventsRun();
            if (stopRequested()) {
                setSubPercent(0);
                return true;
            }
            // The rest in samples, as the block counts them: a tail that is
            // not a whole second is one read of whole frames.
            AudioBlock block = reader.readBlock(std::min(chunk, (length - pos) * channels));
            if (reader.getError() != AudioErrorNone) {
                tell(kInformation, SourceFailureText(source));
                return true;
            }
            if (block.empty()) {
                setSubPercent(100);
                break;
            }
            const int64_t frames = block.frames(channels);
            pos += frames;
            done += frames;
            setSubPercent(static_cast<int>(std::min<int64_t>(pos, length) * 100 / length));
            setTotal(total > 0 ? static_cast<int>(done * 100 / total) : 100);
            writer.writeBlock(block);
            if (writer.getError() != AudioErrorNone) {
                tell(kError, QStringLiteral("File write error!"));
                return true;
            }
        }
        reader.close();
        setSubPercent(0);
    }
    if (!output.keep()) {
        tell(kError, QStringLiteral("File write error!"));
    } else if (!tagsTaken || !keptTags.put(LocalPathString(out), &tagError)) {
        tell(kError, logTagWriteFailure(out, tagError));
    }
    return true;
}
