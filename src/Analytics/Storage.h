#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "Analytics/Events.h"
#include "Analytics/OutputFileStream.h"
#include "Analytics/Settings/Settings.h"
#include "Analytics/Store.h"
#include "Analytics/StoredValueReader.h"
#include "Analytics/System.h"
#include "Analytics/UserInfo.h"
#include "Core/JSON.h"
#include "Platform/Dispatch/DispatchQueue.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/PropertyListDecoder.h"
#include "Platform/Foundation/PropertyListEncoder.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/UserDefaults.h"

namespace qor {

class Analytics;

namespace detail {
template <class T>
concept AnalyticsEventValue =
    std::is_same_v<T, AnyRawEvent> || std::is_same_v<T, TrackEvent> || std::is_same_v<T, IdentifyEvent> ||
    std::is_same_v<T, ScreenEvent> || std::is_same_v<T, GroupEvent> || std::is_same_v<T, AliasEvent>;
}  // namespace detail

// The persistence of one write key: a defaults suite with the user's ids and traits, the
// last settings and the number of the current batch file, and the batch files themselves
// ("<documents>/lumatix/<write key>/<n>-lumatix-events", finished ones with ".temp").
//
// All file and defaults work runs on the serial queue "sync.qor.io". Every public call
// enters that queue itself, once; none may be made from a block already running on it.
// Host code is never called from inside that queue: failures met there (reported to the
// configuration's error handler), log lines and the finish callback are collected and run
// after the queue block has returned, on the thread that made the call.
//
// A process killed at any step leaves files that the next start recovers, before its first
// event or listing: a file whose closing text was written is finished (renamed, never
// appended to), an open file that is no longer the current one is closed and finished, the
// temporaries of an interrupted create are removed, and the batch counter is moved past
// every finished file. A finish saves the next number before it renames, and a finished
// name that is taken already makes the file take a free number, so no event is dropped for
// a name clash.
class Storage : public Subscriber, public StoredValueReader, public std::enable_shared_from_this<Storage> {
public:
    enum class Constants { userId, traits, anonymousId, settings, events };
    static const char* key(Constants constant);

    // A batch file of this size or more is finished before the next event is appended.
    static constexpr std::uint64_t maxFileSize = 475000;

    // Opens the suite "io.qor.storage.<write key>" and subscribes to UserInfo and System
    // changes on the main queue.
    static std::shared_ptr<Storage> make(std::string writeKey, const std::shared_ptr<Store>& store);

    const std::string& writeKey() const { return writeKey_; }
    const std::shared_ptr<platform::UserDefaults>& userDefaults() const { return userDefaults_; }
    const std::shared_ptr<platform::DispatchQueue>& syncQueue() const { return syncQueue_; }

    // Where file failures are reported; held weakly.
    void setAnalytics(std::weak_ptr<Analytics> analytics);
    // Called on the storage queue with each finished file after its rename.
    void setOnFinish(std::function<void(const platform::URL&)> onFinish);

    // For `events`, an event is appended to the current batch file (other values are
    // ignored); for the other keys the value is stored (nothing removes the entry). The
    // suite is synchronised afterwards. Failures go to the error handler after the write.
    template <class T>
    void write(Constants key, const std::optional<T>& value);
    template <class T>
    void write(Constants key, const T& value) {
        // Events are appended straight from the caller's value: wrapping one in an optional
        // would copy the whole event for nothing.
        if constexpr (detail::AnalyticsEventValue<T>) {
            if (key == Constants::events) return appendEvent(value);
        }
        write(key, std::optional<T>(value));
    }

    // For `events`: finishes the open batch file and lists the finished ones in text order
    // of their names. Nothing for any other key.
    std::optional<std::vector<platform::URL>> read(Constants key);
    // A stored value of type T: data is decoded from the property-list form, other values
    // are given when they are a T.
    template <class T>
    std::optional<T> read(Constants key) const;

    // Deletes a batch file; a failure is ignored.
    void remove(const platform::URL& file);

    // Store handlers (main queue). A change's values go into the suite at once, in memory (the
    // one exception to "all defaults work on the storage queue": no disk is touched), so every
    // later read sees them; the suite is then written once, on the storage queue, and the main
    // thread does not wait for the disk.
    void userInfoUpdate(const UserInfo& state);
    void systemUpdate(const System& state);

    // StoredValueReader, for the initial states.
    std::optional<std::string> readUserId() const override { return read<std::string>(Constants::userId); }
    std::optional<std::string> readAnonymousId() const override { return read<std::string>(Constants::anonymousId); }
    std::optional<JSON> readTraits() const override { return read<JSON>(Constants::traits); }
    std::optional<Settings> readSettings() const override { return read<Settings>(Constants::settings); }

    // The folder of the batch files, created when missing (nothing when the app has no
    // documents folder).
    std::optional<platform::URL> eventsFolder() const;

    Storage(std::string writeKey, std::shared_ptr<platform::UserDefaults> userDefaults);

private:
    template <class T>
    static std::optional<platform::PlistValue> storedForm(const T& value);
    // Appends the event to the current batch file and synchronises the suite.
    template <class T>
    void appendEvent(const T& event);

    // Runs `body` on syncQueue_ and then, on the calling thread, what it deferred.
    void perform(const std::function<void()>& body);
    // Runs `body` on syncQueue_ later; what it defers runs right after it, on that queue's
    // thread but outside its block.
    void performLater(std::function<void()> body);
    // Host-facing work met on syncQueue_: run after the queue block returns.
    void defer(std::function<void()> work);

