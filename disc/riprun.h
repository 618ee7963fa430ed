#pragma once
// The rip of the checked tracks, as one plain loop that a job runs on a
// worker (WAV, MP3, OGG) or on the GUI thread (WMA). It reads each track
// from the grabber block by block, normalizes and fades it, writes it in
// the chosen format and tags it. What it needs of the window (the rows'
// texts at the time each track starts, the questions, the progress) comes
// through RipReporter, whose calls the job hands to the GUI thread.
//
// An output is written under a temporary name and takes its name only when
// the track is complete: a track stopped, refused at a read error or
// failed leaves nothing under its name, and a file already there stays as
// it was.

#include <QString>

#include <functional>
#include <string>

#include "disc/ripsettings.h"

class AudioFile;
class CdGrabber;

struct RipRowTexts {
    bool checked = false;
    QString title;
    QString artist;
    QString album;
    QString genre;
};

class RipReporter {
public:
    virtual ~RipReporter() = default;
    // Waits while the rip is paused; false once it is to stop.
    virtual bool checkpoint() = 0;
    virtual RipRowTexts rowTexts(int row) = 0;
    // A box with Yes and No (true for Yes) or with OK, under the caption.
    virtual bool askYesNo(const QString& caption, const QString& text) = 0;
    virtual void tell(const QString& caption, const QString& text) = 0;
    virtual void trackPercent(int percent) = 0;
    // Tracks begun in this rip, of the checked ones.
    virtual void counter(int begun, int checked) = 0;
    // A row's outcome: done, or failed (its output was not completed).
    virtual void rowFinished(int row, bool done) { (void)row; (void)done; }
};

enum class RipKind { Wav = 0, Mp3 = 1, Ogg = 2, Wma = 3 };

struct RipResult {
    int checked = 0;
    int done = 0;
    int failed = 0;
    bool stopped = false;
    std::string lastFolder;  // of the last track begun, for the file manager
};

class RipRun {
public:
    // configureWriter sets the writer's output format (before create); it
    // returns false when the format is refused.
    RipRun(CdGrabber& grabber, const RipSettings& settings, RipKind kind,
           std::function<bool(AudioFile&)> configureWriter, RipReporter& reporter);

    RipResult run();

    static const char* extension(RipKind kind);

private:
    enum class TrackEnd { Done, Skipped, Failed, Stopped };
    TrackEnd ripTrack(int track, int& begun, int checked, RipResult& result);
    bool measurePeaks(int track, int peaks[2]);

    CdGrabber& grabber_;
    RipSettings settings_;
    RipKind kind_;
    std::function<bool(AudioFile&)> configureWriter_;
    RipReporter& reporter_;
};
