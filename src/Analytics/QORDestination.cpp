#include "Analytics/QORDestination.h"

#include <cstdio>

#include "Analytics/Analytics.h"
#include "Analytics/PostBatchRequest.h"
#include "Networking/Client/Session/Session.h"
#include "Platform/UIKit/UIApplication.h"

namespace qor {

namespace {

void printTrackingResult(const Result<std::string>& result) {
    std::string line = "DMP tracking result: ";
    if (const auto* text = result.valueIf()) {
        line += *text;
    } else {
        line += result.error().description();
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

bool removesFile(const Result<std::string>& result) {
    if (result.isSuccess()) return true;
    const auto description = result.error().errorDescription();
    return description && description->find("Bad request") != std::string::npos;
}

}  // namespace

QORDestination::QORDestination() : uploadsQueue_(platform::DispatchQueue::serial("uploadsQueue.qor.io")) {}

QORDestination::~QORDestination() = default;

void QORDestination::configure(const std::shared_ptr<Analytics>& analytics) {
    DestinationPlugin::configure(analytics);
    if (!analytics) return;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        storage_ = analytics->storage();
    }
    std::weak_ptr<QORDestination> weak = weak_from_this();
    if (weak.expired()) return;  // not owned by a shared_ptr: nothing can hold it weakly
    analytics->store()->subscribe<System>(std::weak_ptr<Subscriber>(shared_from_this()), true,
                                          platform::DispatchQueue::main(), [weak](const System& state) {
                                              if (auto self = weak.lock()) self->updateFlushPolicy(state);
                                          });
}

void QORDestination::updateFlushPolicy(const System& state) {
    const auto values = state.configuration->values();
    std::weak_ptr<QORDestination> weak = weak_from_this();
    auto timer = QueueTimer::make(values.flushInterval, platform::DispatchQueue::main(), [weak] {
        if (auto self = weak.lock()) self->flush();
    });
    std::shared_ptr<QueueTimer> previous;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        previous = std::move(flushTimer_);
        flushTimer_ = std::move(timer);
    }
    flushAt_ = values.flushAt;
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
    const auto store = storage();
    const auto owner = analytics();
    if (!store || !owner) return;

    std::lock_guard<std::mutex> flushing(flushMutex_);
    const auto files = store->read(Storage::Constants::events);
    if (!files) return;
    eventCount_.setWrappedValue(0);

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
    auto self = shared_from_this();
    auto task = session->upload(PostBatchRequest::forBatchFile(), CallbackQueue::currentMainOrAsync{}, file,
                                [store, file, self, owner, completed](Result<std::string> result) {
                                    printTrackingResult(result);
                                    const bool remove = removesFile(result);
                                    if (remove) store->remove(file);
                                    // From here on a new flush may list the files again: this one is settled.
                                    self->uploadsQueue_->sync([&] { *completed = true; });
                                    if (remove) self->uploadsQueue_->sync([&] { self->cleanupUploads(); });
                                    owner->log("Processed: " + file.lastPathComponent(), std::nullopt, "flush()", 130);
                                    self->uploadsQueue_->sync([&] { self->cleanupUploads(); });
                                });
    if (!task) return;
    auto info = beginUploadBackgroundTask(file, task->task);
    info.completed = std::move(completed);
    uploadsQueue_->sync([&] { uploads_.push_back(std::move(info)); });
}

QORDestination::UploadTaskInfo QORDestination::beginUploadBackgroundTask(
    const platform::URL& url, std::shared_ptr<platform::URLSessionDataTask> task) {
    UploadTaskInfo info{url, task, nullptr, nullptr};
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
    if (auto timer = flushTimer()) timer->suspend();
    flush();
}

void QORDestination::applicationWillEnterForeground(const Application& /*application*/) {
    if (auto timer = flushTimer()) timer->resume();
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
