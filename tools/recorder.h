#pragma once
// Records from an input line into a WAV, MP3, OGG or WMA file, shows the
// elapsed time, pauses, stops at a time limit and plays the last recording
// back. Everything runs on the GUI thread, driven by the recorder's and the
// player's events.

#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

#include "components/audio/audiofile.h"
#include "components/audio/mp3encodersettings.h"
#include "components/recorder/timesplitter.h"

class AudioPlayer;
class PlaybackSession;
class BackgroundWriter;
class LineRecorder;
class QAction;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QGroupBox;
class QLabel;
class SkinLabel;
class TvsComboBox;
class TvsTrackBar;

class Tfm_recorder : public QWidget {
    Q_OBJECT
public:
    explicit Tfm_recorder(QWidget* parent = nullptr);
    ~Tfm_recorder() override;

    QPushButton *btn_record = nullptr, *btn_pause = nullptr, *btn_play = nullptr, *btn_stop = nullptr,
                *btn_mute = nullptr, *btn_directory = nullptr, *btn_option = nullptr, *Button1 = nullptr;
    QAction *Record1 = nullptr, *Pause1 = nullptr, *Play1 = nullptr, *Stop1 = nullptr, *Mute1 = nullptr,
            *FileInfo1 = nullptr, *Option1 = nullptr, *Exit1 = nullptr;
    QLineEdit* edt_directory = nullptr;
    TvsComboBox* edt_name = nullptr;
    QGroupBox* rg_format = nullptr;
    QLabel* noInput = nullptr;  // says why the rows are empty
    std::array<SkinLabel*, 8> sl{};
    std::array<QRadioButton*, 8> cb{};
    std::array<TvsTrackBar*, 8> sb{};
    TvsTrackBar* tb_volume = nullptr;
    SkinLabel* st_time = nullptr;
    SkinLabel* st_finfo = nullptr;

    // The full path of the file being or last recorded.
    QString RecordedFile;

    LineRecorder* AudioRecord() const { return audioRecord_; }
    AudioPlayer* Player() const;

    void btn_recordClick();
    void btn_pauseClick();
    void btn_playClick();
    void btn_stopClick();
    void btn_muteClick();
    void btn_directoryClick();
    void btn_optionClick();
    void FileInfoClick();

    bool isRecording() const { return IsRecording; }
    bool isRecordPaused() const { return RecordPaused; }
    bool isPlaying() const { return IsPlaying; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormShow();
    void StartRecording();
    bool ConfigureWriter(int format, const struct RecorderSettings& s);
    void FinishRecording();
    void PlayRecording();
    void AudioRecordEndArrayRecord();
    void AudioRecordTimer();
    void ShowElapsed(int64_t ms);
    void SetPlayEnabled(bool on);
    void SetRecordEnabled(bool on);
    void SetPauseEnabled(bool on);
    void SetStopEnabled(bool on);
    void ReportWriteError();

    LineRecorder* audioRecord_ = nullptr;
    // Plays the last recording back.
    PlaybackSession* playback_ = nullptr;
    AudioFile audioFile_;  // the writer of the recording
    // Encodes and writes the recorded blocks while a recording runs, so
    // that the window never waits for the encoder.
    std::unique_ptr<BackgroundWriter> writer_;
    Mp3EncoderSettings AudioFile2LameEnc1;
    TimeSplitter TimeDisplay21;

    QString RecordFolder;
    bool IsRecording = false, RecordPaused = false, HasRecording = false, IsPlaying = false, PlayPaused = false,
         PlayStarted = false, Muted = false, TimeLimitOn = false;
    int64_t TimeLimitSeconds = 0;
    int64_t RecordPauseBase = 0;
    bool loadingRows_ = false;
    bool writeFailed_ = false;  // the recording lost a write: told once it is stopped
};

extern Tfm_recorder* fm_recorder;
