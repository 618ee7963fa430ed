#pragma once
// One file played from a decoder through a player: the loop that every window
// that plays runs. A start sets the player's format from the file, seeks, and
// queues two blocks of 200 ms; each request of the player and each block it
// has played queues one more, so the device always has a block in hand. A
// pause remembers the frame heard last and a resume sends the decoder back
// there, so nothing is skipped or heard twice.
//
// The window keeps its own rules (which file, what comes next); the session
// tells it the frame heard, the end of the play and a device that refused to
// play, as Qt signals on the GUI thread, never from inside a call the window
// made.
//
// Errors: nothing here throws. open() answers false for a file that does not
// decode; start() and resume() answer false when the player could not start,
// and onError() carries the player's code (the failure is also logged, since
// the windows play on with nothing to show for it).

#include <QObject>

#include <cstdint>
#include <string>

#include "components/audio/audiofile.h"

class AudioPlayer;

class PlaybackSession : public QObject {
    Q_OBJECT
public:
    explicit PlaybackSession(QObject* parent = nullptr);
    ~PlaybackSession() override;

    // The decoder and the player, for what a window reads of them.
    AudioFile& decoder() { return decoder_; }
    const AudioFile& decoder() const { return decoder_; }
    AudioPlayer* player() const { return player_; }

    // Closes what was open and opens path; false when it does not decode.
    bool open(const std::string& path);
    // The same for another source (a CD track), which must outlive its play;
    // decoder() is then not the one playing.
    bool open(BlockSource& source, const std::string& name);
    bool isOpen() const { return source_->isOpen(); }
    // Stops, closes the file and forgets the position.
    void close();

    // Plays the open file from frame `from`.
    bool start(int64_t from);
    // Stops where the audio was heard; startFrame() is then the frame a
    // resume plays from. Nothing happens while the player is stopped.
    void pause();
    // Plays again from startFrame().
    bool resume();
    // Stops the player; the file and the position stay.
    void stop();
    // The frame the next resume plays from (a seek while stopped or paused).
    void moveTo(int64_t frame);

    bool isPlaying() const;
    // The frame the current run started from (the last start, resume or
    // pause).
    int64_t startFrame() const { return from_; }
    // The frame heard now.
    int64_t position() const;
    // Samples over all channels per block: 200 ms of the open file.
    int64_t blockSize() const { return blockSize_; }
    int64_t length() const { return source_->length(); }
    int64_t durationMs() const { return source_->durationMs(); }
    // A frame of the open file as milliseconds.
    int64_t msAt(int64_t frame) const;

    static constexpr int kBlockMs = 200;

signals:
    // Every player timer tick: the frame heard.
    void onPosition(qint64 frame);
    // The queued audio has all been heard; the player has stopped.
    void onEndPlay();
    // The player did not start (no device, a format it refused).
    void onError(int code);

private:
    bool run();
    void feed();

    AudioFile decoder_;
    BlockSource* source_ = &decoder_;  // what plays: decoder_ unless open() was given another
    AudioPlayer* player_;
    int64_t from_ = 0;
    int64_t blockSize_ = 0;
};
