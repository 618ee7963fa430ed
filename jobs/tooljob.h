#pragma once
// What every long job of the tool and disc windows shares: a job object
// that its window makes with a copy of the window's settings; it touches no
// widget. It reports through signals, which reach the window in the order
// they were sent, and asks its questions through a JobHandler on the
// window's thread while it waits. A window starts it with
// ToolJobThreads::start, on a worker thread or (WMA) on the GUI thread,
// where the job lets pending events run between blocks so that the window
// stays usable and Stop works. stop() never waits: the job notices it at its
// next block.

#include <QObject>
#include <QString>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "jobs/jobcontrol.h"

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

// Where start() runs a job: on a thread of its own, or on the GUI thread,
// letting the window's events run between blocks.
enum class JobPlace { Worker, GuiThread };

class ToolJob : public QObject {
    Q_OBJECT
public:
    // handlerContext: the QObject whose thread the handler lives on.
    ToolJob(JobHandler* handler, QObject* handlerContext);

    // Returns whether the end step was due (what ended() reports). An
    // exception out of the work goes to the job error handler.
    bool run();
    void stop() { control_.requestStop(); }
    bool stopRequested() const { return control_.stopRequested(); }
    // A paused job waits at its next block (on a worker thread only).
    void pause() { control_.pause(); }
    void resume() { control_.resume(); }
    bool isPaused() const { return control_.paused(); }
    // Set from the start of run() until its end, however it ends.
    bool isRunning() const { return running_; }
    // The last run ended on an exception.
    bool failed() const { return failed_; }
    // Where the job was started; a job run by hand counts as a worker's.
    JobPlace place() const { return place_; }
    void setPlace(JobPlace place) { place_ = place; }

signals:
    // The progress every job may report; each is sent only on a change.
    // percent: the whole job; subPercent: the current item.
    void percent(int value);
    void subPercent(int value);
    // The item (file, track) index of count begins.
    void nextItem(int index, int count);
    // An item's state text changed (a list row's state column).
    void itemState(int index, const QString& text);
    // A line for the user that asks nothing.
    void infoMessage(const QString& text);
    // Sent before ended() when the job ended on a stop.
    void cancelled();
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
    // Runs read on the window's thread while the job waits (what the
    // window shows at this moment, such as a row the user may rename);
    // whenStopped once the job was stopped.
    int readFromWindow(std::function<int()> read, int whenStopped) {
        return control_.ask(handlerContext_, std::move(read), whenStopped);
    }
    // On the GUI thread, lets pending events run (twice: once for what the
    // block's reports caused and once for what that in turn posted).
    void letEventsRun();
    bool onGuiThread() const { return onGuiThread_; }

    // Send the signals above only when the value changed.
    void setPercent(int value);
    void setSubPercent(int value);
    void setItemState(int index, const QString& text) { emit itemState(index, text); }
    void beginItem(int index, int count) { emit nextItem(index, count); }
    void inform(const QString& text) { emit infoMessage(text); }

private:
    JobHandler* handler_;
    QObject* handlerContext_;
    JobControl control_;
    std::atomic<bool> running_{false};
    bool failed_ = false;
    bool onGuiThread_ = false;
    JobPlace place_ = JobPlace::Worker;
    int percent_ = -1;
    int subPercent_ = -1;
};

// Where jobs record a failure that does not stop them (a tag that could not
// be written to an output): the program's error log, which app/ puts here.
// Without one such failures are only shown on their rows.
using JobErrorLog = std::function<void(const QString& message, const QString& className)>;
void SetJobErrorLog(JobErrorLog log);

// Where an exception out of a job goes: the application installs its
// handler, which logs it to "Error.txt". It is called on the GUI thread.
// Without one the message goes to standard error.
void SetJobErrorHandler(std::function<void(const std::exception_ptr&)> handler);

// The one way a window starts its jobs: a job started here runs on a
// thread of its own and is deleted with it when it has ended, or (WMA,
// whose components want the GUI thread) on the GUI thread. Destroying
// this (with its window, when the program closes) stops the jobs still
// running and waits for them: a stopping job ends at its next block and
// asks nothing more.
class ToolJobThreads : public QObject {
public:
    ToolJobThreads() = default;
    ~ToolJobThreads() override;
    // Takes the job. On the GUI thread it runs before this returns and is
    // then deleted; its window's events run between its blocks.
    void start(ToolJob* job, JobPlace where = JobPlace::Worker);
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
