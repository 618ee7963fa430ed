#include "components/discwriter/discrecorder.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>

#include "components/disc/disclog.h"

namespace {

bool IsWarningCode(int code) { return code == -101 || code == -103 || code == -104; }

}  // namespace

DiscRecorder::DiscRecorder(QObject* parent) : QObject(parent) {}

DiscRecorder::~DiscRecorder() {
    // A subclass has already gone when this runs, so its hooks cannot be
    // called: each writer aborts in its own destructor. What is left here
    // is a worker that must not outlive the object it posts to.
    stop_ = true;
    joinWorker();
}

void DiscRecorder::initialize() {
    devices_ = scanDevices();
    deviceIndex_ = 1;
    discType_ = NoDisc;
    discStatus_ = StatusUnknown;
    speeds_.clear();
}

void DiscRecorder::setDeviceIndex(int index) {
    if (index == deviceIndex_) return;
    deviceIndex_ = index;
    discType_ = NoDisc;
    discStatus_ = StatusUnknown;
    speeds_.clear();
}

QString DiscRecorder::deviceVendor() const {
    const int slot = deviceSlot();
    return slot >= 0 && slot < devices_.size() ? devices_[slot].vendor : QString();
}

QString DiscRecorder::deviceProduct() const {
    const int slot = deviceSlot();
    return slot >= 0 && slot < devices_.size() ? devices_[slot].product : QString();
}

QString DiscRecorder::deviceRevision() const {
    const int slot = deviceSlot();
    return slot >= 0 && slot < devices_.size() ? devices_[slot].revision : QString();
}

void DiscRecorder::refresh() {
    // The disc of a recorder in use is known; reading it again would disturb
    // the write. A refresh asked for while one waits for the drive gets
    // the same answer.
    if (isBusy() || waiting_) return;
    discType_ = NoDisc;
    discStatus_ = StatusUnknown;
    speeds_.clear();
    const int slot = deviceSlot();
    if (slot < 0 || slot >= devices_.size()) {
        fail(NoRecorder, QStringLiteral("No recorder was found."));
        return;
    }
    DiscState state;
    Failure failure;
    waitFor([&] { failure = readDisc(slot, &state); });
    if (failure) {
        fail(failure.code, failure.text);
        return;
    }
    discType_ = state.type;
    discStatus_ = state.status;
    speeds_ = state.speeds;
}

int DiscRecorder::writeSpeed() const {
    int best = 0;
    for (const int speed : speeds_) {
        if (speed == requestedSpeed_) return speed;
        if (speed < requestedSpeed_) best = std::max(best, speed);
    }
    return best;
}

void DiscRecorder::write() {
    runOperation(WriteOperation, [this](int slot) { return startWrite(slot); });
}

void DiscRecorder::erase(bool quick) {
    runOperation(EraseOperation, [this, quick](int slot) { return startErase(slot, quick); });
}

void DiscRecorder::runOperation(int operation, const std::function<Failure(int slot)>& start) {
    if (isBusy()) {
        fail(Busy, QStringLiteral("The recorder is busy."));
        return;
    }
    const int slot = deviceSlot();
    if (slot < 0 || slot >= devices_.size()) {
        fail(NoRecorder, QStringLiteral("No recorder was found."));
        return;
    }
    operation_ = operation;
    ++serial_;
    stop_ = false;
    lastError_ = NoError;
    lastErrorText_.clear();
    if (const Failure failure = start(slot)) {
        stop_ = true;
        joinWorker();
        fail(failure.code, failure.text);
    }
}

void DiscRecorder::abort() {
    if (!isBusy() && !worker_.joinable()) return;
    stop_ = true;
    cancelDevice(deviceSlot());
    joinWorker();
    endOperation();
}

void DiscRecorder::eject() {
    if (isBusy() || waiting_) return;
    const int slot = deviceSlot();
    if (slot >= 0 && slot < devices_.size()) waitFor([&] { ejectDevice(slot); });
}

void DiscRecorder::closeTray() {
    if (isBusy() || waiting_) return;
    const int slot = deviceSlot();
    if (slot >= 0 && slot < devices_.size()) waitFor([&] { closeTrayDevice(slot); });
}

void DiscRecorder::unlockTray() {
    if (isBusy() || waiting_) return;
    const int slot = deviceSlot();
    if (slot >= 0 && slot < devices_.size()) waitFor([&] { unlockTrayDevice(slot); });
}

