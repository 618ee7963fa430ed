#pragma once
// What the audio and the data CD writer have in common: the list of
// recorders, the state of the disc in the chosen one, the write options, the
// long operations (write, erase) and the events they report. Each writer
// derives from DiscRecorder, lists its own recorders (drives, image targets)
// and does the device work in the protected hooks; this class keeps the
// bookkeeping and, above all, the order of the events, which the windows
// rely on.
//
// Event contract (every writer keeps it, the windows depend on it):
// - onError may be emitted synchronously, before refresh(), write() or
//   erase() returns: the windows test their error flag right after those
//   calls ("recorders not found" at show, an error at Write, the erase
//   dialog). With no recorder, refresh() reports NoRecorder that way, and
//   discType() is 0 and discStatus() 3.
// - onOperationProgress is always queued: it never arrives before write()
//   or erase() has returned, whichever thread made it.
// - currentOperation() and writePhase() read inside onOperationProgress
//   give the values of that event.
// - A write reports, for every track (or the one data track), phase 1
//   (filling the buffer) at its start, then phase 2 (writing) with the
//   percent of the whole job, then phase 3 (closing the track); then
//   operation 3 (finalising) up to exactly one event at 100 %, which ends
//   the write. An erase reports operation 1 and ends with exactly one event
//   at 100 %. Percent never goes down within an operation.
// - A failed operation ends with exactly one onError and nothing after it.
//   The codes -101, -103 and -104 (warnings) are never emitted by the real
//   writers: warnings go to the log. Posted by a test's scripted recorder,
//   they reach onError and the operation goes on.
// - After abort() returns, no event of the aborted operation arrives, and
//   the writer has already removed what it had half written.
// - onMediaChange is not emitted while an operation runs.
// - A setter called by the program never raises an event.
//
// Every writer calls abort() in its own destructor, so that its hooks still
// exist while a running operation is stopped.
//
// One thread uses a recorder (the GUI thread); the writers' own work runs
// on a worker thread of the recorder and reaches that thread through queued
// calls, in order.
//
// The calls that reach a drive and can block for long (reading its disc,
// the tray) run on a helper thread; the calling thread waits for them, so
// the calls keep their order and their synchronous errors. When the wait
// lasts, the caller's events other than user input go on (the window
// repaints) and onWaiting(true) ... onWaiting(false) lets the window show
// that it waits.

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

class QTimer;

class DiscRecorder : public QObject {
    Q_OBJECT
public:
    enum Operation { NoOperation = 0, EraseOperation = 1, WriteOperation = 2, FinalizeOperation = 3 };
    enum Phase { NoPhase = 0, FillingBuffer = 1, WritingTrack = 2, ClosingTrack = 3 };
    enum DiscType { NoDisc = 0, WriteOnce = 1, Erasable = 2, DvdRam = 3 };
    enum DiscStatus { Blank = 0, Open = 1, Closed = 2, StatusUnknown = 3 };
    // onError codes; every failure also leaves a text in lastErrorText().
    enum ErrorCode {
        NoError = 0,
        NoRecorder = -1,          // no recorder, or the chosen one is gone
        NotWritable = -2,         // closed disc, or a target that cannot take a write
        NotErasable = -3,         // the disc cannot be erased
        WriteFailed = -4,         // the device or the file system failed during a write
        CapacityExceeded = -5,    // more than the disc holds
        SourceFailed = -6,        // a track or file could not be read
        NoSpace = -7,             // not enough room in the image folder
        EraseFailed = -8,
        Busy = -9,                // another operation is running
        NothingToWrite = -10,
    };

    explicit DiscRecorder(QObject* parent = nullptr);
    // Stops an operation that is still running (as abort() does).
    ~DiscRecorder() override;

    // Lists the recorders again; the choice falls back to the first one.
    void initialize();
    int deviceCount() const { return int(devices_.size()); }
    // 1-based; a value outside 1..deviceCount names no recorder.
    int deviceIndex() const { return deviceIndex_; }
    void setDeviceIndex(int index);
    QString deviceVendor() const;
    QString deviceProduct() const;
    QString deviceRevision() const;

    // Reads the chosen recorder's disc again; may report onError
    // synchronously (NoRecorder, or a recorder that cannot be reached).
    void refresh();
    int discType() const { return discType_; }
    int discStatus() const { return discStatus_; }

    // A speed reads back as itself when the recorder supports it, else as
    // the next lower one it supports, else 0 (recorders without a speed
    // list, such as image files, read back 0 for every value).
    int writeSpeed() const;
    void setWriteSpeed(int speed) { requestedSpeed_ = speed; }
    bool testMode() const { return testMode_; }
    void setTestMode(bool on) { testMode_ = on; }
    bool finalize() const { return finalize_; }
    void setFinalize(bool on) { finalize_ = on; }

    // Starts the long operations. Both return at once; problems found
    // before the work starts are reported synchronously.
    void write();
    void erase(bool quick);
    void abort();
    bool isBusy() const { return operation_ != NoOperation; }

    void eject();
    void closeTray();
    void unlockTray();
    // Lets go of every recorder the writer holds (the window closes).
    void release();

