#pragma once
// The batch of a converter window: for each source in turn, open it, ask
// before overwriting, write an output of the target format through
// normalize and fade, copy the tags and report the row's state. A ToolJob:
// the window copies its settings into it when Start is pressed and owns it;
// the MP3, WAV and OGG batches run on a worker thread, the WMA batch on the
// GUI thread. Pause holds it between blocks.

#include <QString>
#include <QStringList>

#include "jobs/blockcopy.h"
#include "jobs/outputformat.h"
#include "jobs/tooljob.h"

class AudioFile;
class BlockSource;
class PcmCache;
struct PeakMeter;

using TargetFormat = OutputKind;

// The extension of a target's files, with its dot.
QString TargetExtension(TargetFormat target);

// The writer's parameters are the OutputFormat's; target is its kind.
struct ConversionSettings : OutputFormat {
    TargetFormat target = TargetFormat::Mp3;
    QString outputFolder;
    bool normalize = false;
    int ratio = 98;  // percent of full scale
    bool fade = false;
    int fadeIn = 10, fadeOut = 20;  // seconds
};

// Row states as the list shows them.
namespace rowstate {
inline const QString Unconverted = QStringLiteral("unconvert");
inline const QString Converting = QStringLiteral("Converting");
inline const QString Finished = QStringLiteral("finish");
inline const QString Failed = QStringLiteral("failed");
}  // namespace rowstate

class ConversionJob : public ToolJob {
    Q_OBJECT
public:
    ConversionJob(ConversionSettings settings, QStringList sources, JobHandler* handler, QObject* handlerContext);

protected:
    // False only for an empty list on a target that changes nothing then.
    bool work() override;

private:
    enum class RowEnd { Next, EndBatch };
    using Copy = BlockCopyResult;

    RowEnd convertRow(int row, const QString& source);
    Copy copyBlocks(BlockSource& reader, AudioFile& writer, const QString& source);
    Copy measurePeaks(const QString& source, PeakMeter& peaks, PcmCache& cache);
    BlockCopyHooks hooks();
    void configureWriter(AudioFile& writer) const;
    RowEnd writeFailed(int row);

    const ConversionSettings settings_;
    const QStringList sources_;
};
