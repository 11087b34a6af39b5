#include "Platform/Dispatch/WorkerPool.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>

#include "Platform/Support/FaultPoint.h"

namespace qor::platform {

std::shared_ptr<WorkerPool> WorkerPool::make(std::string label, std::size_t maxWorkers) {
    return std::shared_ptr<WorkerPool>(new WorkerPool(std::move(label), maxWorkers));
}

WorkerPool::WorkerPool(std::string label, std::size_t maxWorkers)
    : label_(std::move(label)), maxWorkers_(std::max<std::size_t>(1, maxWorkers)) {}

void WorkerPool::submit(std::function<void()> job) {
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        wake = dispatchLocked();
    }
    if (wake) workAvailable_.notify_one();
}

bool WorkerPool::dispatchLocked() {
    const std::size_t coming = pendingWakeups_ + starting_;
    // Every queued job already has a worker on its way, or every slot is spoken for (a
    // job that ends hands its slot on).
    if (jobs_.size() <= coming || running_ + coming >= maxWorkers_) return false;
    if (idleWorkers_ > 0) {
        --idleWorkers_;
        ++pendingWakeups_;
        return true;
    }
    if (threads_ < maxWorkers_) startWorkerLocked();
    return false;
}

bool WorkerPool::startWorkerLocked() {
    try {
        // A test can make the creation fail here as the system would (no threads left).
        if (faultPoint("WorkerPool.startThread")) {
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        }
        std::thread([self = shared_from_this()] { self->workerLoop(); }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    ++threads_;
    ++starting_;
    return true;
}

void WorkerPool::workerLoop() {
    std::unique_lock lock(mutex_);
    --starting_;
    for (;;) {
        while (!(running_ < maxWorkers_ && !jobs_.empty()) && !(closed_ && jobs_.empty())) {
            ++idleWorkers_;
            workAvailable_.wait(lock);
            // Woken for a job (its claim already took this worker off the idle count), or by
            // close(), setMaxWorkers() or spuriously.
            if (pendingWakeups_ > 0) {
                --pendingWakeups_;
            } else {
                --idleWorkers_;
            }
        }
        if (jobs_.empty()) {  // closed and drained
            --threads_;
            return;
        }
        auto job = std::move(jobs_.front());
        jobs_.pop_front();
        ++running_;
        const bool wake = dispatchLocked();  // a job behind this one may want a worker of its own
        lock.unlock();
        if (wake) workAvailable_.notify_one();
        job();
        job = nullptr;  // captured state dies outside the lock
        lock.lock();
        finishJobLocked(true);
    }
}

bool WorkerPool::finishJobLocked(bool byWorker) {
    --running_;
    if (jobs_.empty() && running_ == 0) idle_.notify_all();
    return !byWorker && dispatchLocked();
}

bool WorkerPool::tryRunInline(const std::function<void()>& job) {
    {
        std::lock_guard lock(mutex_);
        if (!jobs_.empty() || running_ >= maxWorkers_) return false;
        ++running_;
    }
    struct SlotRelease {
        WorkerPool& pool;
        ~SlotRelease() {
            bool wake = false;
            {
                std::lock_guard lock(pool.mutex_);
                wake = pool.finishJobLocked(false);
            }
            if (wake) pool.workAvailable_.notify_one();
        }
    } release{*this};
    job();
    return true;
}

void WorkerPool::waitUntilIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return jobs_.empty() && running_ == 0; });
}

void WorkerPool::setMaxWorkers(std::size_t maxWorkers) {
    std::lock_guard lock(mutex_);
    maxWorkers_ = std::max<std::size_t>(1, maxWorkers);
    // A raised cap lets queued jobs have workers of their own.
    for (std::size_t job = 0; job < jobs_.size(); ++job) {
        const std::size_t coming = pendingWakeups_ + starting_;
        if (dispatchLocked()) workAvailable_.notify_one();
        if (pendingWakeups_ + starting_ == coming) break;
    }
}

std::size_t WorkerPool::maxWorkers() const {
    std::lock_guard lock(mutex_);
    return maxWorkers_;
}

void WorkerPool::close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    workAvailable_.notify_all();
}

}  // namespace qor::platform
