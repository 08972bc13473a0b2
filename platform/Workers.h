#pragma once

// The one way Pelmora runs work off the calling thread, and the one place
// that decides how many threads a job gets.
//
// A WorkerGroup runs one body on a number of threads of its own pool and
// ends a QFuture<void> once every copy has returned, so a thread with an
// event loop learns of the end through a QFutureWatcher instead of polling.
// The preview decode (one thread), the thumbnails (one per core) and the
// batch (its driver, and one thread per core for the pairs) are all groups.
//
// Threading rules:
// - A group is created, waited for and destroyed on one thread, its owner's.
// - The bodies run on the group's threads. They reach the owner's objects
//   only through what they were given: state under a lock, atomics, or a
//   result they hand back. Results meant for the owner's thread travel
//   through a queued call or are read after Finished() has ended.
// - The destructor waits for every body, so whatever a body captured by
//   reference must outlive the group: declare the group after it.
// - Work is not cancelled by the group; a body that should stop early reads
//   a flag its owner sets (the batch's stop flag, the preview's generation).

#include <QFuture>
#include <QThreadPool>

#include <functional>
#include <memory>

// Threads for a job: `requested` when positive (-j N), otherwise one per
// core the process may run on (at least one).
int WorkerThreadCount(int requested = 0);

class WorkerGroup {
  public:
    // Starts `body` on `threads` threads at once (at least one).
    WorkerGroup(int threads, std::function<void()> body);
    ~WorkerGroup();
    WorkerGroup(const WorkerGroup&) = delete;
    WorkerGroup& operator=(const WorkerGroup&) = delete;

    // Ends when every copy of the body has returned.
    QFuture<void> Finished() const { return finished_; }
    // Blocks until then.
    void Wait();

  private:
    struct State;
    std::shared_ptr<State> state_;
    QFuture<void> finished_;
    QThreadPool pool_;  // last: its destruction waits for the bodies
};

// Runs `body` on `threads` threads and returns once every copy has returned;
// a single thread is the calling thread itself.
void RunOnWorkers(int threads, const std::function<void()>& body);
