#include "AdNetwork/BatchController.h"

#include <string_view>
#include <utility>

#include "Analytics/PostBatchRequest.h"
#include "Core/SDKLog.h"
#include "Networking/Client/Session/Session.h"
#include "Platform/Dispatch/DispatchQueue.h"
#include "Platform/Foundation/JSONEncoder.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Foundation/Thread.h"
#include "Platform/Foundation/Timer.h"

namespace qor {

namespace {

// The length of the event's compact JSON text; the list's length follows from its events'
// (brackets and commas), so no recording encodes the whole list again.
std::optional<std::size_t> encodedLength(const Batch& batch) {
    try {
        return platform::JSONEncoder().encodeToString(batch).size();
    } catch (const platform::EncodingError& error) {
        writeSDKLogLine("Encode Batch Error: " + error.localizedDescription() + "\n");
        return std::nullopt;
    }
}

// The event's length from its length without the payload and the payload's own: the payload is
// the context's last member, written as `,"adData":` and its text.
std::optional<std::size_t> encodedLength(Batch& batch, std::optional<std::size_t> payloadLength) {
    if (!payloadLength || !batch.context.adData) return encodedLength(batch);
    auto payload = std::move(batch.context.adData);
    batch.context.adData.reset();
    auto length = encodedLength(batch);
    batch.context.adData = std::move(payload);
    if (!length) return std::nullopt;
    constexpr std::string_view member = ",\"adData\":";
    return *length + member.size() + *payloadLength;
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
      uploadQueue_(platform::DispatchQueue::serial("batch.upload.qor.io")) {}

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
                               std::optional<AdData> data, const std::string& anonymousId,
                               std::optional<std::size_t> payloadLength) {
    const std::string key = writeKey + "@ios";
    Batch batch = makeBatch(type, key, requestId, anonymousId);
    batch.fillBatchAdData(type, std::move(data));
    // An event that cannot be encoded would fail every later envelope: it is dropped here.
    const auto length = encodedLength(batch, payloadLength);
    if (!length) return;
    const std::string timestamp = batch.timestamp;

    std::optional<BatchRequest> postNow;
    std::shared_ptr<platform::Timer> pendingTimer;
    std::uint64_t generation = 0;
    {
        const std::lock_guard lock(mutex_);
        pendingBytes_ = batches_.empty() ? *length + 2 : pendingBytes_ + *length + 1;
        batches_.push_back(std::move(batch));
        latestWriteKey_ = key;
        latestSentAt_ = timestamp;  // the event's own stamp: both are "now", to the second
        generation = ++generation_;
        if (pendingBytes_ >= settings_.threshold) {
            postNow = takePendingLocked();
            pendingTimer = std::move(timer_);
        }
    }
    if (postNow) {
        if (pendingTimer) pendingTimer->invalidate();
        sendBatches(std::move(*postNow));
    } else {
        armTimer(generation);
    }
}

void BatchController::armTimer(std::uint64_t generation) {
    onMainThread([weak = weak_from_this(), generation] {
        const auto self = weak.lock();
        if (!self) return;
        std::shared_ptr<platform::Timer> previous;
        {
            const std::lock_guard lock(self->mutex_);
            if (generation != self->generation_) return;  // a later recording arms its own
            previous = std::move(self->timer_);
        }
        if (previous) previous->invalidate();
        auto timer =
            platform::Timer::scheduledTimer(self->settings_.delay, false, [weak, generation](platform::Timer&) {
                if (const auto controller = weak.lock()) controller->timerFired(generation);
            });
        {
            const std::lock_guard lock(self->mutex_);
            if (generation == self->generation_) {
                self->timer_ = std::move(timer);
                return;
            }
        }
        timer->invalidate();
    });
}

void BatchController::timerFired(std::uint64_t generation) {
    std::optional<BatchRequest> envelope;
    {
        const std::lock_guard lock(mutex_);
        if (generation != generation_) return;
        envelope = takePendingLocked();
    }
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
    // event: it is done on the upload queue. The answer is not looked at: success or failure,
    // the envelope's events are gone.
    uploadQueue_->async([session, envelope = std::move(envelope), weak = weak_from_this(), count]() mutable {
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
    const std::lock_guard lock(mutex_);
    return batches_.size();
}

std::size_t BatchController::inFlightCount() const {
    const std::lock_guard lock(mutex_);
    return inFlight_;
}

}  // namespace qor
