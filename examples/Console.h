#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace qor::example {

// The app's console: while it lives, what the process writes to its standard output still
// reaches where it went before, and its lines are kept (the latest 10000), so that the app can
// read back what the SDK printed. Any thread may write; lines() is for one thread at a time.
class Console {
public:
    Console();
    // Hands standard output back, once the lines written before have come through.
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Every kept line, once everything written before the call has come through; nothing when
    // standard output could not be taken over.
    std::vector<std::string> lines();
    // How many of the lines come through so far start with the prefix; cheap enough to poll.
    std::size_t countSoFar(std::string_view prefix);

private:
    static constexpr std::size_t kKeptLines = 10000;

    void readUntilClosed();
    void take(const std::string& line);

    int original_ = -1;  // where standard output went before
    int readEnd_ = -1;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> lines_;
    std::uint64_t marksSent_ = 0;
    std::uint64_t marksSeen_ = 0;
};

}  // namespace qor::example
