#include "Platform/Dispatch/DispatchQueue.h"

#include <algorithm>
#include <exception>
#include <future>
#include <thread>

#include "Platform/Dispatch/DeadlineScheduler.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Dispatch/Thread.h"
#include "Platform/Dispatch/WorkerPool.h"
#include "Platform/Support/FatalError.h"

namespace qor::platform {
namespace {

// The queues a thread is running right now, innermost first. A block run for sync()
// links to its caller's chain: the caller is blocked, so its queues are still "held",
// and a sync back onto any of them could never finish.
struct ExecutionContext {
    const void* queue;
    const ExecutionContext* caller;
};

thread_local const ExecutionContext* currentContext = nullptr;

class ContextScope {
public:
    ContextScope(const void* queue, const ExecutionContext* caller) : node_{queue, caller}, previous_(currentContext) {
        currentContext = &node_;
    }
    ~ContextScope() { currentContext = previous_; }
    ContextScope(const ContextScope&) = delete;
    ContextScope& operator=(const ContextScope&) = delete;

private:
    ExecutionContext node_;
    const ExecutionContext* previous_;
};

bool chainHolds(const ExecutionContext* context, const void* queue) {
    for (; context != nullptr; context = context->caller) {
        if (context->queue == queue) return true;
    }
    return false;
}

const char mainQueueIdentity = 0;
constexpr std::string_view mainQueueLabel = "main";

std::size_t globalPoolSize() {
    // Workers are started only when every existing one is busy, so a generous cap costs
    // nothing until blocks really wait on each other.
    return std::max<std::size_t>(16, 4 * std::thread::hardware_concurrency());
}

}  // namespace

DispatchQueue::DispatchQueue(Kind kind, std::string label, std::shared_ptr<WorkerPool> pool)
    : kind_(kind), label_(std::move(label)), pool_(std::move(pool)) {}

DispatchQueue::~DispatchQueue() {
    if (pool_) pool_->close();
}

std::shared_ptr<DispatchQueue> DispatchQueue::serial(std::string label) {
    auto pool = WorkerPool::make(label, 1);
    return std::shared_ptr<DispatchQueue>(new DispatchQueue(Kind::serial, std::move(label), std::move(pool)));
}

std::shared_ptr<DispatchQueue> DispatchQueue::main() {
    // Never destroyed (the exit-time rule): blocks may be queued onto it until the process ends.
    static const auto* queue =
        new std::shared_ptr<DispatchQueue>(new DispatchQueue(Kind::main, std::string(mainQueueLabel), nullptr));
    return *queue;
}

std::shared_ptr<DispatchQueue> DispatchQueue::global() {
    static const auto* queue = new std::shared_ptr<DispatchQueue>(
        new DispatchQueue(Kind::concurrent, "global", WorkerPool::make("global", globalPoolSize())));
    return *queue;
}

const void* DispatchQueue::identity() const {
    // The pool outlives the queue object while blocks run, so its address stays unique for
    // as long as a block of this queue can be asking.
    return kind_ == Kind::main ? static_cast<const void*>(&mainQueueIdentity) : pool_.get();
}

std::function<void()> DispatchQueue::wrapped(std::function<void()> block) const {
    // The label is reached through the pool (or the static main label), which outlives every
    // block of the queue; the queue object itself may be gone by the time the block runs.
    const std::string_view label = pool_ ? std::string_view(pool_->label()) : mainQueueLabel;
    return [queue = identity(), label, block = std::move(block)] {
        ContextScope scope(queue, nullptr);
        try {
            block();
        } catch (...) {
            stopForUncaughtException("queue " + std::string(label), std::current_exception());
        }
    };
}

void DispatchQueue::async(std::function<void()> block) {
    if (kind_ == Kind::main) {
        RunLoop::main().perform(wrapped(std::move(block)));
    } else {
        pool_->submit(wrapped(std::move(block)));
    }
}

void DispatchQueue::sync(const std::function<void()>& block) {
    const void* queue = identity();
    if (kind_ == Kind::concurrent) {
        ContextScope scope(queue, currentContext);
        block();
        return;
    }
    // The main thread holds the main queue even outside any block, so a chain that starts
    // there must not sync back onto main.
    std::optional<ContextScope> mainScope;
    if (Thread::isMainThread() && !chainHolds(currentContext, &mainQueueIdentity)) {
        mainScope.emplace(&mainQueueIdentity, currentContext);
    }
    if (chainHolds(currentContext, queue)) {
        fatalError("DispatchQueue.sync called on the queue it is already running on: " + label_);
    }
    // An idle serial queue runs the block on the caller's thread: a hand-off to the worker
    // and back would cost two thread switches per call.
    if (kind_ == Kind::serial) {
        const ExecutionContext* caller = currentContext;
        if (pool_->tryRunInline([queue, caller, &block] {
                ContextScope scope(queue, caller);
                block();
            })) {
            return;
        }
    }
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    std::function<void()> job = [queue, caller = currentContext, &block, done] {
        ContextScope scope(queue, caller);
        try {
            block();
            done->set_value();
        } catch (...) {
            done->set_exception(std::current_exception());
        }
    };
    if (kind_ == Kind::main) {
        RunLoop::main().perform(std::move(job));
    } else {
        pool_->submit(std::move(job));
    }
    finished.get();
}

void DispatchQueue::asyncAfter(std::chrono::nanoseconds delay, std::function<void()> block) {
    if (delay <= std::chrono::nanoseconds::zero()) {
        async(std::move(block));
        return;
    }
    DeadlineScheduler::shared().schedule(
        deadlineAfter(DeadlineScheduler::Clock::now(), delay),
        [self = shared_from_this(), block = std::move(block)]() mutable { self->async(std::move(block)); });
}

bool DispatchQueue::isCurrent() const {
    if (kind_ == Kind::main) return Thread::isMainThread();
    return currentContext != nullptr && currentContext->queue == identity();
}

}  // namespace qor::platform
