#include "disc/cdconversionjob.h"

#include <QDir>
#include <QFile>

#include <vector>

#include "components/audio/audiofile.h"
#include "components/discwriter/cdaudiosource.h"
#include "components/discwriter/trackpipeline.h"
#include "disc/cdfilelist.h"

CdConversionJob::CdConversionJob(QStringList sources, QString folder, JobHandler* handler, QObject* handlerContext,
                                 int decoders)
    : ToolJob(handler, handlerContext), sources_(std::move(sources)), folder_(std::move(folder)), decoders_(decoders) {}

bool CdConversionJob::work() {
    QStringList files, sources;
    {
        std::vector<std::string> paths;
        for (const QString& source : sources_) paths.push_back(QFile::encodeName(source).toStdString());
        // Goes before the files are counted: its decoders stop at once on a
        // stop or an early end instead of decoding rows nobody takes.
        TrackPipeline decoded(std::move(paths), decoders_);
        for (int row = 0; row < sources_.size(); ++row) {
            if (!checkpoint()) break;
            bool endConversion = false;
            const QString temp = convertOne(decoded, row, &endConversion);
            if (!temp.isEmpty()) {
                files << temp;
                sources << sources_[row];
            }
            if (endConversion) break;
        }
    }
    if (stopRequested()) {
        for (const QString& file : files) QFile::remove(file);
        files.clear();
        sources.clear();
    }
    emit converted(files, sources, stopRequested());
    return !files.isEmpty();
}

QString CdConversionJob::convertOne(TrackPipeline& decoded, int row, bool* endConversion) {
    const QString path = sources_[row];
    setPercent(0);
    inform(QStringLiteral("Preparing Track %1 for CD burning...").arg(row + 1));
    const QString temp = QDir(folder_).filePath(QStringLiteral("Track %1.wav").arg(row + 1));

    // The decoder may have opened the file long ago: what counts is
    // whether it is there now, at its turn.
    const ListedEntryKind kind = InspectListedEntry(QFile::encodeName(path).toStdString());
    if (kind == ListedEntryKind::Missing) {
        decoded.drop(size_t(row));
        if (!ask(QStringLiteral("Confirmation"), path + QStringLiteral(" has been removed. Continue?")))
            *endConversion = true;
        return {};
    }
    int64_t frames = 0;
    std::string error;
    // A FIFO or a device is never opened, by the decoder either: it would
    // block or never end.
    if (kind != ListedEntryKind::RegularFile || !decoded.opened(size_t(row), &frames, &error)) {
        decoded.drop(size_t(row));
        tell(QStringLiteral("ERROR!"), QStringLiteral("Failed to open file ") + path);
        return {};
    }
    if (frames == 0) {
        decoded.drop(size_t(row));
        tell(QStringLiteral("Information"), path + QStringLiteral(" is an empty file!"));
        return {};
    }
    AudioFile out;
    out.setWavFormat(CdAudioSource::Rate, CdAudioSource::Channels, 16);
    if (!out.create(QFile::encodeName(temp).toStdString(), 1)) {
        decoded.drop(size_t(row));
        tell(QStringLiteral("ERROR!"), QStringLiteral("Failed to create CD quality WAV file!"));
        return {};
    }
    PendingOutput pending(out);
    out.setInputFormat(CdAudioSource::Rate, CdAudioSource::Channels);
    int64_t position = 0;
    AudioBlock block;
    for (;;) {
        if (!checkpoint()) {
            decoded.drop(size_t(row));
            return {};
        }
        if (!decoded.read(size_t(row), block.samples, &error)) {
            tell(QStringLiteral("ERROR!"), QStringLiteral("File read error!"));
            return {};
        }
        if (block.empty()) break;
        out.writeBlock(block);
        if (out.getError() != 0) {
            decoded.drop(size_t(row));
            tell(QStringLiteral("ERROR!"), QStringLiteral("File write error!"));
            return {};
        }
        position += block.frames(CdAudioSource::Channels);
        setPercent(int(std::min<int64_t>(100, position * 100 / frames)));
    }
    if (!pending.keep()) {
        tell(QStringLiteral("ERROR!"), QStringLiteral("File write error!"));
        return {};
    }
    setPercent(100);
    return temp;
}
