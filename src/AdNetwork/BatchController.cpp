#include "AdNetwork/BatchController.h"

#include <algorithm>
#include <utility>

#include "Analytics/PostBatchRequest.h"
#include "Core/EncodeToDictionary.h"
#include "Core/SDKLog.h"
#include "Networking/Client/Session/Session.h"
#include "Platform/Dispatch/DispatchQueue.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/JSONEncoder.h"
#include "Platform/Foundation/JSONSerialization.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Foundation/Thread.h"
#include "Platform/Foundation/Timer.h"

namespace qor {

namespace {

// An event sits this many containers deep in its envelope: the envelope and its "batch" list.
constexpr std::size_t eventDepthInEnvelope = 2;

// The length of the event's compact JSON text, once that text is known to read back in its
// envelope as the upload converts it: an event that would fail there would take every other
// event of its envelope with it. The list's length follows from its events' (brackets and
// commas), so no recording encodes the whole list again.
std::optional<std::size_t> postableLength(const Batch& batch) {
    try {
        const std::string text = platform::JSONEncoder().encodeToString(batch);
        readBackAtDepth(text, eventDepthInEnvelope);
        return text.size();
    } catch (const platform::EncodingError& error) {
        writeSDKLogLine("Encode Batch Error: " + error.localizedDescription() + "\n");
    } catch (const platform::JSONSerializationError& error) {
        writeSDKLogLine("Encode Batch Error: " + error.localizedDescription() + "\n");
    }
    return std::nullopt;
}

void onMainThread(std::function<void()> block) {
    if (platform::Thread::isMainThread()) {
        block();
    } else {
        platform::RunLoop::main().perform(std::move(block));
    }
}

}  // namespace

std::shared_ptr<BatchController> BatchController::shared() {
    // Never destroyed: uploads in flight at exit still reach it.
    static const auto* instance = new std::shared_ptr<BatchController>(make());
    return *instance;
}

std::shared_ptr<BatchController> BatchController::make() { return make(Settings{}, makeBatchContext()); }

std::shared_ptr<BatchController> BatchController::make(Settings settings, Batch::Context context) {
    return std::shared_ptr<BatchController>(new BatchController(settings, std::move(context)));
}

BatchController::BatchController(Settings settings, Batch::Context context)
    : settings_(settings),
      context_(std::move(context)),
      queue_(platform::DispatchQueue::serial("batch.upload.qor.io")) {}

Batch BatchController::makeBatch(BatchType type, const std::string& writeKey, const std::string& requestId,
                                 const std::string& anonymousId) const {
    Batch batch;
    batch.anonymousId = anonymousId;
    batch.name = type;
    batch.requestId = requestId;
    batch.timestamp = batchTimestamp();
    batch.type = BatchEventType::track;
    batch.writeKey = writeKey;
    batch.context = context_;
    return batch;
}

void BatchController::addBatch(BatchType type, const std::string& writeKey, const std::string& requestId,
                               std::optional<AdData> data, const std::string& anonymousId) {
    const auto recordedAt = platform::Date::now();
    queue_->async([self = shared_from_this(), type, key = writeKey + "@ios", requestId, data = std::move(data),
                   anonymousId, recordedAt]() mutable {
        Batch batch = self->makeBatch(type, key, requestId, anonymousId);
        batch.timestamp = platform::localDateTimeString(recordedAt);
        batch.fillBatchAdData(type, std::move(data));
        self->record(std::move(batch));
    });
}

void BatchController::record(Batch batch) {
    // An event that cannot be posted would fail every later envelope: it is dropped here.
    const auto length = postableLength(batch);
    if (!length) return;
    std::optional<BatchRequest> postNow;
    bool armTimer = false;
    std::chrono::steady_clock::time_point due;
    {
        const std::lock_guard lock(mutex_);
        pendingBytes_ = batches_.empty() ? *length + 2 : pendingBytes_ + *length + 1;
        latestWriteKey_ = batch.writeKey;
        latestSentAt_ = batch.timestamp;  // the event's own stamp: both are "now", to the second
        batches_.push_back(std::move(batch));
        due_ = due = std::chrono::steady_clock::now() + settings_.delay;
        if (pendingBytes_ >= settings_.threshold) {
            postNow = takePendingLocked();
        } else if (!timerArmed_) {
            timerArmed_ = armTimer = true;
        }
    }
    if (postNow) sendBatches(std::move(*postNow));
    if (armTimer) {
        onMainThread([weak = weak_from_this(), due] {
            if (const auto self = weak.lock()) self->scheduleTimer(due);
        });
    }
}

void BatchController::scheduleTimer(std::chrono::steady_clock::time_point due) {
    const auto wait = std::max(due - std::chrono::steady_clock::now(), std::chrono::steady_clock::duration::zero());
    platform::Timer::scheduledTimer(wait, false, [weak = weak_from_this()](platform::Timer&) {
        if (const auto self = weak.lock()) self->timerFired();
    });
}

void BatchController::timerFired() {
    std::optional<BatchRequest> envelope;
    std::optional<std::chrono::steady_clock::time_point> later;
    {
        const std::lock_guard lock(mutex_);
        if (!batches_.empty() && std::chrono::steady_clock::now() < due_) {
            later = due_;  // recorded again since the timer was armed: wait on from the latest
        } else {
            envelope = takePendingLocked();
            timerArmed_ = false;
        }
    }
    if (later) scheduleTimer(*later);
    if (envelope) sendBatches(std::move(*envelope));
}

std::optional<BatchRequest> BatchController::takePendingLocked() {
    if (batches_.empty()) return std::nullopt;
    BatchRequest envelope;
    envelope.writeKey = latestWriteKey_;
    envelope.batches = std::move(batches_);
    envelope.sentAt = latestSentAt_;
    // Events are large: room for as many as the last envelope took, made once, spares the
    // next envelope's recordings the moves of a growing list.
    batches_ = {};
    batches_.reserve(envelope.batches.size());
    pendingBytes_ = 0;
    return envelope;
}

void BatchController::sendBatches(BatchRequest envelope) {
    const auto session = Session::sharedInstance();
    const std::size_t count = envelope.batches.size();
    {
        const std::lock_guard lock(mutex_);
        inFlight_ += count;
    }
    // Encoding a full envelope takes long enough to hold up an auction that recorded its last
    // event: it is done on the recorder's queue. The answer is not looked at: success or failure,
    // the envelope's events are gone.
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

std::size_t BatchController::pendingCount() const {
    queue_->sync([] {});
    const std::lock_guard lock(mutex_);
    return batches_.size();
}

std::size_t BatchController::inFlightCount() const {
    queue_->sync([] {});
    const std::lock_guard lock(mutex_);
    return inFlight_;
}

}  // namespace qor
