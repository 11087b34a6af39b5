#include "Analytics/QORDestination.h"

#include "Analytics/Analytics.h"
#include "Analytics/PostBatchRequest.h"
#include "Networking/Client/Session/Session.h"
#include "Platform/Foundation/HTTPURLResponse.h"
#include "Platform/Support/Console.h"
#include "Platform/Support/FaultPoint.h"
#include "Platform/UIKit/UIApplication.h"

namespace qor {

// The data task of one upload. The upload is registered before it starts, so the task arrives
// later; a cancellation asked for before that is carried out when it arrives.
struct QORDestination::UploadTask {
    void set(std::shared_ptr<platform::URLSessionDataTask> started) {
        bool cancelNow = false;
        {
            std::lock_guard<std::mutex> guard(mutex);
            task = started;
            cancelNow = cancelled;
        }
        if (cancelNow && started) started->cancel();
    }
    std::shared_ptr<platform::URLSessionDataTask> get() const {
        std::lock_guard<std::mutex> guard(mutex);
        return task;
    }
    void cancel() {
        std::shared_ptr<platform::URLSessionDataTask> running;
        {
            std::lock_guard<std::mutex> guard(mutex);
            cancelled = true;
            running = task;
        }
        if (running) running->cancel();
    }
    // The status of the answer's head, when one arrived (also when its body was then cut short).
    std::optional<int> status() const {
        const auto running = get();
        if (!running) return std::nullopt;
        const auto response = std::dynamic_pointer_cast<const platform::HTTPURLResponse>(running->response());
        if (!response) return std::nullopt;
        return response->statusCode();
    }

    mutable std::mutex mutex;
    std::shared_ptr<platform::URLSessionDataTask> task;
    bool cancelled = false;
};

namespace {

void printTrackingResult(const Result<std::string>& result) {
    // The server's answer, or the error's own textual form (its case and associated values keep
    // the cause, the answer's body among them).
    const std::string outcome = result.isSuccess() ? result.value() : result.error().description();
    platform::writeConsoleLine("DMP tracking result: " + platform::consoleText(outcome) + "\n");
}

bool isAccepted(std::optional<int> status) { return status && *status >= 200 && *status <= 299; }

bool refusedAsBadRequest(const Result<std::string>& result) {
    if (result.isSuccess()) return false;
    const auto description = result.error().errorDescription();
    return description && description->find("Bad request") != std::string::npos;
}

}  // namespace

QORDestination::QORDestination()
    : uploadsQueue_(platform::DispatchQueue::serial("uploadsQueue.qor.io")),
      flushQueue_(platform::DispatchQueue::serial("flush.qor.io")) {}

QORDestination::~QORDestination() = default;

void QORDestination::configure(const std::shared_ptr<Analytics>& analytics) {
    DestinationPlugin::configure(analytics);
    if (!analytics) return;
    // The System subscription below delivers on the main queue, which may not have turned yet:
    // until it does, events must still be counted against the configured flushAt, not against 0
    // (which would upload every early event on its own).
    if (const auto configuration = analytics->configuration()) flushAt_ = configuration->values().flushAt;
    const auto& store = analytics->store();
    {
        std::lock_guard<std::mutex> guard(mutex_);
        storage_ = analytics->storage();
        // Configured again (adding the plugin configures it, as may the host): one
        // subscription per store, or every System change would rebuild the timer twice.
        if (subscribed_.lock() == store) return;
    }
    std::weak_ptr<QORDestination> weak = weak_from_this();
    if (weak.expired()) return;  // not owned by a shared_ptr: nothing can hold it weakly
    {
        std::lock_guard<std::mutex> guard(mutex_);
        subscribed_ = store;
    }
    store->subscribe<System>(std::weak_ptr<Subscriber>(shared_from_this()), true, platform::DispatchQueue::main(),
                             [weak](const System& state) {
                                 if (auto self = weak.lock()) self->updateFlushPolicy(state);
                             });
}

void QORDestination::updateFlushPolicy(const System& state) {
    const auto values = state.configuration->values();
    flushAt_ = values.flushAt;
    std::shared_ptr<QueueTimer> previous;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        // Most System changes (enabled, settings, running) leave the interval as it is: the
        // timer stays, paused or running as it was.
        if (flushTimer_ && flushTimer_->interval() == values.flushInterval) return;
        std::weak_ptr<QORDestination> weak = weak_from_this();
        auto timer = QueueTimer::make(values.flushInterval, platform::DispatchQueue::main(), [weak] {
            if (auto self = weak.lock()) self->flush();
        });
        // A new interval in the background: the new timer waits for the foreground too.
        if (timerPaused_) timer->suspend();
        previous = std::move(flushTimer_);
        flushTimer_ = std::move(timer);
    }
    // `previous` is released here, outside the lock, which cancels it.
}

