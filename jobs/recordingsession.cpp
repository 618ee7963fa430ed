#include "jobs/recordingsession.h"

#include <QDir>

#include "components/audio/backgroundwriter.h"
#include "components/recorder/linerecorder.h"
#include "jobs/toolfiles.h"
#include "jobs/tooljob.h"

RecordingSession::RecordingSession(LineRecorder& recorder, JobHandler& handler, QObject* parent)
    : QObject(parent), recorder_(recorder), handler_(handler) {
    connect(&recorder_, &LineRecorder::onEndArrayRecord, this, &RecordingSession::onBlock);
    connect(&recorder_, &LineRecorder::onTimer, this, &RecordingSession::onTick);
}

RecordingSession::~RecordingSession() {
    if (isActive()) finish();
}

void RecordingSession::refuse(const QString& title, const QString& text) {
    state_ = State::Idle;
    handler_.tell(title, text);
}

bool RecordingSession::start(const RecorderSettings& s, const QString& folder, const QString& baseName) {
    if (state_ == State::Paused) {
        resume();
        return recorder_.getError() == 0;
    }
    if (state_ == State::Recording) return true;
    // Without an input there is nothing to record: nothing is asked,
    // changed or made before that is known.
    if (recorder_.deviceCount() < 1) {
        refuse(QStringLiteral("Error"), QStringLiteral("No sound input was found. Is the sound server running?"));
        return false;
    }
    recordedFile_ = baseName;
    applySettings(s);

    const bool known = s.format >= 0 && s.format <= 3;
    if (known) recordedFile_ += OutputExtension(static_cast<OutputKind>(s.format));
    if (known && !EncoderDialogFormat(static_cast<OutputKind>(s.format), s).configure(file_).isEmpty()) {
        refuse(QStringLiteral("Information"), kUnsupportedMp3Text);
        return false;
    }
    emit named(recordedFile_);

    QString dir = folder;
    QDir().mkpath(dir);
    if (!dir.endsWith(QLatin1Char('/'))) dir += QLatin1Char('/');
    recordedFile_ = dir + recordedFile_;

    if (NameTaken(recordedFile_)) {
        if (!handler_.askYesNo(QStringLiteral("Confirmation"), recordedFile_ + QStringLiteral(" already exists. Overwrite?")))
            return false;
        // The answer was Yes: a read-only file may be replaced.
        MakeWritable(recordedFile_);
    }

    if (file_.isOpen()) file_.close();
    // A recording ended by a full disk keeps what it has.
    file_.setKeepIncomplete(true);
    // It is recorded under "<name>.part" and takes its name at the end: a
    // crash keeps what was recorded.
    file_.setVisiblePart(true);
    writeFailed_ = false;
    if (!file_.create(LocalPathString(recordedFile_), 0)) {
        refuse(QStringLiteral("Error!"), QStringLiteral("Failed to create file ") + recordedFile_);
        return false;
    }
    recorder_.setFormat(file_.getPcmSampleRate(), file_.getPcmChannels());
    recorder_.setBlockSize(recorder_.msToSamples(600));
    recorder_.start();
    if (recorder_.getError() != 0) {
        file_.abandon();
        recorder_.stop();
        while (!recorder_.getRecordedArray().empty()) {
        }
        refuse(QStringLiteral("Error"), QStringLiteral("The sound input could not be opened for recording."));
        return false;
    }
    writer_ = std::make_unique<BackgroundWriter>(file_);
    pauseBase_ = 0;
    state_ = State::Recording;
    return true;
}

void RecordingSession::applySettings(const RecorderSettings& s) {
    timeLimitOn_ = s.timeLimit;
    if (timeLimitOn_) timeLimitSeconds_ = s.timeLimitSeconds();
    // Each filter follows its key: one switched off in the settings is off
    // for this recording, not left on from an earlier one.
    recorder_.notchFilter = s.notchOn;
    if (s.notchOn) recorder_.notchFrequency = static_cast<float>(s.notch);
    recorder_.highFilter = s.highOn;
    if (s.highOn) recorder_.highFilterFrequency = static_cast<float>(s.high);
    recorder_.lowFilter = s.lowOn;
    if (s.lowOn) recorder_.lowFilterFrequency = static_cast<float>(s.low);
    recorder_.silenceDetection = s.silence;
    recorder_.autoGain = s.silence;
    if (s.silence) {
        recorder_.attackTime = s.attack;
        recorder_.releaseTime = s.release;
        recorder_.releaseLevel = s.level;
        recorder_.attackLevel = s.level;
        recorder_.autoGainMin = -40;
        recorder_.autoGainMax = -10;
        recorder_.autoGainStep = 4;
    }
}

void RecordingSession::pause() {
    if (state_ != State::Recording) return;
    pauseBase_ += recorder_.getPosition();
    recorder_.stop();
    state_ = State::Paused;
}

void RecordingSession::resume() {
    if (state_ != State::Paused) return;
    state_ = State::Recording;
    recorder_.start();
}

int64_t RecordingSession::elapsedMs() const {
    return recorder_.samplesToMs(pauseBase_ + (state_ == State::Recording ? recorder_.getPosition() : 0));
}

void RecordingSession::onBlock() {
    if (state_ != State::Recording) return;
    if (recorder_.getError() != 0) {
        stop();
        return;
    }
    AudioBlock block = recorder_.getRecordedArray();
    if (writer_ && !block.empty()) writer_->write(std::move(block));
    // A full disk ends the recording; what was written before is kept.
    if (writer_ && writer_->error() != 0) {
        writeFailed_ = true;
        stop();
    }
}

void RecordingSession::onTick() {
    if (state_ != State::Recording) return;
    const int64_t ms = recorder_.samplesToMs(recorder_.getPosition() + pauseBase_);
    emit elapsed(ms);
    if (timeLimitOn_ && ms > timeLimitSeconds_ * 1000) stop();
}

bool RecordingSession::finish() {
    state_ = State::Idle;
    recorder_.stop();
    for (AudioBlock block = recorder_.getRecordedArray(); !block.empty(); block = recorder_.getRecordedArray())
        if (writer_) writer_->write(std::move(block));
    if (writer_) {
        writer_->finish();
        if (writer_->error() != 0) writeFailed_ = true;
        writer_.reset();
    }
    file_.close();
    if (file_.getError() != 0) writeFailed_ = true;
    const bool failed = writeFailed_;
    writeFailed_ = false;
    return failed;
}

void RecordingSession::stop() {
    if (!isActive()) return;
    const bool failed = finish();
    emit ended(failed);
    if (failed)
        handler_.tell(QStringLiteral("Error!"),
                      QStringLiteral("File write error! The recording was stopped; %1 keeps what was recorded up to there.")
                          .arg(recordedFile_));
}
