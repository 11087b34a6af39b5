#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Analytics/Analytics.h"
#include "Analytics/Plugin.h"
#include "Analytics/QORLog.h"
#include "Platform/Support/OSLog.h"
#include "testing/MainLoopPump.h"
#include "testing/TestAppHome.h"

namespace qor::enginetest {

// Where the storage keeps the batch files of one write key under an app home.
inline std::filesystem::path eventsFolder(const testing::TestAppHome& home, const std::string& writeKey) {
    return home.documents() / "lumatix" / writeKey;
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

}  // namespace qor::enginetest
