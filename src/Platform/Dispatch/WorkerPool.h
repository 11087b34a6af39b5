#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace qor::platform {

// Runs submitted jobs in submission order on at most `maxWorkers` threads of its own.
// With one worker it is a serial executor. Threads are started on demand and are
// detached; each holds the pool alive, so the owner may drop the pool while jobs are
// pending: after close() the workers finish what was submitted and then end.
// Not part of the public surface: DispatchQueue and OperationQueue are built on it.
//
// Every queued job has a worker on its way: a sleeping worker is woken for it (and from then
// on no longer counts as idle, even before it runs), or a new thread is started while below
// the cap, or it waits for a running job to end. A thread that cannot be created is not
// counted: the next submission or finished job tries again.
class WorkerPool : public std::enable_shared_from_this<WorkerPool> {
public:
    static std::shared_ptr<WorkerPool> make(std::string label, std::size_t maxWorkers);

    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    const std::string& label() const { return label_; }

    void submit(std::function<void()> job);

    // Runs `job` on the calling thread when nothing is queued and a worker slot is free,
    // holding that slot meanwhile so queued work keeps its order; false when busy.
    bool tryRunInline(const std::function<void()>& job);

    // Blocks until no job is waiting or running.
    void waitUntilIdle();

    void setMaxWorkers(std::size_t maxWorkers);
    std::size_t maxWorkers() const;

    // Lets the workers end once the submitted jobs are done.
    void close();

private:
    WorkerPool(std::string label, std::size_t maxWorkers);
    void workerLoop();
    // Finds a worker for a queued job that has none coming: claims an idle one or starts one.
    // True when an idle worker was claimed: the caller wakes it, best after letting go of the
    // lock, so the worker does not wake only to wait for it.
    bool dispatchLocked();
    // False when the thread could not be created; it is then not counted.
    bool startWorkerLocked();
    // After a job ran; a worker takes the next job itself, an inline run finds it a worker
    // (true: wake one, as for dispatchLocked).
    bool finishJobLocked(bool byWorker);

    const std::string label_;
    mutable std::mutex mutex_;
    std::condition_variable workAvailable_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> jobs_;
    std::size_t maxWorkers_;
    std::size_t threads_ = 0;
    // Threads started that have not yet reached the pool's lock; each takes a job when it does.
    std::size_t starting_ = 0;
    // Workers asleep that no job has claimed yet; a claim turns one into a wake-up.
    std::size_t idleWorkers_ = 0;
    // Claimed workers that have not woken yet. idleWorkers_ + pendingWakeups_ is the
    // number of workers asleep.
    std::size_t pendingWakeups_ = 0;
    // Jobs running, on workers or inline.
    std::size_t running_ = 0;
    bool closed_ = false;
};

}  // namespace qor::platform
