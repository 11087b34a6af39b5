#include "Console.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>

namespace qor::example {
namespace {

// A line of its own that marks how far the reader has come; it is never passed on.
constexpr std::string_view kMark = "\x1eqor-example-console-mark ";

void writeAll(int descriptor, std::string_view text) {
    while (!text.empty()) {
        const auto written = ::write(descriptor, text.data(), text.size());
        if (written <= 0) return;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

void flushStandardOutput() {
    std::cout.flush();
    std::fflush(stdout);
}

}  // namespace

Console::Console() {
    int ends[2];
    flushStandardOutput();
    if (::pipe(ends) != 0) return;
    original_ = ::dup(STDOUT_FILENO);
    if (original_ < 0 || ::dup2(ends[1], STDOUT_FILENO) < 0) {
        ::close(ends[0]);
        ::close(ends[1]);
        if (original_ >= 0) ::close(original_);
        original_ = -1;
        return;
    }
    ::close(ends[1]);
    readEnd_ = ends[0];
    reader_ = std::thread([this] { readUntilClosed(); });
}

Console::~Console() {
    if (original_ < 0) return;
    flushStandardOutput();
    // The pipe's only write end is standard output: putting the old one back closes it.
    ::dup2(original_, STDOUT_FILENO);
    reader_.join();
    ::close(readEnd_);
    ::close(original_);
}

std::vector<std::string> Console::lines() {
    if (original_ < 0) return {};
    std::uint64_t mark = 0;
    {
        std::lock_guard lock(mutex_);
        mark = ++marksSent_;
    }
    flushStandardOutput();
    writeAll(STDOUT_FILENO, std::string(kMark) + std::to_string(mark) + "\n");
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return marksSeen_ >= mark; });
    return {lines_.begin(), lines_.end()};
}

std::size_t Console::countSoFar(std::string_view prefix) {
    std::lock_guard lock(mutex_);
    std::size_t count = 0;
    for (const auto& line : lines_) count += line.starts_with(prefix) ? 1 : 0;
    return count;
}

void Console::readUntilClosed() {
    std::string pending;
    char buffer[4096];
    for (;;) {
        const auto count = ::read(readEnd_, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        pending.append(buffer, static_cast<std::size_t>(count));
        std::size_t start = 0;
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n', start)) {
            take(pending.substr(start, end - start));
            start = end + 1;
        }
        pending.erase(0, start);
    }
    if (!pending.empty()) writeAll(original_, pending);
}

void Console::take(const std::string& line) {
    if (line.starts_with(kMark)) {
        {
            std::lock_guard lock(mutex_);
            marksSeen_ = std::stoull(line.substr(kMark.size()));
        }
        changed_.notify_all();
        return;
    }
    writeAll(original_, line + "\n");
    std::lock_guard lock(mutex_);
    lines_.push_back(line);
    if (lines_.size() > kKeptLines) lines_.pop_front();
}

}  // namespace qor::example