void DiscRecorder::waitFor(const std::function<void()>& work) {
    // A short call is waited for plainly, so that nothing runs in between.
    constexpr auto kQuiet = std::chrono::milliseconds(100);
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        bool done = false;
        QEventLoop* loop = nullptr;
    };
    const auto state = std::make_shared<State>();
    std::thread helper([state, &work] {
        work();
        std::lock_guard lock(state->mutex);
        state->done = true;
        state->changed.notify_all();
        if (state->loop) QMetaObject::invokeMethod(state->loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    waiting_ = true;
    bool done = false;
    {
        std::unique_lock lock(state->mutex);
        done = state->changed.wait_for(lock, kQuiet, [&] { return state->done; });
    }
    if (!done && !QCoreApplication::instance()) {
        std::unique_lock lock(state->mutex);
        state->changed.wait(lock, [&] { return state->done; });
        done = true;
    }
    if (!done) {
        QEventLoop loop;
        {
            std::lock_guard lock(state->mutex);
            done = state->done;
            if (!done) state->loop = &loop;
        }
        if (!done) {
            emit onWaiting(true);
            // User input waits too: a click must not start something else
            // on the drive meanwhile.
            loop.exec(QEventLoop::ExcludeUserInputEvents);
            {
                std::lock_guard lock(state->mutex);
                state->loop = nullptr;
            }
            emit onWaiting(false);
        }
    }
    helper.join();
    waiting_ = false;
}

void DiscRecorder::release() {
    if (isBusy()) abort();
    releaseDevices();
}

void DiscRecorder::runWorker(std::function<void()> work) {
    joinWorker();
    worker_ = std::thread(std::move(work));
}

void DiscRecorder::postProgress(int operation, int phase, int percent) {
    const quint64 serial = serial_.load();
    QMetaObject::invokeMethod(
        this, [this, serial, operation, phase, percent] { deliverProgress(serial, operation, phase, percent, false); },
        Qt::QueuedConnection);
}

void DiscRecorder::finishOperation() {
    const quint64 serial = serial_.load();
    QMetaObject::invokeMethod(
        this,
        [this, serial] {
            const int last = operation_ == EraseOperation ? EraseOperation : FinalizeOperation;
            deliverProgress(serial, last, NoPhase, 100, true);
        },
        Qt::QueuedConnection);
}

void DiscRecorder::postError(int code, const QString& text) {
    const quint64 serial = serial_.load();
    QMetaObject::invokeMethod(this, [this, serial, code, text] { deliverError(serial, code, text); }, Qt::QueuedConnection);
}

void DiscRecorder::endWork(const Failure& failure) {
    if (stopRequested()) return;
    if (failure)
        postError(failure.code, failure.text);
    else
        finishOperation();
}

void DiscRecorder::postMediaChange() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!isBusy()) emit onMediaChange();
        },
        Qt::QueuedConnection);
}

void DiscRecorder::setMediaPolling(bool on, int intervalMs) {
    if (!on) {
        delete mediaTimer_;
        mediaTimer_ = nullptr;
        return;
    }
    if (!mediaTimer_) {
        mediaTimer_ = new QTimer(this);
        connect(mediaTimer_, &QTimer::timeout, this, [this] {
            if (isBusy()) return;
            const QString now = mediaSignature();
            // What our own write or erase changed is no change of medium.
            if (ownOperationsSeen_ != ownOperations_) {
                ownOperationsSeen_ = ownOperations_;
                lastMedia_ = now;
                return;
            }
            if (now == lastMedia_) return;
            lastMedia_ = now;
            postMediaChange();
        });
    }
    lastMedia_ = mediaSignature();
    ownOperationsSeen_ = ownOperations_;
    mediaTimer_->start(intervalMs);
}

QString DiscRecorder::FileSignature(const QString& path) {
    const QFileInfo file(path);
    return file.exists() ? QString::number(file.lastModified().toMSecsSinceEpoch()) + QLatin1Char(':') +
                               QString::number(file.size())
                         : QString();
}

QString DiscRecorder::DriveMediumSignature(const QString& address) {
    QFile size(QStringLiteral("/sys/class/block/") + QFileInfo(address).fileName() + QStringLiteral("/size"));
    return size.open(QIODevice::ReadOnly) ? QString::fromLatin1(size.readAll()).trimmed() : QString();
}

void DiscRecorder::fail(int code, const QString& text) {
    endOperation();
    lastError_ = code;
    lastErrorText_ = text;
    qCWarning(lcDisc, "%s", qPrintable(text));
    emit onError(code);
}

void DiscRecorder::deliverProgress(quint64 serial, int operation, int phase, int percent, bool last) {
    // Events of an operation that has been aborted or has failed since are
    // dropped: the window has already put itself back.
    if (serial != serial_.load() || !isBusy()) return;
    if (last) {
        joinWorker();
        endOperation();
    }
    currentOperation_ = operation;
    writePhase_ = phase;
    emit onOperationProgress(std::clamp(percent, 0, 100));
}

void DiscRecorder::deliverError(quint64 serial, int code, const QString& text) {
    if (serial != serial_.load() || !isBusy()) return;
    if (IsWarningCode(code)) {
        // Only a scripted recorder sends these; the operation goes on.
        lastError_ = code;
        lastErrorText_ = text;
        emit onError(code);
        return;
    }
    joinWorker();
    fail(code, text);
}

void DiscRecorder::endOperation() {
    if (operation_ != NoOperation) ++serial_;
    operation_ = NoOperation;
}

void DiscRecorder::joinWorker() {
    if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id()) worker_.join();
}
