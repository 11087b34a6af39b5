#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "AdNetwork/AdData.h"
#include "AdNetwork/Batch.h"
#include "AdNetwork/BatchController.h"
#include "AdNetwork/BatchType.h"
#include "Platform/Foundation/Date.h"

namespace qor {

namespace platform {
class DispatchQueue;
}  // namespace platform

// Records every auction step as an auction event and posts the events in envelopes to the
// collection endpoint: at once when the events not yet sent encode to 512000 bytes or more,
// else 5 seconds after the latest recording. Each event goes out in exactly one envelope; an
// upload is never retried, whatever its answer.
//
// Recordings may come from any thread and return at once: an event is stamped when recorded,
// then built, measured and queued on the recorder's own serial queue, in the order recorded, so
// that an auction's thread only hands it over. Its timer runs on the main run loop, so uploads
// wait for the main run loop to turn. The recorder calls no host code.
class BatchRecorder : public BatchController, public std::enable_shared_from_this<BatchRecorder> {
public:
    struct Settings {
        std::chrono::nanoseconds delay = std::chrono::seconds(5);
        std::size_t threshold = 512000;
    };

    // The process-wide recorder, made on first use (its context is captured then) and kept to
    // the end of the process.
    static std::shared_ptr<BatchRecorder> shared();

    // A recorder with the default settings and the platform's context, as the shared one.
    static std::shared_ptr<BatchRecorder> make();
    // A recorder of its own, for tests and tools.
    static std::shared_ptr<BatchRecorder> make(Settings settings, Batch::Context context);

    BatchRecorder(const BatchRecorder&) = delete;
    BatchRecorder& operator=(const BatchRecorder&) = delete;

    // Records one event. The write key gets "@ios" appended; the payload lands in the event's
    // context when it is the record the kind calls for. An event that cannot be encoded, or
    // whose text would not read back in its envelope as the upload converts it (nesting too
    // deep, for one), is reported on standard output ("Encode Batch Error: ...") and dropped
    // alone.
    void addBatch(BatchType type, const std::string& writeKey, const std::string& requestId, std::optional<AdData> data,
                  const std::string& anonymousId);

    // One event from the recorder's context, stamped now.
    Batch makeBatch(BatchType type, const std::string& writeKey, const std::string& requestId,
                    const std::string& anonymousId) const;

    // Posts one envelope through the shared Session; its events are dropped once it completes.
    // Stops the process when start-up has not made the Session. The upload (and the encoding
    // of the envelope it starts with) is built on the recorder's own serial queue, in order,
    // not on the recording thread.
    void sendBatches(BatchRequest envelope);

private:
    // An event as handed over, before the recorder's queue builds it.
    struct Recording {
        BatchType type;
        std::string writeKey;
        std::string requestId;
        std::optional<AdData> data;
        std::string anonymousId;
        platform::Date recordedAt;
    };

    // What one HandOverHold keeps back.
    struct HeldAuction {
        std::vector<Recording> recordings;
        std::size_t weight = 0;  // at least what the recordings encode to
        bool ended = false;      // its recordings go on at once
    };

public:
    // One auction's hold on its own events: they wait in the hold without waking the recorder's
    // queue until the auction's winner is handed over (the hold is let go of, on any thread), then
    // go to the queue in one block, in order. Waking a sleeping thread costs the waker a system
    // call, and an auction on the main thread would pay it in its own time, between an answer and
    // the winner. A hold keeps back only its own auction's events, and never past the recorder's
    // rules: when the events held (by every hold) and those pending come to the threshold by
    // their weight, every hold lets its events go on at once; past kMostHeldRecordings a hold lets
    // its events go on too. A hold delays recordings, never drops them.
    class HandOverHold {
    public:
        explicit HandOverHold(std::shared_ptr<BatchRecorder> recorder);
        ~HandOverHold();
        HandOverHold(const HandOverHold&) = delete;
        HandOverHold& operator=(const HandOverHold&) = delete;

