#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "Platform/Foundation/URLRequest.h"
#include "Platform/Net/URLSessionConfiguration.h"
#include "Platform/Net/URLSessionDelegate.h"
#include "Platform/Net/URLSessionTask.h"

namespace qor::platform {

class OperationQueue;
namespace net {
class TransferEngine;
struct TaskEvent;
}  // namespace net

// Runs HTTP(S) and file loads on one I/O thread of its own (libcurl's multi
// interface, connections kept and reused) and reports on its delegate queue: the
// delegate's calls and the completion handlers run as operations of that queue, on its
// workers, never on the I/O thread and with no lock of the session held, so a handler
// that takes its time delays later events of the queue but no transfer.
class URLSession : public std::enable_shared_from_this<URLSession> {
public:
    // Without a queue the session makes its own serial one. The delegate is held
    // strongly until the session is invalidated and its last event delivered.
    static std::shared_ptr<URLSession> make(URLSessionConfiguration configuration,
                                            std::shared_ptr<URLSessionDataDelegate> delegate = nullptr,
                                            std::shared_ptr<OperationQueue> delegateQueue = nullptr);
    ~URLSession();
    URLSession(const URLSession&) = delete;
    URLSession& operator=(const URLSession&) = delete;

    const URLSessionConfiguration& configuration() const { return configuration_; }
    std::shared_ptr<URLSessionDataDelegate> delegate() const;
    const std::shared_ptr<OperationQueue>& delegateQueue() const { return delegateQueue_; }

    // Sends the request's method, headers and body; reports to the delegate. The request is taken
    // by value: a caller done with it moves it in, and its body is not copied again.
    std::shared_ptr<URLSessionDataTask> dataTask(URLRequest request);
    // Reports only to `completionHandler` (data and no error on success, no data
    // and the error on a transport failure), on the delegate queue.
    std::shared_ptr<URLSessionDataTask> dataTask(URLRequest request, URLSessionCompletionHandler completionHandler);
    // Streams the file's bytes as the body with its exact length (never chunked);
    // a file that cannot be read ends the task with a transport error.
    std::shared_ptr<URLSessionUploadTask> uploadTask(URLRequest request, const URL& fromFile);

    // Cancels every task that has not completed; tasks made afterwards end as
    // cancelled when resumed. The delegate is released after the last event.
    void invalidateAndCancel();
    // Lets running tasks finish, then releases the delegate.
    void finishTasksAndInvalidate();

private:
    friend class URLSessionTask;
    friend class net::TransferEngine;

    URLSession(URLSessionConfiguration configuration, std::shared_ptr<URLSessionDataDelegate> delegate,
               std::shared_ptr<OperationQueue> delegateQueue);

    template <class Task>
    std::shared_ptr<Task> makeTask(URLRequest request, std::optional<URL> uploadFile,
                                   URLSessionCompletionHandler completionHandler);

    // Called on the I/O thread; queue the events in order on the delegate queue.
    void deliverEvents(std::vector<net::TaskEvent> events);
    static void deliverEvent(net::TaskEvent& event);
    void deliverInvalidation();

    const URLSessionConfiguration configuration_;
    const std::shared_ptr<OperationQueue> delegateQueue_;
    const std::shared_ptr<net::TransferEngine> engine_;

    mutable std::mutex mutex_;
    std::shared_ptr<URLSessionDataDelegate> delegate_;
    std::int64_t nextIdentifier_ = 1;
    std::unordered_map<std::int64_t, std::weak_ptr<URLSessionTask>> tasks_;
    std::size_t tasksAfterSweep_ = 8;
};

}  // namespace qor::platform
