#pragma once
// The rip of the checked tracks, as one plain loop that a job runs on a
// worker (WAV, MP3, OGG) or on the GUI thread (WMA). Each checked track is
// read from the grabber through the copy loop every job shares (one gain
// per channel from the track's peaks, fades), written in the chosen format
// and tagged. What it needs of the window (the rows' texts when each track
// starts, the questions, the progress) comes through RipReporter, whose
// calls the job hands to the GUI thread.
//
// An output is written under a temporary name and takes its name only when
// the track is complete: a track stopped, refused at a read error or
// failed leaves nothing under its name, and a file already there stays as
// it was.

#include <QString>

#include <string>

#include "disc/ripsettings.h"
#include "jobs/outputformat.h"

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
    // Waits while the rip is paused; false once it is to stop. On the GUI
    // thread it lets the window's events run.
    virtual bool checkpoint() = 0;
    virtual RipRowTexts rowTexts(int row) = 0;
    // A box with Yes and No (true for Yes) or with OK, under the caption.
    virtual bool askYesNo(const QString& caption, const QString& text) = 0;
    virtual void tell(const QString& caption, const QString& text) = 0;
    virtual void trackPercent(int percent) = 0;
    // Tracks begun in this rip, of the checked ones.
    virtual void counter(int begun, int checked) = 0;
    // A row's outcome: done, or failed (its output was not completed).
    virtual void rowFinished(int /*row*/, bool /*done*/) {}
};

struct RipResult {
    int checked = 0;
    int done = 0;
    int failed = 0;
    bool stopped = false;
    std::string lastFolder;  // of the last track begun, for the file manager
};

class RipRun {
public:
    RipRun(CdGrabber& grabber, const RipSettings& settings, const OutputFormat& format, RipReporter& reporter);
    RipResult run();

private:
    // GivenUp: the user answered No to a write error, which ends the rip.
    enum class TrackEnd { Done, Skipped, Failed, GivenUp, Stopped };
    TrackEnd ripTrack(int track, int& begun, int checked, RipResult& result);

    CdGrabber& grabber_;
    RipSettings settings_;
    OutputFormat format_;
    RipReporter& reporter_;
    // The answer to the write error question, asked once a rip: -1 before.
    int writeErrorAnswer_ = -1;
};