void QORDestination::update(const Settings& settings, UpdateType /*type*/) {
    std::optional<std::string> key;
    std::optional<std::string> host;
    if (const auto integration = settings.integrationSettings(this->key())) {
        if (const auto* value = integration->find("apiKey"); value && value->tryString()) key = value->asString();
        if (const auto* value = integration->find("apiHost"); value && value->tryString()) host = value->asString();
    }
    std::lock_guard<std::mutex> guard(mutex_);
    apiKey_ = std::move(key);
    apiHost_ = std::move(host);
}

std::optional<AnyRawEvent> QORDestination::execute(AnyRawEvent event) {
    auto result = deliver(std::move(event));
    if (result) queueEvent(*result);
    return result;
}

void QORDestination::queueEvent(const AnyRawEvent& event) {
    const auto store = storage();
    if (!store) return;
    store->write(Storage::Constants::events, event);
    const int count = eventCount_.mutate([](int& value) { return ++value; });
    if (count >= flushAt_.load()) flush();
}

void QORDestination::flush() {
    if (!storage() || !analytics()) return;
    // Counted as flushed from here on: the events that arrive before the flush runs start the
    // next count instead of asking for more flushes.
    eventCount_.setWrappedValue(0);
    auto self = weak_from_this().lock();
    if (!self) {
        performFlush();  // not owned by a shared_ptr: nothing could keep it alive on the queue
        return;
    }
    flushQueue_->async([self] { self->performFlush(); });
}

void QORDestination::performFlush() {
    const auto store = storage();
    const auto owner = analytics();
    if (!store || !owner) return;

    const auto files = store->read(Storage::Constants::events);
    if (!files) return;

    uploadsQueue_->sync([this] { cleanupUploads(); });
    const std::size_t pending = pendingUploads();
    owner->log("Uploads in-progress: " + std::to_string(pending), std::nullopt, "flush()", 107);
    if (pending != 0) {
        owner->log("Skipping processing; Uploads in progress.", std::nullopt, "flush()", 142);
        return;
    }
    for (const auto& file : *files) {
        owner->log("Processing Batch:\n" + file.lastPathComponent(), std::nullopt, "flush()", 111);
        startUpload(file, store, owner);
    }
}

