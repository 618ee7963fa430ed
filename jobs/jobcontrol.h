#pragma once
// Pause, stop and questions for a job that runs on a worker thread while its
// window stays on the GUI thread. The worker passes checkpoint() between
// files and blocks: a paused job waits there, a stopped one learns it must
// end. A question runs on the GUI thread while the worker waits for the
// answer; a stop releases the worker at once with the "stopped" answer, so
// the GUI thread may wait for a stopping worker without meeting it halfway
// through a question. The GUI thread calls pause, resume and stop; none of
// them waits.

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class JobControl {
public:
    JobControl();

    void pause();
    void resume();
    // Also lets a paused job go on, so that it can end.
    void requestStop();
    bool stopRequested() const { return state_->stop.load(); }
    bool paused() const;

    // Waits while paused (never on the GUI thread, where nothing could
    // resume it); false once stop was asked.
    bool checkpoint();

    // Runs question on context's thread and returns its answer; on that
    // thread itself it runs at once. whenStopped when stop was asked before
    // or while the question waited; the question is then not asked.
    int ask(QObject* context, std::function<int()> question, int whenStopped);

private:
    struct State {
        std::mutex m;
        std::condition_variable cv;
        bool paused = false;
        std::atomic<bool> stop{false};
    };
    std::shared_ptr<State> state_;
};
