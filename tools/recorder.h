#pragma once
// Records from an input line into a WAV, MP3, OGG or WMA file through a
// RecordingSession, shows the elapsed time and plays the last recording
// back. Everything runs on the GUI thread, driven by the recorder's and the
// player's events.

#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

#include "components/recorder/timesplitter.h"

class AudioPlayer;
class BoxJobHandler;
class PlaybackSession;
class LineRecorder;
class RecordingSession;
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

    bool isRecording() const;
    bool isRecordPaused() const;
    bool isPlaying() const { return IsPlaying; }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormShow();
    void StartRecording();
    // The name list back to choosing a pattern once a recording ended or
    // was refused.
    void ReleaseName();
    // Record, Play and the time as they are with nothing running.
    void ShowIdle();
    void PlayRecording();
    void ShowElapsed(int64_t ms);
    void SetPlayEnabled(bool on);
    void SetRecordEnabled(bool on);
    void SetPauseEnabled(bool on);
    void SetStopEnabled(bool on);

    LineRecorder* audioRecord_ = nullptr;
    // Asks and tells for the recording through this window's boxes.
    std::unique_ptr<BoxJobHandler> boxes_;
    RecordingSession* recording_ = nullptr;
    // Plays the last recording back.
    PlaybackSession* playback_ = nullptr;
    TimeSplitter TimeDisplay21;

    bool HasRecording = false, IsPlaying = false, PlayPaused = false, PlayStarted = false, Muted = false;
    bool loadingRows_ = false;
};

extern Tfm_recorder* fm_recorder;
