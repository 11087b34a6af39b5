#pragma once

#include "Core/SDKLog.h"

#include <mutex>
#include <string>
#include <vector>

namespace qor::test {

// Collects every sdkLog line while alive; restores the previous sink afterwards.
class SDKLogCapture {
public:
    SDKLogCapture()
        : previous_(setSDKLogSink([this](std::string_view line) {
              std::lock_guard lock(mutex_);
              lines_.emplace_back(line);
          })) {}
    ~SDKLogCapture() { setSDKLogSink(std::move(previous_)); }
    SDKLogCapture(const SDKLogCapture&) = delete;
    SDKLogCapture& operator=(const SDKLogCapture&) = delete;

    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    SDKLogSink previous_;
};

}  // namespace qor::test
