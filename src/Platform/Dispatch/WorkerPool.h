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
    void startWorkerLocked();
    void finishJobLocked();

    const std::string label_;
    mutable std::mutex mutex_;
    std::condition_variable workAvailable_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> jobs_;
    std::size_t maxWorkers_;
    std::size_t threads_ = 0;
    std::size_t waitingWorkers_ = 0;
    std::size_t running_ = 0;
    bool closed_ = false;
};

}  // namespace qor::platform
