#pragma once
// One recording from an input line into a WAV, MP3, OGG or WMA file: the
// output format and the filters from the recorder's settings, the file made
// under "<name>.part" and named at the end, the blocks handed to a
// background writer, pause, the time limit, and an end that keeps what was
// written (a full disk included). It is driven by the line recorder's
// events on the GUI thread, so it is no thread job; like the jobs it asks
// and tells through a JobHandler and its end is ended(). It touches no
// widget: the recorder window and the tests drive it alike.

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

#include "components/audio/audiofile.h"
#include "jobs/outputformat.h"

class BackgroundWriter;
class JobHandler;
class LineRecorder;

// The recorder's settings as a recording uses them. The output format codes
// are the encoder dialog's, in its [recorder] section.
struct RecorderSettings : EncoderDialogCodes {
    QString folder;  // "format path"
    QString fileInfo;
    bool timeLimit = false;
    int hour = 0, minute = 10, second = 0;
    bool notchOn = false, highOn = false, lowOn = false;
    int notch = 50, high = 400, low = 4000;
    int format = 1;
    // Missing means on here, while the settings window reads it as off.
    bool silence = true;
    int attack = 300, release = 100, level = -1;

    long long timeLimitSeconds() const { return hour * 3600LL + minute * 60LL + second; }
};

class RecordingSession : public QObject {
    Q_OBJECT
public:
    // recorder and handler outlive the session.
    RecordingSession(LineRecorder& recorder, JobHandler& handler, QObject* parent = nullptr);
    // A recording still running is finished and kept, without a word.
    ~RecordingSession() override;

    // Starts a recording named baseName plus the format's extension in
    // folder (made when missing). A refused start (no input, a format the
    // writer lacks, an existing name the user keeps, a file that cannot be
    // made, an input that does not open) tells why through the handler and
    // returns false; the session then records nothing. A paused recording
    // goes on instead, and false then means its input failed (stop() ends
    // it).
    bool start(const RecorderSettings& settings, const QString& folder, const QString& baseName);
    void pause();
    void resume();
    // Ends a running or paused recording: the last blocks are written, the
    // file takes its name, ended() is sent, and a lost write is told.
    void stop();

    bool isRecording() const { return state_ == State::Recording; }
    bool isPaused() const { return state_ == State::Paused; }
    bool isActive() const { return state_ != State::Idle; }
    // The file being or last recorded: the bare name and extension until
    // the folder is known, then the full path.
    const QString& recordedFile() const { return recordedFile_; }
    // Milliseconds recorded, pauses left out.
    int64_t elapsedMs() const;

signals:
    // The file's name (name and extension) once it is chosen.
    void named(const QString& fileName);
    // The recorded time at each tick of the recorder.
    void elapsed(qint64 ms);
    // The recording ended and its file was kept (under its name, or as
    // much as was written before a write failed: writeFailed).
    void ended(bool writeFailed);

private:
    enum class State { Idle, Recording, Paused };
    void onBlock();
    void onTick();
    void applySettings(const RecorderSettings& s);
    // Writes what is left and closes the file; whether a write failed.
    bool finish();
    void refuse(const QString& title, const QString& text);

    LineRecorder& recorder_;
    JobHandler& handler_;
    AudioFile file_;
    // Encodes and writes the recorded blocks, so that the GUI thread never
    // waits for the encoder.
    std::unique_ptr<BackgroundWriter> writer_;
    State state_ = State::Idle;
    QString recordedFile_;
    bool writeFailed_ = false, timeLimitOn_ = false;
    int64_t timeLimitSeconds_ = 0, pauseBase_ = 0;
};
