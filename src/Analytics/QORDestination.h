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
#include "Platform/Foundation/URLSessionTask.h"

namespace qor {

// The engine's own destination: appends every accepted event to the open batch file of the
// Storage and uploads the finished files to the collection endpoint when flushAt events have
// gathered, when the flush timer fires, when the app goes to the background, or on flush().
// A file is deleted once its upload succeeds or is refused as a bad request; otherwise it
// waits for the next flush.
//
// Flushes are atomic against each other: listing the finished files, the check for uploads
// still pending and the registration of new uploads happen under one lock, and an upload
// stays pending until its completion has run, so no batch file is ever sent twice at once.
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
    // on the main queue. Each call subscribes again.
    void configure(const std::shared_ptr<Analytics>& analytics) override;
    // Keeps "apiKey" and "apiHost" of the destination's integration settings.
    void update(const Settings& settings, UpdateType type) override;
    std::optional<AnyRawEvent> execute(AnyRawEvent event) override;
    void flush() override;

    // Pauses the flush timer and flushes; the timer runs again in the foreground.
    void applicationDidEnterBackground(const Application& application) override;
    void applicationWillEnterForeground(const Application& application) override;

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
    void updateFlushPolicy(const System& state);
    // On uploadsQueue_ only: drops the uploads whose completion has run and ends their
    // background tasks.
    void cleanupUploads();
    UploadTaskInfo beginUploadBackgroundTask(const platform::URL& url,
                                             std::shared_ptr<platform::URLSessionDataTask> task);
    void startUpload(const platform::URL& file, const std::shared_ptr<Storage>& storage,
                     const std::shared_ptr<Analytics>& analytics);

    const std::shared_ptr<platform::DispatchQueue> uploadsQueue_;
    std::vector<UploadTaskInfo> uploads_;  // on uploadsQueue_

    std::mutex flushMutex_;  // one flush at a time, from listing to registration

    mutable std::mutex mutex_;  // guards the members below
    std::shared_ptr<Storage> storage_;
    std::optional<std::string> apiKey_;
    std::optional<std::string> apiHost_;
    std::shared_ptr<QueueTimer> flushTimer_;

    Guarded<int> eventCount_{0};
    std::atomic<int> flushAt_{0};
};

}  // namespace qor
