#pragma once
// A recorder that plays a script instead of writing: window and contract
// tests choose the recorders, the disc, the speeds and what a write or an
// erase reports, step by step, including errors in the middle, the warning
// codes the real writers never send, and failures found before the work
// starts. A step can wait on a gate, so a test can act (abort, close the
// window) while the operation is under way.
//
// It stands in for any writer: ScriptedRecorder<AudioDiscWriter> is an
// audio writer whose tracks are kept but whose device work is scripted.

#include <QStringList>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <thread>
#include <mutex>
#include <vector>

#include "components/discwriter/discrecorder.h"

template <class Base>
class ScriptedRecorder : public Base {
public:
    using Device = DiscRecorder::Device;
    using DiscState = DiscRecorder::DiscState;
    using Failure = DiscRecorder::Failure;

    struct Step {
        int operation = DiscRecorder::WriteOperation;
        int phase = DiscRecorder::NoPhase;
        int percent = 0;
        int error = DiscRecorder::NoError;  // nonzero: post this error instead of progress
        bool finish = false;                // the final 100 % of the operation
        bool waitGate = false;              // wait until openGate() (or abort) before this step
    };

    ScriptedRecorder() = default;
    ~ScriptedRecorder() override { this->abort(); }

    // What scanDevices finds: "vendor|product|revision" per recorder.
    QStringList recorders;
    DiscState disc;
    Failure readFailure;   // what refresh reports
    Failure startFailure;  // what write/erase report before starting
    std::vector<Step> writeScript;
    std::vector<Step> eraseScript;

    // A script of a good write of n tracks: per track phases 1, 2, 3, then
    // operation 3 and the final 100 %.
    static std::vector<Step> goodWrite(int tracks) {
        std::vector<Step> steps;
        for (int t = 0; t < tracks; ++t) {
            const int base = t * 90 / tracks;
            steps.push_back({DiscRecorder::WriteOperation, DiscRecorder::FillingBuffer, base});
            steps.push_back({DiscRecorder::WriteOperation, DiscRecorder::WritingTrack, base + 45 / tracks});
            steps.push_back({DiscRecorder::WriteOperation, DiscRecorder::ClosingTrack, (t + 1) * 90 / tracks});
        }
        steps.push_back({DiscRecorder::FinalizeOperation, DiscRecorder::NoPhase, 95});
        steps.push_back({DiscRecorder::FinalizeOperation, DiscRecorder::NoPhase, 100, DiscRecorder::NoError, true});
        return steps;
    }

    void openGate() {
        std::lock_guard lock(mutex_);
        gateOpen_ = true;
        gateChanged_.notify_all();
    }
    using Base::postMediaChange;

    // While set, reading the disc and the tray calls block, as a drive that
    // spins up or does not answer does.
    std::atomic<bool> driveHeld{false};

    // What the program asked for, in order ("refresh", "write ...", "eject"...).
    QStringList calls;
    bool lastQuick = false;

protected:
    QList<Device> scanDevices() override {
        calls << "initialize";
        QList<Device> devices;
        for (const QString& recorder : recorders) {
            const QStringList parts = recorder.split('|');
            devices.push_back({parts.value(0), parts.value(1), parts.value(2), recorder});
        }
        return devices;
    }
    Failure readDisc(int, DiscState* state) override {
        holdWhileAsked();
        calls << "refresh";
        if (readFailure) return readFailure;
        *state = disc;
        return {};
    }
    Failure startWrite(int) override {
        calls << QStringLiteral("write speed=%1 test=%2 finalize=%3")
                     .arg(this->writeSpeed())
                     .arg(this->testMode())
                     .arg(this->finalize());
        if (startFailure) return startFailure;
        play(writeScript);
        return {};
    }
    Failure startErase(int, bool quick) override {
        calls << "erase";
        lastQuick = quick;
        if (startFailure) return startFailure;
        play(eraseScript);
        return {};
    }
    void cancelDevice(int) override {
        calls << "abort";
        openGate();
    }
    void ejectDevice(int) override {
        holdWhileAsked();
        calls << "eject";
    }
    void closeTrayDevice(int) override { calls << "closeTray"; }
    void unlockTrayDevice(int) override { calls << "unlockTray"; }
    void releaseDevices() override { calls << "release"; }

private:
    void holdWhileAsked() {
        while (driveHeld) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    void play(std::vector<Step> script) {
        {
            std::lock_guard lock(mutex_);
            gateOpen_ = false;
        }
        this->runWorker([this, script = std::move(script)] {
            for (const Step& step : script) {
                if (step.waitGate) {
                    std::unique_lock lock(mutex_);
                    gateChanged_.wait(lock, [this] { return gateOpen_; });
                }
                if (this->stopRequested()) return;
                if (step.error != DiscRecorder::NoError) {
                    this->postError(step.error, QStringLiteral("scripted error %1").arg(step.error));
                    // The warnings of the real components let the work go on.
                    if (step.error != -101 && step.error != -103 && step.error != -104) return;
                    continue;
                }
                if (step.finish) {
                    this->finishOperation();
                    return;
                }
                this->postProgress(step.operation, step.phase, step.percent);
            }
        });
    }

    std::mutex mutex_;
    std::condition_variable gateChanged_;
    bool gateOpen_ = false;
};

using FakeRecorder = ScriptedRecorder<DiscRecorder>;
