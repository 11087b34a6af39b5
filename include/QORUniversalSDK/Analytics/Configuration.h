#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <QORUniversalSDK/Analytics/Settings/Settings.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

// The values the analytics engine starts with. Shared by reference: every reader sees
// the same object.
class QOR_EXPORT Configuration {
public:
    struct Values {
        std::string writeKey;
        double flushInterval = 30.0;
        int flushAt = 20;
        // Called with each error the engine reports as internal, before it is logged. It runs
        // on the thread whose call met the error: the thread that records the event, the
        // destination's flush queue ("flush.qor.io") for a flush, the storage queue's thread
        // for a stored user or settings change. It is never called while the engine holds one
        // of its locks or runs a synchronous block of one of its queues, so it may record
        // events, flush or change the configuration. An error that its own work meets on the
        // same thread (its event cannot be stored either) is logged and not handed to it again.
        std::function<void(std::exception_ptr)> errorHandler;
        std::optional<Settings> defaultSettings;
        bool autoAddQORDestination = true;
        bool trackApplicationLifecycleEvents = true;
    };

    explicit Configuration(std::string writeKey) { values_.writeKey = std::move(writeKey); }
    static std::shared_ptr<Configuration> make(std::string writeKey) {
        return std::make_shared<Configuration>(std::move(writeKey));
    }

    // A copy of the whole set. Reads and changes are guarded, so a change made after
    // start-up never races with a reader.
    Values values() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return values_;
    }

    void setValues(Values newValues) {
        std::lock_guard<std::mutex> guard(mutex_);
        values_ = std::move(newValues);
    }

    // Changes fields in place: `change` receives the values under the lock and must not
    // call back into this Configuration.
    template <class F>
    void modifyValues(F&& change) {
        std::lock_guard<std::mutex> guard(mutex_);
        std::forward<F>(change)(values_);
    }

private:
    mutable std::mutex mutex_;
    Values values_;
};

}  // namespace qor
