#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Core/SDKLog.h"
#include "Platform/Support/Console.h"

namespace qor::test {

// Collects every console line (sdkLog's and the plain ones) while alive, in place of standard
// output; restores the previous writer afterwards.
class SDKLogCapture {
public:
    SDKLogCapture()
        : previous_(platform::setConsoleWriter([lines = lines_](std::string_view line) {
              std::lock_guard lock(lines->mutex);
              lines->lines.emplace_back(line);
          })) {}
    ~SDKLogCapture() { platform::setConsoleWriter(std::move(previous_)); }
    SDKLogCapture(const SDKLogCapture&) = delete;
    SDKLogCapture& operator=(const SDKLogCapture&) = delete;

    std::vector<std::string> lines() const {
        std::lock_guard lock(lines_->mutex);
        return lines_->lines;
    }
    // Only sdkLog's lines.
    std::vector<std::string> sdkLogLines() const {
        auto kept = lines();
        std::erase_if(kept, [](const std::string& line) { return !line.starts_with("[QORSDK] "); });
        return kept;
    }

private:
    struct Lines {
        std::mutex mutex;
        std::vector<std::string> lines;
    };
    std::shared_ptr<Lines> lines_ = std::make_shared<Lines>();
    platform::ConsoleWriter previous_;
};

}  // namespace qor::test
