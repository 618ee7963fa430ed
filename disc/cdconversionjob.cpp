#include "disc/cdconversionjob.h"

#include <QDir>
#include <QFile>

#include "components/audio/audiofile.h"
#include "disc/cdfilelist.h"

CdConversionJob::CdConversionJob(QStringList sources, QString folder, JobHandler* handler, QObject* handlerContext)
    : ToolJob(handler, handlerContext), sources_(std::move(sources)), folder_(std::move(folder)) {}

bool CdConversionJob::work() {
    QStringList files, sources;
    for (int row = 0; row < sources_.size(); ++row) {
        if (!checkpoint()) break;
        bool endConversion = false;
        const QString temp = convertOne(row, &endConversion);
        if (!temp.isEmpty()) {
            files << temp;
            sources << sources_[row];
        }
        if (endConversion) break;
    }
    if (stopRequested()) {
        for (const QString& file : files) QFile::remove(file);
        files.clear();
        sources.clear();
    }
    emit converted(files, sources, stopRequested());
    return !files.isEmpty();
}

QString CdConversionJob::convertOne(int row, bool* endConversion) {
    const QString path = sources_[row];
    setPercent(0);
    inform(QStringLiteral("Preparing Track %1 for CD burning...").arg(row + 1));
    const QString temp = QDir(folder_).filePath(QStringLiteral("Track %1.wav").arg(row + 1));
    const std::string local = QFile::encodeName(path).toStdString();

    const ListedEntryKind kind = InspectListedEntry(local);
    if (kind == ListedEntryKind::Missing) {
        if (!ask(QStringLiteral("Confirmation"), path + QStringLiteral(" has been removed. Continue?")))
            *endConversion = true;
        return {};
    }
    // A FIFO or a device is never opened: it would block or never end.
    AudioFile in;
    if (kind != ListedEntryKind::RegularFile || !in.open(local, 0, 1)) {
        tell(QStringLiteral("ERROR!"), kind != ListedEntryKind::RegularFile || in.getError() == AudioErrorFileOpen
                                           ? QStringLiteral("Failed to open file ") + path
                                           : QStringLiteral("Failed to create CD quality WAV file!"));
        return {};
    }
    if (in.getLength() == 0) {
        tell(QStringLiteral("Information"), path + QStringLiteral(" is an empty file!"));
        return {};
    }
    AudioFile out;
    out.setWavFormat(44100, 2, 16);
    if (!out.create(QFile::encodeName(temp).toStdString(), 1)) {
        tell(QStringLiteral("ERROR!"), QStringLiteral("Failed to create CD quality WAV file!"));
        return {};
    }
    const int rate = in.getPcmSampleRate(), channels = in.getPcmChannels();
    out.setInputFormat(rate, channels);
    const int64_t length = in.getLength();
    int64_t position = 0;
    for (;;) {
        if (!checkpoint()) {
            out.abandon();
            return {};
        }
        const int64_t left = (length - position) * channels;
        const int64_t count = left > 0 ? std::min<int64_t>(int64_t(rate) * channels, left) : int64_t(rate) * channels;
        const AudioBlock block = in.readBlock(count);
        if (in.getError() != 0) {
            out.abandon();
            tell(QStringLiteral("ERROR!"), QStringLiteral("File read error!"));
            return {};
        }
        if (block.empty()) break;
        out.writeBlock(block);
        if (out.getError() != 0) {
            out.abandon();
            tell(QStringLiteral("ERROR!"), QStringLiteral("File write error!"));
            return {};
        }
        position += block.frames(channels);
        setPercent(length > 0 ? int(std::min<int64_t>(100, position * 100 / length)) : 100);
    }
    out.close();
    if (out.getError() != 0) {
        tell(QStringLiteral("ERROR!"), QStringLiteral("File write error!"));
        QFile::remove(temp);
        return {};
    }
    setPercent(100);
    return temp;
}
