#include "tools/combinejob.h"

#include <QFileInfo>

#include <algorithm>

#include "components/audio/audiofile.h"
#include "components/audio/tagcopy.h"
#include "platform/texthelpers.h"
#include "platform/paths.h"
#include "tools/toolfiles.h"

namespace {

const QString kError = QStringLiteral("ERROR!");
const QString kInformation = QStringLiteral("Information");

}  // namespace

QString CombineExtension(CombineFormat format) {
    switch (format) {
    case CombineFormat::Wav: return QStringLiteral(".wav");
    case CombineFormat::Mp3: return QStringLiteral(".mp3");
    case CombineFormat::Ogg: return QStringLiteral(".ogg");
    case CombineFormat::Wma: return QStringLiteral(".wma");
    }
    return {};
}

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

void CombineJob::setCurrent(int percent) {
    if (percent == current_) return;
    current_ = percent;
    emit currentProgressChanged(percent);
}

void CombineJob::setTotal(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (percent == total_) return;
    total_ = percent;
    emit totalProgressChanged(percent);
}

bool CombineJob::configure(AudioFile& writer) {
    const CombineSettings& s = settings_;
    switch (s.format) {
    case CombineFormat::Wav: writer.setWavFormat(s.wavRate, s.wavChannels, s.wavBits); break;
    case CombineFormat::Mp3:
        if (!writer.setMp3Format(s.mp3.sampleRate, s.mp3.bitrate, s.mp3.channelMode)) {
            tell(kInformation,
                 QStringLiteral("Do not support this MP3 format! Please high the Frequency or the Bitrate."));
            return false;
        }
        writer.setMp3Encoder(s.mp3);
        break;
    case CombineFormat::Ogg: writer.setOggFormat(s.oggRate, s.oggChannels, s.oggKbps, 0, 0, s.oggQuality); break;
    case CombineFormat::Wma: writer.setWmaFormat(s.wmaProfile); break;
    }
    return true;
}

bool CombineJob::work() {
    CreateFolder(settings_.outputFolder.toStdString());
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
                setCurrent(0);
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
                setCurrent(100);
                break;
            }
            const int64_t frames = block.frames(channels);
            pos += frames;
            done += frames;
            setCurrent(static_cast<int>(std::min<int64_t>(pos, length) * 100 / length));
            setTotal(total > 0 ? static_cast<int>(done * 100 / total) : 100);
            writer.writeBlock(block);
            if (writer.getError() != AudioErrorNone) {
                tell(kError, QStringLiteral("File write error!"));
                return true;
            }
        }
        reader.close();
        setCurrent(0);
    }
    if (!output.keep()) {
        tell(kError, QStringLiteral("File write error!"));
    } else if (!tagsTaken || !keptTags.put(LocalPathString(out), &tagError)) {
        tell(kError, logTagWriteFailure(out, tagError));
    }
    return true;
}
