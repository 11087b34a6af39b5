#include "AdNetwork/BatchRecorder.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "Analytics/PostBatchRequest.h"
#include "Core/EncodeToDictionary.h"
#include "Core/SDKLog.h"
#include "Networking/Client/Session/Session.h"
#include "Platform/Dispatch/DispatchQueue.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Dispatch/Thread.h"
#include "Platform/Dispatch/Timer.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/JSONEncoder.h"
#include "Platform/Foundation/JSONSerialization.h"

namespace qor {

namespace {

// An event sits this many containers deep in its envelope: the envelope and its "batch" list.
constexpr std::size_t eventDepthInEnvelope = 2;

// The event's compact JSON text as its envelope carries it, once it is known to read back
// there: an event that would not would take every other event of its envelope with it. The one
// text serves the length check and the upload; the list's length follows from its events'
// (brackets and commas), so no recording encodes the whole list again.
std::optional<std::string> postableText(const Batch& batch) {
    try {
        return readBackText(platform::JSONEncoder().encodeToString(batch), eventDepthInEnvelope);
    } catch (const platform::EncodingError& error) {
        writeSDKLogLine("Encode Batch Error: " + error.localizedDescription() + "\n");
    } catch (const platform::JSONSerializationError& error) {
        writeSDKLogLine("Encode Batch Error: " + error.localizedDescription() + "\n");
    }
    return std::nullopt;
}

// The envelope's text, as the body posted: the record's own encoding with an empty list, the
// events' texts written into that list. The same bytes as encoding the whole envelope at once,
// without encoding any event a second time, and written once. A quote inside a string is
// escaped, so the member found is the list.
platform::Data envelopeBody(const std::string& writeKey, const std::vector<std::string>& events,
                            const std::string& sentAt) {
    BatchRequest shell;
    shell.writeKey = writeKey;
    shell.sentAt = sentAt;
    const std::string frame = platform::JSONEncoder().encodeToString(shell);
    constexpr std::string_view emptyList = "\"batch\":[]";
    const std::size_t listEnd = frame.find(emptyList) + emptyList.size() - 1;
    std::size_t length = frame.size() + events.size();
    for (const auto& event : events) length += event.size();
    platform::Data body;
    body.reserve(length);
    const auto append = [&body](std::string_view text) { body.insert(body.end(), text.begin(), text.end()); };
    append(std::string_view(frame).substr(0, listEnd));
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (i > 0) append(",");
        append(events[i]);
    }
    append(std::string_view(frame).substr(listEnd));
    return body;
}

Batch makeEvent(const Batch::Context& context, BatchType type, const std::string& writeKey,
                const std::string& requestId, const std::string& anonymousId, std::string timestamp) {
    Batch batch;
    batch.anonymousId = anonymousId;
    batch.name = type;
    batch.requestId = requestId;
    batch.timestamp = std::move(timestamp);
    batch.type = BatchEventType::track;
    batch.writeKey = writeKey;
    batch.context = context;
    return batch;
}

void onMainThread(std::function<void()> block) {
    if (platform::Thread::isMainThread()) {
        block();
    } else {
        platform::RunLoop::main().perform(std::move(block));
    }
}

}  // namespace

std::shared_ptr<BatchRecorder> BatchRecorder::shared() {
    // Never destroyed: uploads in flight at exit still reach it.
    static const auto* instance = new std::shared_ptr<BatchRecorder>(make());
    return *instance;
}

std::shared_ptr<BatchController> BatchController::shared() { return BatchRecorder::shared(); }

std::shared_ptr<BatchRecorder> BatchRecorder::make() { return make(Settings{}, makeBatchContext()); }

std::shared_ptr<BatchRecorder> BatchRecorder::make(Settings settings, Batch::Context context) {
    return std::shared_ptr<BatchRecorder>(new BatchRecorder(settings, std::move(context)));
}

BatchRecorder::BatchRecorder(Settings settings, Batch::Context context)
    : settings_(settings),
      context_(std::move(context)),
      queue_(platform::DispatchQueue::serial("batch.upload.qor.io")) {}

Batch BatchRecorder::makeBatch(BatchType type, const std::string& writeKey, const std::string& requestId,
                               const std::string& anonymousId) const {
    return makeEvent(context_, type, writeKey, requestId, anonymousId, batchTimestamp());
}

void BatchRecorder::addBatch(BatchType type, const std::string& writeKey, const std::string& requestId,
                             std::optional<AdData> data, const std::string& anonymousId) {
    Recording recording{type, writeKey + "@ios", requestId, std::move(data), anonymousId, platform::Date::now()};
    bool queue = false;
    {
        const std::lock_guard lock(handOverMutex_);
        handedOver_.push_back(std::move(recording));
        queue = !std::exchange(handOverQueued_, true);
    }
    if (queue) queue_->async([self = shared_from_this()] { self->recordHandedOver(); });
}