    // While a window shows the recorder, a change of the chosen recorder's
    // medium (mediaSignature()) raises onMediaChange. Looked at every
    // intervalMs, never while an operation runs.
    void setMediaPolling(bool on, int intervalMs = 2000);

    // We hold no other program's tray locks, so there are none to cycle.
    int lockCount() const { return 0; }
    int lockIndex() const { return lockIndex_; }
    void setLockIndex(int index) { lockIndex_ = index; }

    int currentOperation() const { return currentOperation_; }
    int writePhase() const { return writePhase_; }
    int lastError() const { return lastError_; }
    QString lastErrorText() const { return lastErrorText_; }

    // What a writer tells about its recorders and their discs.
    struct Device {
        QString vendor, product, revision;
        QString address;  // what the writer needs to reach it again
    };
    struct DiscState {
        int type = NoDisc;
        int status = StatusUnknown;
        QList<int> speeds;  // supported write speeds in CD speed units, any order
    };
    struct Failure {
        int code = NoError;
        QString text;
        explicit operator bool() const { return code != NoError; }
    };

    // Where the image recorder that both writers offer beside the drives
    // writes (the image folder by default).
    void setImageFolder(const QString& folder) { imageFolder_ = folder; }
    // Tests that must not meet a real drive of the machine leave them out.
    void setDrivesListed(bool listed) { drivesListed_ = listed; }

signals:
    void onOperationProgress(int percent);
    void onError(int errCode);
    void onMediaChange();
    void onWaiting(bool waiting);

protected:
    // The writer's recorders, in the order the user sees them.
    virtual QList<Device> scanDevices() = 0;
    // Reads the disc of devices()[index] (0-based).
    virtual Failure readDisc(int index, DiscState* state) = 0;
    // Checks what can be checked at once and starts the work with
    // runWorker(); a failure returned here is reported synchronously. The
    // worker reports through postProgress and ends with finishOperation or
    // postError.
    virtual Failure startWrite(int index) = 0;
    virtual Failure startErase(int index, bool quick) = 0;
    // Called by abort() after stopRequested() turned true and before the
    // worker is joined: a writer whose worker waits on a device wakes it
    // here. Whatever was half written is removed by the worker itself.
    virtual void cancelDevice(int index) {}
    virtual void ejectDevice(int index) {}
    virtual void closeTrayDevice(int index) {}
    virtual void unlockTrayDevice(int index) {}
    virtual void releaseDevices() {}

    const QList<Device>& devices() const { return devices_; }
    int deviceSlot() const { return deviceIndex_ - 1; }  // 0-based, -1 when none

    // Worker side; callable from any thread.
    void runWorker(std::function<void()> work);
    bool stopRequested() const { return stop_.load(); }
    void postProgress(int operation, int phase, int percent);
    // The last event of a good operation: operation 3 (write) or 1 (erase)
    // at 100 %.
    void finishOperation();
    void postError(int code, const QString& text);
    // The worker's last word: the failure as an error, else the final 100 %;
    // nothing after a stop (the aborted operation reports nothing more).
    void endWork(const Failure& failure);
    void postMediaChange();
    // Runs work, which may block on a device, off the calling thread and
    // waits for it as the class comment says.
    void waitFor(const std::function<void()>& work);

    // What the polling compares: the chosen recorder's medium as it stands
    // now, empty without one.
    virtual QString mediaSignature() const { return {}; }
    // An image target's medium: the file's time and size, empty without it.
    static QString FileSignature(const QString& path);
    // A drive's medium: the kernel's size of it, 0 without a disc.
    static QString DriveMediumSignature(const QString& address);
    // A writer whose own writes and erases must not count as a change of
    // medium calls this as each one starts.
    void noteOwnOperation() { ++ownOperations_; }

    QString imageFolder_;
    QString imageName_;
    bool drivesListed_ = true;

private:
    void runOperation(int operation, const std::function<Failure(int slot)>& start);
    void fail(int code, const QString& text);  // synchronous, on the recorder's thread
    void deliverProgress(quint64 serial, int operation, int phase, int percent, bool last);
    void deliverError(quint64 serial, int code, const QString& text);
    void endOperation();
    void joinWorker();

    QList<Device> devices_;
    int deviceIndex_ = 1;
    int discType_ = NoDisc;
    int discStatus_ = StatusUnknown;
    QList<int> speeds_;
    int requestedSpeed_ = 0;
    bool testMode_ = false;
    bool finalize_ = true;
    int lockIndex_ = 0;

    int operation_ = NoOperation;  // the operation running, on the recorder's thread
    std::atomic<quint64> serial_{0};  // names the operation events belong to
    int currentOperation_ = NoOperation;
    int writePhase_ = NoPhase;
    int lastError_ = NoError;
    QString lastErrorText_;

    std::atomic<bool> stop_{false};
    std::thread worker_;

    bool waiting_ = false;  // inside waitFor, on the recorder's thread
    QTimer* mediaTimer_ = nullptr;
    QString lastMedia_;
    int ownOperations_ = 0;  // on the recorder's thread
    int ownOperationsSeen_ = 0;
};
