#include "fakerecorder.h"

FakeRecorder::FakeRecorder(QObject* parent) : DiscRecorder(parent) {}

FakeRecorder::~FakeRecorder() { abort(); }

std::vector<FakeRecorder::Step> FakeRecorder::goodWrite(int tracks) {
    std::vector<Step> steps;
    for (int t = 0; t < tracks; ++t) {
        const int base = t * 90 / tracks;
        steps.push_back({WriteOperation, FillingBuffer, base});
        steps.push_back({WriteOperation, WritingTrack, base + 45 / tracks});
        steps.push_back({WriteOperation, ClosingTrack, (t + 1) * 90 / tracks});
    }
    steps.push_back({FinalizeOperation, NoPhase, 95});
    steps.push_back({FinalizeOperation, NoPhase, 100, NoError, true});
    return steps;
}

void FakeRecorder::openGate() {
    std::lock_guard lock(mutex_);
    gateOpen_ = true;
    gateChanged_.notify_all();
}

QList<DiscRecorder::Device> FakeRecorder::scanDevices() {
    calls << "initialize";
    QList<Device> devices;
    for (const QString& recorder : recorders) {
        const QStringList parts = recorder.split('|');
        devices.push_back({parts.value(0), parts.value(1), parts.value(2), recorder});
    }
    return devices;
}

DiscRecorder::Failure FakeRecorder::readDisc(int index, DiscState* state) {
    calls << "refresh";
    if (readFailure) return readFailure;
    *state = disc;
    return {};
}

DiscRecorder::Failure FakeRecorder::startWrite(int index) {
    calls << QStringLiteral("write speed=%1 test=%2 finalize=%3").arg(writeSpeed()).arg(testMode()).arg(finalize());
    if (startFailure) return startFailure;
    play(writeScript);
    return {};
}

DiscRecorder::Failure FakeRecorder::startErase(int index, bool quick) {
    calls << "erase";
    lastQuick = quick;
    if (startFailure) return startFailure;
    play(eraseScript);
    return {};
}

void FakeRecorder::cancelDevice(int index) {
    calls << "abort";
    openGate();
}

void FakeRecorder::play(std::vector<Step> script) {
    {
        std::lock_guard lock(mutex_);
        gateOpen_ = false;
    }
    runWorker([this, script = std::move(script)] {
        for (const Step& step : script) {
            if (step.waitGate) {
                std::unique_lock lock(mutex_);
                gateChanged_.wait(lock, [this] { return gateOpen_; });
            }
            if (stopRequested()) return;
            if (step.error != NoError) {
                postError(step.error, QStringLiteral("scripted error %1").arg(step.error));
                return;
            }
            if (step.finish) {
                finishOperation();
                return;
            }
            postProgress(step.operation, step.phase, step.percent);
        }
    });
}
