#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "Analytics/Analytics.h"
#include "Analytics/Plugin.h"
#include "Analytics/QORLog.h"
#include "Platform/OSLog/OSLog.h"
#include "testing/MainLoopPump.h"

namespace qor::enginetest {

// A fresh app home (documents and defaults) for one test: QOR_APP_HOME points at a new
// temporary folder, and both are put back at the end.
class EngineAppHome {
public:
    EngineAppHome() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qor-engine-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
        if (const char* old = std::getenv("QOR_APP_HOME")) previous_ = old;
        ::setenv("QOR_APP_HOME", path_.c_str(), 1);
    }
    ~EngineAppHome() {
        if (previous_) {
            ::setenv("QOR_APP_HOME", previous_->c_str(), 1);
        } else {
            ::unsetenv("QOR_APP_HOME");
        }
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    EngineAppHome(const EngineAppHome&) = delete;
    EngineAppHome& operator=(const EngineAppHome&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path eventsFolder(const std::string& writeKey) const {
        return path_ / "Documents" / "lumatix" / writeKey;
    }

private:
    std::filesystem::path path_;
    std::optional<std::string> previous_;
};

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::filesystem::path& path, const std::string& contents) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << contents;
}

// Collects the system-log entries written while it lives.
class SystemLogCapture {
public:
    SystemLogCapture() {
        previous_ = platform::setOSLogSink([this](const platform::OSLogEntry& entry) {
            std::lock_guard<std::mutex> guard(mutex_);
            entries_.push_back(entry);
        });
    }
    ~SystemLogCapture() { platform::setOSLogSink(previous_); }
    SystemLogCapture(const SystemLogCapture&) = delete;
    SystemLogCapture& operator=(const SystemLogCapture&) = delete;

    std::vector<platform::OSLogEntry> entries() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return entries_;
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> result;
        for (const auto& entry : entries()) result.push_back(entry.message);
        return result;
    }
    std::size_t count(const std::string& text) const {
        std::size_t found = 0;
        for (const auto& message : messages()) found += message.find(text) != std::string::npos ? 1 : 0;
        return found;
    }

private:
    mutable std::mutex mutex_;
    std::vector<platform::OSLogEntry> entries_;
    platform::OSLogSink previous_;
};

// A plugin of any stage that records what it sees and can change or drop it.
class RecordingPlugin : public Plugin {
public:
    explicit RecordingPlugin(PluginType type) : type_(type) {}
    PluginType type() const override { return type_; }

    std::optional<AnyRawEvent> execute(AnyRawEvent event) override {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            seen_.push_back(event);
        }
        if (transform) return transform(std::move(event));
        return event;
    }
    void update(const Settings& settings, UpdateType type) override {
        std::lock_guard<std::mutex> guard(mutex_);
        updates_.emplace_back(settings, type);
    }
    void shutdown() override {
        std::lock_guard<std::mutex> guard(mutex_);
        ++shutdowns_;
    }

    std::vector<AnyRawEvent> seen() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return seen_;
    }
    std::size_t updateCount() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return updates_.size();
    }
    int shutdowns() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return shutdowns_;
    }

    std::function<std::optional<AnyRawEvent>(AnyRawEvent)> transform;

private:
    PluginType type_;
    mutable std::mutex mutex_;
    std::vector<AnyRawEvent> seen_;
    std::vector<std::pair<Settings, UpdateType>> updates_;
    int shutdowns_ = 0;
};

// A destination that records what its track handler receives.
class RecordingDestination : public DestinationPlugin {
public:
    explicit RecordingDestination(std::string key) : key_(std::move(key)) {}
    PluginType type() const override { return PluginType::destination; }
    std::string key() const override { return key_; }

    std::optional<TrackEvent> track(TrackEvent event) override {
        std::lock_guard<std::mutex> guard(mutex_);
        tracked_.push_back(event);
        if (changeName) event.event = "changed by destination";
        return event;
    }
    std::vector<TrackEvent> tracked() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return tracked_;
    }
    bool changeName = false;

private:
    std::string key_;
    mutable std::mutex mutex_;
    std::vector<TrackEvent> tracked_;
};

// Start-up installs the delivery plugins after the logging plugin; tests of the engine
// alone take them out again so they see only their own plugins.
inline void removeDeliveryPlugins(Analytics& analytics) {
    std::vector<std::shared_ptr<Plugin>> delivery;
    analytics.apply([&delivery](const std::shared_ptr<Plugin>& plugin) {
        if (!std::dynamic_pointer_cast<QORLog>(plugin)) delivery.push_back(plugin);
    });
    for (const auto& plugin : delivery) analytics.remove(plugin);
}

inline std::shared_ptr<Configuration> configuration(const std::string& writeKey) {
    return Configuration::make(writeKey);
}

// Runs the main queue until the storage's store handlers have written what they were sent.
inline void drainMainQueue() {
    bool done = false;
    platform::DispatchQueue::main()->async([&done] { done = true; });
    testing::pumpMainUntil([&done] { return done; });
}

inline bool isUpperCaseUUID(const std::string& text) {
    if (text.size() != 36) return false;
    for (std::size_t index = 0; index < text.size(); ++index) {
        const char c = text[index];
        if (index == 8 || index == 13 || index == 18 || index == 23) {
            if (c != '-') return false;
        } else if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return true;
}

// "YYYY-MM-DDThh:mm:ss.sssZ"
inline bool isISOTimestamp(const std::string& text) {
    const std::string shape = "dddd-dd-ddTdd:dd:dd.dddZ";
    if (text.size() != shape.size()) return false;
    for (std::size_t index = 0; index < shape.size(); ++index) {
        if (shape[index] == 'd') {
            if (text[index] < '0' || text[index] > '9') return false;
        } else if (text[index] != shape[index]) {
            return false;
        }
    }
    return true;
}

}  // namespace qor::enginetest
