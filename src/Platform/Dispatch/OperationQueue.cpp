#include "Platform/Dispatch/OperationQueue.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "Platform/Dispatch/WorkerPool.h"
#include "Platform/Support/FatalError.h"

namespace qor::platform {
namespace {

thread_local const WorkerPool* currentOperationPool = nullptr;

// Marks the thread as running an operation of `pool` meanwhile.
void runAsOperation(const WorkerPool& pool, const std::function<void()>& operation) {
    const WorkerPool* previous = currentOperationPool;
    currentOperationPool = &pool;
    try {
        operation();
    } catch (...) {
        // The rule of every queue's blocks (DispatchQueue::async): nobody waits for it.
        stopForUncaughtException("operation queue " + pool.label(), std::current_exception());
    }
    currentOperationPool = previous;
}

}  // namespace

std::shared_ptr<OperationQueue> OperationQueue::make(std::string name) {
    return std::make_shared<OperationQueue>(ConstructionKey<OperationQueue>{}, std::move(name));
}

OperationQueue::OperationQueue(ConstructionKey<OperationQueue>, std::string name)
    : name_(std::move(name)), pool_(WorkerPool::make(name_, 1)) {}

OperationQueue::~OperationQueue() { pool_->close(); }

void OperationQueue::addOperation(std::function<void()> operation) {
    pool_->submit([pool = pool_.get(), operation = std::move(operation)] { runAsOperation(*pool, operation); });
}

bool OperationQueue::runNowIfIdle(const std::function<void()>& operation) {
    return pool_->tryRunInline([this, &operation] { runAsOperation(*pool_, operation); });
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
    if (isCurrent()) {
        fatalError("OperationQueue.waitUntilAllOperationsAreFinished called from its own operation: " + name_);
    }
    pool_->waitUntilIdle();
}

bool OperationQueue::isCurrent() const { return currentOperationPool == pool_.get(); }

int OperationQueue::maxConcurrentOperationCount() const { return static_cast<int>(pool_->maxWorkers()); }

void OperationQueue::setMaxConcurrentOperationCount(int count) {
    const auto cores = std::max(1u, std::thread::hardware_concurrency());
    pool_->setMaxWorkers(count < 1 ? cores : static_cast<std::size_t>(count));
}

}  // namespace qor::platform
