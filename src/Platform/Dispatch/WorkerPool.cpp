#include "Platform/Dispatch/WorkerPool.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace qor::platform {

std::shared_ptr<WorkerPool> WorkerPool::make(std::string label, std::size_t maxWorkers) {
    return std::shared_ptr<WorkerPool>(new WorkerPool(std::move(label), maxWorkers));
}

WorkerPool::WorkerPool(std::string label, std::size_t maxWorkers)
    : label_(std::move(label)), maxWorkers_(std::max<std::size_t>(1, maxWorkers)) {}

void WorkerPool::submit(std::function<void()> job) {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
    if (waitingWorkers_ > 0 && running_ < maxWorkers_) {
        workAvailable_.notify_one();
    } else if (threads_ < maxWorkers_) {
        startWorkerLocked();
    }
}

void WorkerPool::startWorkerLocked() {
    ++threads_;
    std::thread([self = shared_from_this()] { self->workerLoop(); }).detach();
}

void WorkerPool::workerLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        while (!(running_ < maxWorkers_ && !jobs_.empty()) && !(closed_ && jobs_.empty())) {
            ++waitingWorkers_;
            workAvailable_.wait(lock);
            --waitingWorkers_;
        }
        if (jobs_.empty()) {  // closed and drained
            --threads_;
            return;
        }
        auto job = std::move(jobs_.front());
        jobs_.pop_front();
        ++running_;
        lock.unlock();
        job();
        job = nullptr;  // captured state dies outside the lock
        lock.lock();
        finishJobLocked();
    }
}

void WorkerPool::finishJobLocked() {
    --running_;
    if (jobs_.empty() && running_ == 0) idle_.notify_all();
    if (!jobs_.empty() && waitingWorkers_ > 0) workAvailable_.notify_one();
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
            std::lock_guard lock(pool.mutex_);
            pool.finishJobLocked();
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
    while (threads_ < maxWorkers_ && threads_ - running_ < jobs_.size()) startWorkerLocked();
    workAvailable_.notify_all();
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
