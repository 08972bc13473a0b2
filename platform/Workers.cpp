#include "platform/Workers.h"

#include <QPromise>
#include <QThread>

#include <algorithm>
#include <atomic>

int WorkerThreadCount(int requested) {
    if (requested > 0)
        return requested;
    return std::max(1, QThread::idealThreadCount());
}

struct WorkerGroup::State {
    std::function<void()> body;
    std::atomic<int> running{0};
    QPromise<void> promise;
};

WorkerGroup::WorkerGroup(int threads, std::function<void()> body)
    : state_(std::make_shared<State>()) {
    threads = std::max(1, threads);
    state_->body = std::move(body);
    state_->running = threads;
    state_->promise.start();
    finished_ = state_->promise.future();
    // Every copy runs at once, however many cores there are: -j N asks for
    // N threads, and the copies share their work among themselves.
    pool_.setMaxThreadCount(threads);
    for (int t = 0; t < threads; ++t) {
        pool_.start([state = state_] {
            state->body();
            if (state->running.fetch_sub(1) == 1)
                state->promise.finish();
        });
    }
}

WorkerGroup::~WorkerGroup() {
    pool_.waitForDone();
}

void WorkerGroup::Wait() {
    pool_.waitForDone();
}

void RunOnWorkers(int threads, const std::function<void()>& body) {
    if (threads <= 1) {
        body();
        return;
    }
    WorkerGroup group(threads, body);
    group.Wait();
}
