#include "disc/cdconversionjob.h"

#include <QDir>
#include <QFile>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "components/audio/audiofile.h"
#include "components/discwriter/cdaudiosource.h"
#include "components/discwriter/trackpipeline.h"
#include "disc/cdfilelist.h"

CdConversionJob::CdConversionJob(QStringList sources, QString folder, JobHandler* handler, QObject* handlerContext,
                                 int decoders)
    : ToolJob(handler, handlerContext),
      sources_(std::move(sources)),
      folder_(std::move(folder)),
      decoders_(decoders > 0 ? decoders : DefaultDecoderThreads()) {}

QString CdConversionJob::tempName(int row) const {
    return QDir(folder_).filePath(QStringLiteral("Track %1.wav").arg(row + 1));
}

bool CdConversionJob::work() {
    const int count = int(sources_.size());
    struct Row {
        Outcome outcome = Outcome::Pending;
        std::atomic<int> percent{0};
    };
    const std::unique_ptr<Row[]> rows(new Row[size_t(count)]);
    std::mutex mutex;
    std::condition_variable settled;
    std::atomic<bool> halt{false};
    int next = 0;
    std::vector<std::thread> decoders;
    for (int i = 0; i < std::min(decoders_, count); ++i)
        decoders.emplace_back([&] {
            for (;;) {
                int row;
                {
                    const std::lock_guard lock(mutex);
                    if (halt || next >= count) return;
                    row = next++;
                }
                const Outcome outcome = convertRow(row, rows[size_t(row)].percent, halt);
                {
                    const std::lock_guard lock(mutex);
                    rows[size_t(row)].outcome = outcome;
                }
                settled.notify_all();
            }
        });

    QStringList files, sources;
    for (int row = 0; row < count; ++row) {
        setPercent(0);
        inform(QStringLiteral("Preparing Track %1 for CD burning...").arg(row + 1));
        Outcome outcome = Outcome::Pending;
        while (outcome == Outcome::Pending && checkpoint()) {
            std::unique_lock lock(mutex);
            settled.wait_for(lock, std::chrono::milliseconds(50),
                             [&] { return rows[size_t(row)].outcome != Outcome::Pending; });
            outcome = rows[size_t(row)].outcome;
            lock.unlock();
            setPercent(rows[size_t(row)].percent);
        }
        const QString path = sources_[row];
        bool endConversion = false;
        switch (outcome) {
        case Outcome::Pending:  // stopped
        case Outcome::Halted:
            endConversion = true;
            break;
        case Outcome::Converted:
            files << tempName(row);
            sources << path;
            break;
        case Outcome::Missing:
            endConversion = !ask(QStringLiteral("Confirmation"), path + QStringLiteral(" has been removed. Continue?"));
            break;
        case Outcome::NotOpened:
            tell(QStringLiteral("ERROR!"), QStringLiteral("Failed to open file ") + path);
            break;
        case Outcome::Empty:
            tell(QStringLiteral("Information"), path + QStringLiteral(" is an empty file!"));
            break;
        case Outcome::CreateFailed:
            tell(QStringLiteral("ERROR!"), QStringLiteral("Failed to create CD quality WAV file!"));
            break;
        case Outcome::ReadFailed:
            tell(QStringLiteral("ERROR!"), QStringLiteral("File read error!"));
            break;
        case Outcome::WriteFailed:
            tell(QStringLiteral("ERROR!"), QStringLiteral("File write error!"));
            break;
        }
        if (endConversion) break;
    }
    halt = true;
    for (std::thread& decoder : decoders) decoder.join();
    // What was converted ahead of an early end is not written.
    for (int row = 0; row < count; ++row)
        if (rows[size_t(row)].outcome == Outcome::Converted && !files.contains(tempName(row)))
            QFile::remove(tempName(row));
    if (stopRequested()) {
        for (const QString& file : files) QFile::remove(file);
        files.clear();
        sources.clear();
    }
    emit converted(files, sources, stopRequested());
    return !files.isEmpty();
}

CdConversionJob::Outcome CdConversionJob::convertRow(int row, std::atomic<int>& percent,
                                                     const std::atomic<bool>& halt) const {
    const std::string local = QFile::encodeName(sources_[row]).toStdString();
    const ListedEntryKind kind = InspectListedEntry(local);
    if (kind == ListedEntryKind::Missing) return Outcome::Missing;
    // A FIFO or a device is never opened: it would block or never end.
    if (kind != ListedEntryKind::RegularFile) return Outcome::NotOpened;
    CdAudioSource source;
    std::string error;
    // A file that cannot be read is told as such; one that reads but is
    // not audio the decoder takes, as a failed conversion.
    if (!source.open(local, &error))
        return source.openError() == AudioErrorNone || source.openError() == AudioErrorFileOpen ? Outcome::NotOpened
                                                                                              : Outcome::CreateFailed;
    const int64_t frames = source.estimatedFrames();
    if (frames == 0) return Outcome::Empty;
    AudioFile out;
    out.setWavFormat(CdAudioSource::Rate, CdAudioSource::Channels, 16);
    if (!out.create(QFile::encodeName(tempName(row)).toStdString(), 1)) return Outcome::CreateFailed;
    PendingOutput pending(out);
    out.setInputFormat(CdAudioSource::Rate, CdAudioSource::Channels);
    int64_t position = 0;
    AudioBlock block;
    for (;;) {
        if (halt || stopRequested()) return Outcome::Halted;
        if (!source.read(block.samples, &error)) return Outcome::ReadFailed;
        if (block.empty()) break;
        out.writeBlock(block);
        if (out.getError() != 0) return Outcome::WriteFailed;
        position += block.frames(CdAudioSource::Channels);
        percent = int(std::min<int64_t>(100, position * 100 / frames));
    }
    if (!pending.keep()) return Outcome::WriteFailed;
    percent = 100;
    return Outcome::Converted;
}