void BatchRecorder::recordHandedOver() {
    std::vector<Recording> recordings;
    for (;;) {
        recordings.clear();
        {
            const std::lock_guard lock(handOverMutex_);
            if (handedOver_.empty()) {
                handOverQueued_ = false;
                return;
            }
            recordings.swap(handedOver_);
        }
        for (auto& recording : recordings) {
            Batch batch = makeEvent(context_, recording.type, recording.writeKey, recording.requestId,
                                    recording.anonymousId, platform::localDateTimeString(recording.recordedAt));
            batch.fillBatchAdData(recording.type, std::move(recording.data));
            record(batch);
        }
    }
}

void BatchRecorder::record(const Batch& batch) {
    // An event that cannot be posted would fail every later envelope: it is dropped here.
    auto text = postableText(batch);
    if (!text) return;
    const std::size_t length = text->size();
    std::optional<Pending> postNow;
    bool armTimer = false;
    std::chrono::steady_clock::time_point due;
    {
        const std::lock_guard lock(mutex_);
        pendingBytes_ = events_.empty() ? length + 2 : pendingBytes_ + length + 1;
        latestWriteKey_ = batch.writeKey;
        latestSentAt_ = batch.timestamp;  // the event's own stamp: both are "now", to the second
        events_.push_back(std::move(*text));
        due_ = due = std::chrono::steady_clock::now() + settings_.delay;
        if (pendingBytes_ >= settings_.threshold) {
            postNow = takePendingLocked();
        } else if (!timerArmed_) {
            timerArmed_ = armTimer = true;
        }
    }
    if (postNow) post(std::move(*postNow));
    if (armTimer) {
        onMainThread([weak = weak_from_this(), due] {
            if (const auto self = weak.lock()) self->scheduleTimer(due);
        });
    }
}

void BatchRecorder::scheduleTimer(std::chrono::steady_clock::time_point due) {
    const auto wait = std::max(due - std::chrono::steady_clock::now(), std::chrono::steady_clock::duration::zero());
    platform::Timer::scheduledTimer(wait, false, [weak = weak_from_this()](platform::Timer&) {
        if (const auto self = weak.lock()) self->timerFired();
    });
}

void BatchRecorder::timerFired() {
    std::optional<Pending> envelope;
    std::optional<std::chrono::steady_clock::time_point> later;
    {
        const std::lock_guard lock(mutex_);
        if (!events_.empty() && std::chrono::steady_clock::now() < due_) {
            later = due_;  // recorded again since the timer was armed: wait on from the latest
        } else {
            envelope = takePendingLocked();
            timerArmed_ = false;
        }
    }
    if (later) scheduleTimer(*later);
    if (envelope) post(std::move(*envelope));
}

std::optional<BatchRecorder::Pending> BatchRecorder::takePendingLocked() {
    if (events_.empty()) return std::nullopt;
    Pending envelope{latestWriteKey_, std::move(events_), latestSentAt_};
    // Room for as many as the last envelope took, made once, spares the next envelope's
    // recordings the moves of a growing list.
    events_ = {};
    events_.reserve(envelope.events.size());
    pendingBytes_ = 0;
    return envelope;
}

void BatchRecorder::post(Pending envelope) {
    const auto session = Session::sharedInstance();
    const std::size_t count = envelope.events.size();
    {
        const std::lock_guard lock(mutex_);
        inFlight_ += count;
    }
    // Joining a full envelope's texts is done on the recorder's queue, not on an auction's
    // thread. The answer is not looked at: success or failure, the envelope's events are gone.
    queue_->async([session, envelope = std::move(envelope), weak = weak_from_this(), count]() mutable {
        auto body =
            std::make_shared<const platform::Data>(envelopeBody(envelope.writeKey, envelope.events, envelope.sentAt));
        envelope.events = {};  // in the body now: not held a second time while it is posted
        session->send(PostBatchRequest::withJSONBody(std::move(body)), CallbackQueue::currentMainOrAsync{},
                      [weak, count](const Result<std::string>&) {
                          if (const auto self = weak.lock()) {
                              const std::lock_guard lock(self->mutex_);
                              self->inFlight_ -= count;
                          }
                      });
    });
}

void BatchRecorder::sendBatches(BatchRequest envelope) {
    const auto session = Session::sharedInstance();
    const std::size_t count = envelope.batches.size();
    {
        const std::lock_guard lock(mutex_);
        inFlight_ += count;
    }
    // An envelope given whole is encoded and converted as the request is built, on the
    // recorder's queue; one that cannot be fails as a request that cannot be encoded.
    queue_->async([session, envelope = std::move(envelope), weak = weak_from_this(), count]() mutable {
        session->send(PostBatchRequest::carrying(std::move(envelope)), CallbackQueue::currentMainOrAsync{},
                      [weak, count](const Result<std::string>&) {
                          if (const auto self = weak.lock()) {
                              const std::lock_guard lock(self->mutex_);
                              self->inFlight_ -= count;
                          }
                      });
    });
}

std::size_t BatchRecorder::pendingCount() const {
    queue_->sync([] {});
    const std::lock_guard lock(mutex_);
    return events_.size();
}

std::size_t BatchRecorder::inFlightCount() const {
    queue_->sync([] {});
    const std::lock_guard lock(mutex_);
    return inFlight_;
}

}  // namespace qor
