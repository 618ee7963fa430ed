#include "tools/cutjob.h"

#include <QFileInfo>

#include <algorithm>

#include "components/audio/audiofile.h"
#include "platform/paths.h"
#include "jobs/toolfiles.h"

namespace {

const QString kError = QStringLiteral("ERROR!");

}  // namespace

QString CutOutputPath(const QString& folder, const QString& source) {
    return QString::fromStdString(
        JoinPath(folder.toStdString(), (QStringLiteral("cut") + QFileInfo(source).fileName()).toStdString()));
}

int64_t CutFrameAt(int permille, int64_t length) { return MulDiv64(permille, length, 1000); }

CutJob::CutJob(CutSettings settings, JobHandler* handler, QObject* handlerContext)
    : ToolJob(handler, handlerContext), settings_(std::move(settings)) {}

bool CutJob::work() {
    AudioFile reader;
    if (!reader.open(LocalPathString(settings_.source), 0, 1)) {
        tell(QStringLiteral("Error"), QStringLiteral("File read error") + QStringLiteral(": ") + settings_.source);
        return false;
    }
    const int64_t length = reader.getLength();
    // A source that reads as holding no audio (a header that counts none)
    // would give an empty output that looks like a finished cut.
    if (length <= 0) {
        tell(QStringLiteral("Error"), QStringLiteral("File read error") + QStringLiteral(": ") + settings_.source);
        return false;
    }
    const int64_t start = CutFrameAt(settings_.startPermille, length);
    const int64_t end = CutFrameAt(settings_.endPermille, length);
    if (end < start) {
        tell(QStringLiteral("Information"), QStringLiteral("The start-time must be smaller than end-time"));
        return false;
    }
    const int rate = reader.getSampleRate();
    const int channels = reader.getChannels();
    // One second over all channels.
    const int64_t chunk = static_cast<int64_t>(rate) * channels;
    reader.seek(start, 3);

    CreateFolderPath(settings_.outputFolder.toStdString());
    const QString out = CutOutputPath(settings_.outputFolder, settings_.source);
    if (NameTaken(out)) {
        if (!ask(QStringLiteral("Confirmation"), out + QStringLiteral(" already exists.Overwrite?"))) return false;
        MakeWritable(out);
    }
    AudioFile writer;
    if (!writer.create(LocalPathString(out), 0)) {
        tell(kError, QStringLiteral("File write error!"));
        return false;
    }
    PendingOutput output(writer);
    emit cutStarted();
    writer.setInputFormat(rate, channels);
    if (writer.getError() != AudioErrorNone) {
        tell(kError, QStringLiteral("File write error!"));
        return false;
    }

    const int64_t total = end - start;
    int64_t done = 0;
    int64_t pos = start;
    while (pos < end) {
        letEventsRun();
        if (stopRequested()) return true;
        // The rest is counted in samples, as the block is: a rest that is
        // not a whole second is read in one piece of whole frames.
        AudioBlock block = reader.readBlock(std::min(chunk, (end - pos) * channels));
        if (reader.getError() != AudioErrorNone &&
            !ask(kError, QStringLiteral("File write error! Continue?")))
            return true;
        if (block.empty()) break;
        const int64_t frames = block.frames(channels);
        pos += frames;
        writer.writeBlock(block);
        if (writer.getError() != AudioErrorNone) {
            // The writer cannot take any more of this output.
            tell(kError, QStringLiteral("File write error!"));
            return true;
        }
        done += frames;
        setPercent(static_cast<int>(MulDiv64(done, 100, total)));
    }
    if (!output.keep()) tell(kError, QStringLiteral("File write error!"));
    return true;
}
