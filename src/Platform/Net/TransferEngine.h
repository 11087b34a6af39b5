#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Platform/Foundation/Data.h"
#include "Platform/Foundation/URLError.h"
#include "Platform/Net/URLSessionConfiguration.h"

typedef void CURLM;
typedef void CURL;

namespace qor::platform {
class URLSession;
class URLSessionTask;
}  // namespace qor::platform

namespace qor::platform::net {

struct Transfer;

// What a task reports to its session's delegate: a chunk of its body, or its end.
struct TaskEvent {
    enum class Kind { data, completion } kind;
    std::shared_ptr<URLSessionTask> task;
    Data data;                      // a chunk (data)
    std::optional<Data> collected;  // the whole body for a completion handler (completion)
    std::optional<URLError> error;  // (completion)
};

// The I/O side of one URLSession: a thread running libcurl's multi interface.
// Other threads only queue commands; every curl handle is touched on the I/O
// thread alone, and every task event is handed to the session from there, so a
// task's events leave in the order they happened.
class TransferEngine : public std::enable_shared_from_this<TransferEngine> {
public:
    static std::shared_ptr<TransferEngine> make(const URLSessionConfiguration& configuration);
    ~TransferEngine();

    void start(std::shared_ptr<URLSessionTask> task);
    void cancel(std::shared_ptr<URLSessionTask> task);
    // Cancels everything (cancelRunning) or waits for the running transfers, then
    // asks the session to release its delegate; later starts end as cancelled.
    void invalidate(std::shared_ptr<URLSession> session, bool cancelRunning);
    // Stops the thread without further events. Safe from the I/O thread itself.
    void shutdown();

    explicit TransferEngine(const URLSessionConfiguration& configuration);

private:
    struct Command {
        enum class Kind { start, cancel, invalidate, finishAndInvalidate } kind;
        std::shared_ptr<URLSessionTask> task;
        std::shared_ptr<URLSession> session;
        std::chrono::steady_clock::time_point postedAt;  // start: when the task was resumed
    };

    // libcurl callbacks, on the I/O thread.
    static void ensureResponse(Transfer& transfer);
    static std::size_t onHeader(char* buffer, std::size_t size, std::size_t count, void* context);
    static bool exceedsLimit(Transfer& transfer, std::size_t length);
    static std::size_t onBody(char* buffer, std::size_t size, std::size_t count, void* context);
    static std::size_t onUploadRead(char* buffer, std::size_t size, std::size_t count, void* context);
    static int onUploadSeek(void* context, std::int64_t offset, int origin);

    void post(Command command);
    void run();
    void execute(Command& command);
    void begin(const std::shared_ptr<URLSessionTask>& task, std::chrono::steady_clock::time_point resumedAt);
    // Takes a handle and sets it up for the transfer's request.
    void configure(Transfer& transfer);
    void abort(const std::shared_ptr<URLSessionTask>& task);
    void finish(Transfer& transfer, std::optional<URLError> error);
    void completeWithoutTransfer(const std::shared_ptr<URLSessionTask>& task, URLError error);
    bool hasFreeConnection(const std::string& origin) const;
    void addToMulti(Transfer& transfer);
    void startWaitingTransfer(const std::string& origin);
    void readMessages();
    static bool hasTimedOut(const Transfer& transfer, std::chrono::steady_clock::time_point now);
    void enforceTimeouts();
    long pollTimeoutMilliseconds() const;
    void releaseDelegateIfDone();
    void report(TaskEvent event);
    void deliverReported();
    CURL* takeEasyHandle();
    void recycle(Transfer& transfer);

    const URLSessionConfiguration configuration_;
    CURLM* multi_ = nullptr;
    std::thread thread_;

    std::mutex mutex_;  // guards commands_, stopping_, polling_ and the wake-up of multi_
    std::vector<Command> commands_;
    bool stopping_ = false;
    bool polling_ = false;  // the I/O thread waits (or is about to) in curl_multi_poll, unwoken

    // I/O thread only.
    std::vector<std::unique_ptr<Transfer>> transfers_;
    std::map<std::string, int> activeByOrigin_;
    std::size_t inMulti_ = 0;  // transfers added to multi_
    long cachedConnections_;   // the idle-connection cache's size: the largest burst, within a bound
    bool invalidated_ = false;
    std::shared_ptr<URLSession> sessionAwaitingRelease_;
    // Events of one turn of the loop, handed to the delegate queue together at its end.
    std::vector<TaskEvent> reported_;
    // Finished handles, reset, for the next transfers (their buffers stay allocated).
    std::vector<CURL*> spareHandles_;
};

}  // namespace qor::platform::net