void QORDestination::startUpload(const platform::URL& file, const std::shared_ptr<Storage>& store,
                                 const std::shared_ptr<Analytics>& owner) {
    const auto session = Session::sharedInstance();
    auto completed = std::make_shared<std::atomic<bool>>(false);
    auto upload = std::make_shared<UploadTask>();
    auto self = shared_from_this();

    // Registered, with its background task, before the upload starts: its completion can never
    // run first and leave an entry (and a background task) behind for ever.
    auto info = beginUploadBackgroundTask(file, upload);
    info.completed = completed;
    uploadsQueue_->sync([&] { uploads_.push_back(info); });

    auto task = session->upload(PostBatchRequest::forBatchFile(), CallbackQueue::dispatch{flushQueue_}, file,
                                [store, file, self, owner, completed, upload](Result<std::string> result) {
                                    printTrackingResult(result);
                                    const auto status = upload->status();
                                    bool remove = result.isSuccess() || refusedAsBadRequest(result);
                                    if (!remove && isAccepted(status)) {
                                        // The status decides: the server took the batch, whatever its answer's body.
                                        remove = true;
                                        owner->dispatchLog(
                                            "Batch " + file.lastPathComponent() + " accepted with status " +
                                                std::to_string(*status) +
                                                "; its answer could not be read: " + result.error().description(),
                                            LogFilterKind::warning, "flush()", 125);
                                    }
                                    // A test can stop the process here: the server has answered, the file is
                                    // still there (it is sent again by the next run).
                                    platform::faultPoint("QORDestination.upload.answered");
                                    if (remove) store->remove(file);
                                    // From here on a new flush may list the files again: this one is settled.
                                    self->uploadsQueue_->sync([&] { *completed = true; });
                                    if (remove) self->uploadsQueue_->sync([&] { self->cleanupUploads(); });
                                    owner->log("Processed: " + file.lastPathComponent(), std::nullopt, "flush()", 130);
                                    self->uploadsQueue_->sync([&] { self->cleanupUploads(); });
                                });
    // A test can hold the flush here, after the upload started and before this flush
    // block ends: its completion must still find the upload registered.
    platform::faultPoint("QORDestination.upload.started");
    if (!task) return;  // not built: the completion reports the failure and settles the entry
    upload->set(task->task);
    uploadsQueue_->sync([&] {
        for (auto& entry : uploads_) {
            if (entry.completed == completed) entry.task = task->task;
        }
    });
}

QORDestination::UploadTaskInfo QORDestination::beginUploadBackgroundTask(const platform::URL& url,
                                                                         const std::shared_ptr<UploadTask>& task) {
    UploadTaskInfo info{url, nullptr, nullptr, nullptr};
    const auto application = sharedApplication();
    if (!application) return info;
    auto identifier =
        std::make_shared<std::atomic<platform::UIBackgroundTaskIdentifier>>(platform::UIBackgroundTaskInvalid);
    std::weak_ptr<platform::UIApplication> weakApplication = application;
    const auto began = application->beginBackgroundTask([task, identifier, weakApplication] {
        task->cancel();
        if (auto app = weakApplication.lock()) app->endBackgroundTask(identifier->load());
    });
    identifier->store(began);
    info.cleanup = [identifier, weakApplication] {
        if (auto app = weakApplication.lock()) app->endBackgroundTask(identifier->load());
    };
    return info;
}

void QORDestination::cleanupUploads() {
    std::size_t removed = 0;
    std::vector<UploadTaskInfo> kept;
    for (auto& upload : uploads_) {
        const bool done = upload.completed ? upload.completed->load() : true;
        if (done) {
            if (upload.cleanup) upload.cleanup();
            ++removed;
        } else {
            kept.push_back(std::move(upload));
        }
    }
    uploads_ = std::move(kept);
    if (auto owner = analytics()) {
        owner->log("Cleaned up " + std::to_string(removed) + " non-running uploads.", std::nullopt, "cleanupUploads()",
                   167);
    }
}

std::size_t QORDestination::pendingUploads() const {
    std::size_t count = 0;
    uploadsQueue_->sync([&] { count = uploads_.size(); });
    return count;
}

void QORDestination::applicationDidEnterBackground(const Application& /*application*/) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        timerPaused_ = true;
        if (flushTimer_) flushTimer_->suspend();
    }
    flush();
}

void QORDestination::applicationWillEnterForeground(const Application& /*application*/) {
    std::lock_guard<std::mutex> guard(mutex_);
    timerPaused_ = false;
    if (flushTimer_) flushTimer_->resume();
}

std::shared_ptr<Storage> QORDestination::storage() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return storage_;
}

std::optional<std::string> QORDestination::apiKey() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return apiKey_;
}

std::optional<std::string> QORDestination::apiHost() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return apiHost_;
}

std::shared_ptr<QueueTimer> QORDestination::flushTimer() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return flushTimer_;
}

}  // namespace qor
