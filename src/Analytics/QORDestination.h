#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Analytics/Plugin.h"
#include "Analytics/Storage.h"
#include "Analytics/Store.h"
#include "Analytics/System.h"
#include "Analytics/iOSLifecycle.h"
#include "Core/Guarded.h"
#include "Core/QueueTimer.h"
#include "Platform/Dispatch/DispatchQueue.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Net/URLSessionTask.h"

namespace qor {

// The engine's own destination: appends every accepted event to the open batch file of the
// Storage and uploads the finished files to the collection endpoint when flushAt events have
// gathered, when the flush timer fires, when the app goes to the background, or on flush().
// A file is deleted once its upload succeeds or is refused as a bad request; otherwise it
// waits for the next flush.
//
// A flush runs on the destination's own serial queue "flush.qor.io" (flushQueue()): flush()
// only starts one and returns, so the thread that asks, the main run loop above all, never
// waits for the disk. Flushes run one after the other there: listing the finished files, the
// check for uploads still pending and the registration of new uploads never interleave, and
// an upload stays pending until its completion has run, so no batch file is ever sent twice
// at once. An upload is registered (with its background task) before it starts, and its
// completion runs on the same queue, so a completion never comes before its registration.
//
// What becomes of a file is decided by the answer's status: a 2xx answer means the batch was
// accepted and the file is deleted whatever its body (a body that cannot be read is logged);
// a refusal whose body says "Bad request" deletes it too; anything else keeps it.
class QORDestination : public DestinationPlugin,
                       public VersionedPlugin,
                       public iOSLifecycle,
                       public Subscriber,
                       public std::enable_shared_from_this<QORDestination> {
public:
    struct UploadTaskInfo {
        platform::URL url;
        std::shared_ptr<platform::URLSessionDataTask> task;
        // Ends the upload's background task; empty when none was begun.
        std::function<void()> cleanup;
        // Set once the upload's completion has run (the file has been removed or kept).
        std::shared_ptr<std::atomic<bool>> completed;
    };

    static std::shared_ptr<QORDestination> make() { return std::make_shared<QORDestination>(); }
    QORDestination();
    ~QORDestination() override;

    PluginType type() const override { return PluginType::destination; }
    std::string key() const override { return "qor.io"; }
    std::string version() const override { return staticVersion(); }
    static std::string staticVersion() { return "0.1.19"; }

    // Also takes the instance's storage and follows its System state (flush timer, flushAt)
    // on the main queue: one subscription per store, however often it is configured.
    void configure(const std::shared_ptr<Analytics>& analytics) override;
    // Keeps "apiKey" and "apiHost" of the destination's integration settings.
    void update(const Settings& settings, UpdateType type) override;
    std::optional<AnyRawEvent> execute(AnyRawEvent event) override;
    // Sets the event count back to 0 and starts a flush on flushQueue(); returns at once.
    void flush() override;

    // Pauses the flush timer and flushes; the timer runs again in the foreground. A timer
    // rebuilt meanwhile (a new flush interval) keeps the paused or running state.
    void applicationDidEnterBackground(const Application& application) override;
    void applicationWillEnterForeground(const Application& application) override;

    // Where flushes and upload completions run. A block queued here after flush() runs after
    // that flush's listing and uploads have started.
    const std::shared_ptr<platform::DispatchQueue>& flushQueue() const { return flushQueue_; }

    std::size_t pendingUploads() const;
    std::shared_ptr<Storage> storage() const;
    std::optional<std::string> apiKey() const;
    std::optional<std::string> apiHost() const;
    int eventCount() const { return eventCount_.wrappedValue(); }
    int flushAt() const { return flushAt_.load(); }
    std::shared_ptr<QueueTimer> flushTimer() const;

protected:
    void queueEvent(const AnyRawEvent& event);

private:
    // The data task of one upload, known once the upload has started.
    struct UploadTask;

    void updateFlushPolicy(const System& state);
    // On flushQueue_: the flush itself.
    void performFlush();
    // On uploadsQueue_ only: drops the uploads whose completion has run and ends their
    // background tasks.
    void cleanupUploads();
    UploadTaskInfo beginUploadBackgroundTask(const platform::URL& url, const std::shared_ptr<UploadTask>& task);
    void startUpload(const platform::URL& file, const std::shared_ptr<Storage>& storage,
                     const std::shared_ptr<Analytics>& analytics);

    const std::shared_ptr<platform::DispatchQueue> uploadsQueue_;
    std::vector<UploadTaskInfo> uploads_;  // on uploadsQueue_
    const std::shared_ptr<platform::DispatchQueue> flushQueue_;

    mutable std::mutex mutex_;  // guards the members below
    std::shared_ptr<Storage> storage_;
    std::optional<std::string> apiKey_;
    std::optional<std::string> apiHost_;
    std::shared_ptr<QueueTimer> flushTimer_;
    bool timerPaused_ = false;         // the app is in the background
    std::weak_ptr<Store> subscribed_;  // the store whose System state is followed

    Guarded<int> eventCount_{0};
    std::atomic<int> flushAt_{0};
};

}  // namespace qor
