#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
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

    const Batch::Context& context() const { return context_; }
    // Events recorded and not yet handed to an upload. Both counts first wait for the
    // recordings already handed over to be queued.
    std::size_t pendingCount() const;
    // Events in uploads that have not completed.
    std::size_t inFlightCount() const;

private:
    // Events as their JSON texts, written once at recording, and the envelope's own values.
    struct Pending {
        std::string writeKey;
        std::vector<std::string> events;
        std::string sentAt;
    };

    // An event as handed over, before the recorder's queue builds it.
    struct Recording {
        BatchType type;
        std::string writeKey;
        std::string requestId;
        std::optional<AdData> data;
        std::string anonymousId;
        platform::Date recordedAt;
    };

    BatchRecorder(Settings settings, Batch::Context context);

    // On the recorder's queue: builds and records every event handed over, in order, until none
    // is left.
    void recordHandedOver();
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

    mutable std::mutex mutex_;
    std::vector<std::string> events_;  // the texts recorded and not yet handed to an upload
    std::size_t pendingBytes_ = 0;     // the encoded length of events_ as one JSON array
    std::string latestWriteKey_;
    std::string latestSentAt_;
    std::size_t inFlight_ = 0;
    // One timer at a time: a recording only moves the time it waits for, so recordings in a
    // burst do not each build a timer on the main thread.
    std::chrono::steady_clock::time_point due_;
    bool timerArmed_ = false;
};

}  // namespace qor
