#pragma once
// The batch of a converter window: for each source in turn, open it, ask
// before overwriting, write an output of the target format through
// normalize and fade, copy the tags and report the row's state.
//
// The window copies its settings into the job when Start is pressed and
// owns it; the job touches no widget. It reports through signals, which
// reach the window in the order they were sent, and asks its questions
// through ConversionHandler on the window's thread while it waits. run()
// works on whatever thread calls it: a worker thread, or (WMA) the GUI
// thread, where it lets pending events run after every block so that the
// window stays usable and Stop works.

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>

#include "components/audio/mp3encodersettings.h"
#include "tools/jobcontrol.h"

class AudioFile;
class PcmCache;
struct PeakMeter;

enum class TargetFormat { Mp3, Wav, Ogg, Wma };

// The extension of a target's files, with its dot.
QString TargetExtension(TargetFormat target);

struct ConversionSettings {
    TargetFormat target = TargetFormat::Mp3;
    QString outputFolder;
    bool normalize = false;
    int ratio = 98;  // percent of full scale
    bool fade = false;
    int fadeIn = 10, fadeOut = 20;  // seconds
    Mp3EncoderSettings mp3;
    int wavRate = 44100, wavChannels = 2, wavBits = 16;
    int oggRate = 44100, oggChannels = 2, oggKbps = 128, oggQuality = 300;
    int wmaProfile = 24;
};

// Row states as the list shows them.
namespace rowstate {
inline const QString Unconverted = QStringLiteral("unconvert");
inline const QString Converting = QStringLiteral("Converting");
inline const QString Finished = QStringLiteral("finish");
inline const QString Failed = QStringLiteral("failed");
}  // namespace rowstate

// What the job asks of its window, on the window's thread.
class ConversionHandler {
public:
    virtual ~ConversionHandler() = default;
    // A box with Yes and No; true for Yes.
    virtual bool askYesNo(const QString& title, const QString& text) = 0;
    // A box with OK.
    virtual void tell(const QString& title, const QString& text) = 0;
};

class ConversionJob : public QObject {
    Q_OBJECT
public:
    // handlerContext: the QObject whose thread the handler lives on.
    ConversionJob(ConversionSettings settings, QStringList sources, ConversionHandler* handler,
                  QObject* handlerContext);
    ~ConversionJob() override;

    void run();

    // From the GUI thread; none of them waits for the job.
    void pause() { control_.pause(); }
    void resume() { control_.resume(); }
    void stop() { control_.requestStop(); }
    bool isPaused() const { return control_.paused(); }
    // Set from the start of run() until its end, however it ends.
    bool isRunning() const { return running_; }

signals:
    void rowStateChanged(int row, const QString& state);
    void progressChanged(int percent);
    // The last report. endStep: the batch ran its end (progress 0, the
    // output folder opened, the buttons back); false only for an empty list
    // on a target that changes nothing then.
    void batchEnded(bool endStep);

private:
    enum class RowEnd { Next, EndBatch };
    enum class Copy { Done, Stopped, ReadFailed, WriteFailed };

    RowEnd convertRow(int row, const QString& source);
    Copy copyBlocks(AudioFile& reader, AudioFile& writer, const QString& source);
    Copy measurePeaks(const QString& source, PeakMeter& peaks, PcmCache& cache);
    void configureWriter(AudioFile& writer) const;
    RowEnd writeFailed(int row);
    void setProgress(int percent);
    void letEventsRun();
    bool ask(const QString& title, const QString& text);
    void tell(const QString& title, const QString& text);

    const ConversionSettings settings_;
    const QStringList sources_;
    ConversionHandler* handler_;
    QObject* handlerContext_;
    JobControl control_;
    std::atomic<bool> running_{false};
    int progress_ = -1;
    bool onGuiThread_ = false;
};
