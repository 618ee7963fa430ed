#pragma once
// What the cut and combine jobs share: a job object that its window makes
// with a copy of the window's settings and owns; it touches no widget. It
// reports through signals, which reach the window in the order they were
// sent, and asks its questions through a JobHandler on the window's thread
// while it waits. run() works on whatever thread calls it: a worker thread,
// or (WMA) the GUI thread, where the job lets pending events run between
// blocks so that the window stays usable and Stop works. stop() never
// waits: the job notices it at its next block.

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "tools/jobcontrol.h"

class AudioFile;
class QThread;

// What a job asks of its window, on the window's thread.
class JobHandler {
public:
    virtual ~JobHandler() = default;
    // A box with Yes and No; true for Yes.
    virtual bool askYesNo(const QString& title, const QString& text) = 0;
    // A box with OK.
    virtual void tell(const QString& title, const QString& text) = 0;
};

// Where jobs record a failure that does not stop them (a tag that could not
// be written to an output): the program's error log, which app/ puts here.
// Without one such failures are only shown on their rows.
using JobErrorLog = std::function<void(const QString& message, const QString& className)>;
void SetJobErrorLog(JobErrorLog log);

class ToolJob : public QObject {
    Q_OBJECT
public:
    // handlerContext: the QObject whose thread the handler lives on.
    ToolJob(JobHandler* handler, QObject* handlerContext);

    void run();
    void stop() { control_.requestStop(); }
    bool stopRequested() const { return control_.stopRequested(); }
    // A paused job waits at its next block (on a worker thread only).
    void pause() { control_.pause(); }
    void resume() { control_.resume(); }
    bool isPaused() const { return control_.paused(); }
    // Set from the start of run() until its end, however it ends.
    bool isRunning() const { return running_; }

signals:
    // The last report. endStep: the job ran its end (the output folder is
    // to be opened and the bars emptied); false when it ended before it
    // wrote anything (a refused range, format or overwrite).
    void ended(bool endStep);

protected:
    // The job's work; returns whether the end step is due.
    virtual bool work() = 0;

    // Waits while paused; false once stop was asked.
    bool checkpoint() { return control_.checkpoint(); }
    bool ask(const QString& title, const QString& text);
    void tell(const QString& title, const QString& text);
    // Appends the message to the error log, from any thread.
    static void logError(const QString& message, const QString& className);
    // Logs that the tags could not be written to output (reason: what
    // failed, may be empty); returns the message the user is shown.
    static QString logTagWriteFailure(const QString& output, const std::string& reason);
    // On the GUI thread, lets pending events run (twice: once for what the
    // block's reports caused and once for what that in turn posted).
    void letEventsRun();
    bool onGuiThread() const { return onGuiThread_; }

private:
    JobHandler* handler_;
    QObject* handlerContext_;
    JobControl control_;
    std::atomic<bool> running_{false};
    bool onGuiThread_ = false;
};

// The worker threads of a window's jobs: a job started here runs on a
// thread of its own and is deleted with it when it has ended. Destroying
// this (with its window, when the program closes) stops the jobs still
// running and waits for them: a stopping job ends at its next block and
// asks nothing more.
class ToolJobThreads : public QObject {
public:
    ToolJobThreads() = default;
    ~ToolJobThreads() override;
    // Takes the job.
    void start(ToolJob* job);
    // Threads that have not ended yet.
    size_t count() const { return runs_.size(); }

private:
    struct Run {
        ToolJob* job;
        QThread* thread;
    };
    std::vector<Run> runs_;
};

// A writer's output that is dropped unless the job keeps it: every way out
// of a job that does not reach keep() (a stop, a failure, an exception)
// leaves nothing under the output's name and an older file there intact.
class PendingOutput {
public:
    explicit PendingOutput(AudioFile& writer) : writer_(writer) {}
    ~PendingOutput();
    PendingOutput(const PendingOutput&) = delete;
    PendingOutput& operator=(const PendingOutput&) = delete;
    // Completes the file under its name; false when the last writes failed
    // (a full disk), and the output is then dropped.
    bool keep();

private:
    AudioFile& writer_;
    bool settled_ = false;
};

// a * b / c in 64 bits, rounded half away from zero as the windows' MulDiv;
// 0 when c is 0.
int64_t MulDiv64(int64_t a, int64_t b, int64_t c);
