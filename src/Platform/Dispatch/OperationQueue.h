#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Platform/Support/ConstructionKey.h"

namespace qor::platform {

class WorkerPool;

// Runs operations on threads of its own, in the order they were added, at most
// maxConcurrentOperationCount at a time (1 by default: a serial queue). Dropping the last
// reference with operations pending is safe: they still run.
class OperationQueue : public std::enable_shared_from_this<OperationQueue> {
public:
    static std::shared_ptr<OperationQueue> make(std::string name = {});

    OperationQueue(const OperationQueue&) = delete;
    OperationQueue& operator=(const OperationQueue&) = delete;
    ~OperationQueue();

    const std::string& name() const { return name_; }

    // An exception that leaves an operation stops the process, naming the queue, as for the
    // blocks of every DispatchQueue (see DispatchQueue::async).
    void addOperation(std::function<void()> operation);

    // Runs `operation` on the calling thread, as an operation of this queue (isCurrent() is
    // true inside it, later operations wait for it), when nothing is queued and a slot is free;
    // false, without running it, otherwise. Saves a thread hand-off for a caller that is about
    // to add an operation and does not mind running it itself.
    bool runNowIfIdle(const std::function<void()>& operation);

    // Blocks until every operation added so far (and any they add) has finished. Calling it
    // from one of this queue's own operations could never return and is a fatal error.
    void waitUntilAllOperationsAreFinished();

    // True inside an operation of this queue.
    bool isCurrent() const;

    int maxConcurrentOperationCount() const;
    // Values below 1 mean "as many as the machine has cores".
    void setMaxConcurrentOperationCount(int count);

    OperationQueue(ConstructionKey<OperationQueue>, std::string name);

private:
    const std::string name_;
    const std::shared_ptr<WorkerPool> pool_;
};

}  // namespace qor::platform