        // Records one event of the holding auction, as addBatch does. `payloadLength` is the
        // encoded length of the payload where the caller has it already (a bid request's body);
        // otherwise the recorder weighs the payload itself.
        void addBatch(BatchType type, const std::string& writeKey, const std::string& requestId,
                      std::optional<AdData> data, const std::string& anonymousId,
                      std::optional<std::size_t> payloadLength = std::nullopt);

    private:
        const std::shared_ptr<BatchRecorder> recorder_;
        const std::list<HeldAuction>::iterator held_;
    };
    static constexpr std::size_t kMostHeldRecordings = 256;

    const Batch::Context& context() const { return context_; }
    // Events recorded and not yet handed to an upload, those held included. Both counts first take
    // every recording handed over onto the recorder's queue and wait for it there.
    std::size_t pendingCount();
    // Events in uploads that have not completed.
    std::size_t inFlightCount();

private:
    // Events as their JSON texts, written once at recording, and the envelope's own values.
    struct Pending {
        std::string writeKey;
        std::vector<std::string> events;
        std::string sentAt;
    };

    BatchRecorder(Settings settings, Batch::Context context);

    // Hands one recording over to the queue, or keeps it in `held` while that hold lasts.
    void handOver(Recording recording, HeldAuction* held, std::optional<std::size_t> payloadLength);
    // At most what the recording's event encodes to, and as close to it as can be told without
    // encoding it.
    std::size_t leastLength(const Recording& recording, std::optional<std::size_t> payloadLength) const;
    // Both with handOverMutex_ held: one hold's recordings, or every hold's, go on to the queue.
    void endHoldLocked(HeldAuction& held);
    void endHoldsLocked();

    // On the recorder's queue: builds and records every event handed over, in order, until none
    // is left.
    void recordHandedOver();
    // Queues recordHandedOver unless a block is on its way; the caller holds handOverMutex_ and
    // wakes the queue (queueHandOver) after letting go of it when this returns true.
    bool claimHandOverLocked();
    void queueHandOver();
    // On the recorder's queue: encodes, checks and measures the event and queues its text,
    // posting at once past the threshold.
    void record(const Batch& batch);
    // On the main thread: waits until the wait after the latest recording has passed.
    void scheduleTimer(std::chrono::steady_clock::time_point due);
    void timerFired();
    // Takes every pending event into one envelope; nothing when there is none.
    std::optional<Pending> takePendingLocked();
    // Posts the recorded texts in one envelope, as sendBatches does.
    void post(Pending envelope);

    const Settings settings_;
    const Batch::Context context_;
    const std::shared_ptr<platform::DispatchQueue> queue_;

    // Recordings wait here for the recorder's queue. One block on the queue takes them all, so a
    // burst of recordings (an auction's) wakes the queue once, not once per event.
    std::mutex handOverMutex_;
    std::vector<Recording> handedOver_;
    bool handOverQueued_ = false;
    std::list<HeldAuction> holds_;  // one per HandOverHold alive
    std::size_t heldWeight_ = 0;    // of the recordings every hold keeps back
    // The length of an event with no payload and empty texts: the least any event weighs.
    const std::size_t leastEventLength_;

    mutable std::mutex mutex_;
    std::vector<std::string> events_;  // the texts recorded and not yet handed to an upload
    std::size_t pendingBytes_ = 0;     // the encoded length of events_ as one JSON array
    // pendingBytes_ as last written, for a hold to weigh its events against without the lock.
    std::atomic<std::size_t> pendingBytesSeen_{0};
    std::string latestWriteKey_;
    std::string latestSentAt_;
    std::size_t inFlight_ = 0;
    // One timer at a time: a recording only moves the time it waits for, so recordings in a
    // burst do not each build a timer on the main thread.
    std::chrono::steady_clock::time_point due_;
    bool timerArmed_ = false;
};

}  // namespace qor