    // All on syncQueue_.
    void storeValue(Constants key, const std::optional<platform::PlistValue>& value, bool encodingFailed);
    // `appendText` appends the event's text to the line (which holds its comma, when it needs one).
    void storeEvent(const std::function<void(std::string& line)>& appendText);
    std::int64_t readCounter() const;
    std::optional<platform::URL> currentFile();
    bool startFile(const platform::URL& file);
    static std::optional<platform::FileAttributes> attributesOf(const platform::URL& file);
    // The size of the file when the stream is open on it.
    std::optional<std::uint64_t> openFileSize(const platform::URL& file) const;
    // The batch folder is found once: every event needs its files' names.
    static std::optional<platform::URL> findEventsFolderURL(const std::string& writeKey);
    const std::optional<platform::URL>& eventsFolderURL() const { return eventsFolderURL_; }
    void finish(const platform::URL& file);
    void synchronize();
    void report(std::exception_ptr error);
    void reportNow(std::exception_ptr error) const;

    // Crash recovery, once per process before the first event or listing (syncQueue_).
    void recoverIfNeeded();
    void recoverFiles(const platform::URL& folder);
    // Renames a closed file to its finished name, or to a free number when that is taken; the
    // counter is moved past the number used. Nothing when the rename fails (reported).
    std::optional<platform::URL> renameFinished(const platform::URL& file, std::int64_t number);
    void saveCounter(std::int64_t next);
    // The file of a number, open or finished.
    platform::URL batchFile(std::int64_t number, bool finished) const;

    std::optional<platform::PlistValue> object(Constants key) const;

    std::string writeKey_;
    std::shared_ptr<platform::UserDefaults> userDefaults_;
    std::shared_ptr<platform::DispatchQueue> syncQueue_;
    std::optional<platform::URL> eventsFolderURL_;
    std::unique_ptr<OutputFileStream> outputStream_;  // on syncQueue_
    bool recovered_ = false;                          // on syncQueue_
    // The name batchFile made last for an open file, by its number (on syncQueue_).
    mutable std::optional<std::pair<std::int64_t, platform::URL>> lastOpenFile_;
    // The deferred work of the block running on syncQueue_ (null outside one).
    std::vector<std::function<void()>>* deferred_ = nullptr;

    mutable std::mutex mutex_;  // guards the two below
    std::function<void(const platform::URL&)> onFinish_;
    std::weak_ptr<Analytics> analytics_;
};

template <class T>
std::optional<platform::PlistValue> Storage::storedForm(const T& value) {
    using platform::PlistValue;
    if constexpr (std::is_same_v<T, std::string>) {
        return PlistValue(value);
    } else if constexpr (std::is_same_v<T, bool>) {
        return PlistValue(value);
    } else if constexpr (std::is_integral_v<T>) {
        return PlistValue(static_cast<std::int64_t>(value));
    } else if constexpr (std::is_floating_point_v<T>) {
        return PlistValue(static_cast<double>(value));
    } else {
        try {
            return PlistValue(platform::PropertyListEncoder().encode(value));
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }
}

template <class T>
void Storage::write(Constants key, const std::optional<T>& value) {
    if (key == Constants::events) {
        if constexpr (detail::AnalyticsEventValue<T>) {
            if (!value) return perform([this] { synchronize(); });
            appendEvent(*value);
        } else {
            perform([this] { synchronize(); });
        }
        return;
    }
    std::optional<platform::PlistValue> stored;
    bool encodingFailed = false;
    if (value) {
        stored = storedForm(*value);
        encodingFailed = !stored;
    }
    perform([&] {
        storeValue(key, stored, encodingFailed);
        synchronize();
    });
}

template <class T>
void Storage::appendEvent(const T& event) {
    // The text is made on the storage queue, after the size check, as the rest of the
    // append.
    perform([this, &event] {
        storeEvent([&event](std::string& line) {
            // An event of any kind is encoded as its own kind. The writer checks every text
            // as it goes and fails with the same error as a walk of the whole tree first
            // would, so that walk is left out.
            if constexpr (std::is_same_v<T, AnyRawEvent>) {
                std::visit([&line](const auto& kind) { platform::JSONEncoder().encodeAppending(kind, line); }, event);
            } else {
                platform::JSONEncoder().encodeAppending(event, line);
            }
        });
        synchronize();
    });
}

template <class T>
std::optional<T> Storage::read(Constants key) const {
    if (key == Constants::events) return std::nullopt;
    std::optional<platform::PlistValue> found;
    syncQueue_->sync([&] { found = object(key); });
    if (!found) return std::nullopt;
    if (const auto* data = found->asData()) {
        try {
            return platform::PropertyListDecoder().decode<T>(*data);
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }
    if constexpr (std::is_same_v<T, std::string>) {
        if (const auto* text = found->asString()) return *text;
    } else if constexpr (std::is_same_v<T, bool>) {
        if (const auto* flag = found->asBool()) return *flag;
    } else if constexpr (std::is_integral_v<T>) {
        if (const auto* number = found->asInteger()) return static_cast<T>(*number);
    } else if constexpr (std::is_floating_point_v<T>) {
        if (const auto* number = found->asReal()) return static_cast<T>(*number);
    }
    return std::nullopt;
}

}  // namespace qor
