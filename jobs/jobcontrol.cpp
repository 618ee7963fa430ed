#include "jobs/jobcontrol.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include "platform/messageboxes.h"

namespace {
constexpr int kQuestionRetryMs = 50;
}

JobControl::JobControl() : state_(std::make_shared<State>()) {}

void JobControl::pause() {
    std::lock_guard lock(state_->m);
    state_->paused = true;
}

void JobControl::resume() {
    {
        std::lock_guard lock(state_->m);
        state_->paused = false;
    }
    state_->cv.notify_all();
}

void JobControl::requestStop() {
    {
        std::lock_guard lock(state_->m);
        state_->stop = true;
        state_->paused = false;
    }
    state_->cv.notify_all();
}

bool JobControl::paused() const {
    std::lock_guard lock(state_->m);
    return state_->paused;
}

bool JobControl::checkpoint() {
    const QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread()) return !state_->stop;
    std::unique_lock lock(state_->m);
    state_->cv.wait(lock, [this] { return !state_->paused || state_->stop; });
    return !state_->stop;
}

int JobControl::ask(QObject* context, std::function<int()> question, int whenStopped) {
    if (state_->stop) return whenStopped;
    if (QThread::currentThread() == context->thread()) return question();
    // The call outlives this wait when a stop releases the worker first: it
    // shares only this record with the worker, never the worker's stack.
    struct Call {
        bool done = false;
        bool abandoned = false;
        int answer = 0;
    };
    auto call = std::make_shared<Call>();
    auto state = state_;
    // While another box is open (the program's quit question, say) the
    // question waits for it to close: opened over it, it would take the
    // click meant for it. A quit answered Yes stops the job meanwhile.
    auto pose = std::make_shared<std::function<void()>>();
    *pose = [state, call, context, question = std::move(question), weak = std::weak_ptr(pose)] {
        {
            std::lock_guard lock(state->m);
            if (call->abandoned || state->stop) return;
        }
        if (MessageBoxOpen()) {
            if (auto again = weak.lock()) QTimer::singleShot(kQuestionRetryMs, context, [again] { (*again)(); });
            return;
        }
        const int answer = question();
        {
            std::lock_guard lock(state->m);
            call->answer = answer;
            call->done = true;
        }
        state->cv.notify_all();
    };
    QMetaObject::invokeMethod(context, [pose] { (*pose)(); }, Qt::QueuedConnection);
    std::unique_lock lock(state_->m);
    state_->cv.wait(lock, [&] { return call->done || state_->stop; });
    if (!call->done) {
        call->abandoned = true;
        return whenStopped;
    }
    return call->answer;
}
