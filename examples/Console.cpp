#include "Console.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <mutex>

#include <QORUniversalSDK/Platform/Host/Host.h>

namespace qor::example {

struct Console::Kept {
    static constexpr std::size_t kLimit = 10000;

    std::mutex mutex;
    std::deque<std::string> lines;

    void take(std::string_view line) {
        // One write per line: lines printed on several threads at once stay whole.
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
        if (line.ends_with('\n')) line.remove_suffix(1);
        std::lock_guard lock(mutex);
        lines.emplace_back(line);
        if (lines.size() > kLimit) lines.pop_front();
    }
};

Console::Console() : kept_(std::make_shared<Kept>()) {
    host::setConsoleWriter([kept = kept_](std::string_view line) { kept->take(line); });
}

Console::~Console() { host::setConsoleWriter(nullptr); }

std::vector<std::string> Console::lines() const {
    std::lock_guard lock(kept_->mutex);
    return {kept_->lines.begin(), kept_->lines.end()};
}

std::size_t Console::countSoFar(std::string_view prefix) const {
    std::lock_guard lock(kept_->mutex);
    return static_cast<std::size_t>(std::count_if(kept_->lines.begin(), kept_->lines.end(),
                                                  [&](const std::string& line) { return line.starts_with(prefix); }));
}

}  // namespace qor::example
