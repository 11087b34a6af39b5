#include "Platform/Support/OSLog.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

namespace qor::platform {
namespace {

// Captures entries for the duration of a test and puts the previous sink back.
class CapturedLog {
public:
    CapturedLog() {
        previous_ = setOSLogSink([this](const OSLogEntry& entry) {
            std::lock_guard lock(mutex_);
            entries_.push_back(entry);
        });
    }
    ~CapturedLog() { setOSLogSink(previous_); }
    std::vector<OSLogEntry> entries() {
        std::lock_guard lock(mutex_);
        return entries_;
    }

private:
    std::mutex mutex_;
    std::vector<OSLogEntry> entries_;
    OSLogSink previous_;
};

TEST(OSLog, CaptureReceivesSubsystemCategoryLevelAndFormattedText) {
    CapturedLog capture;
    const OSLog log{"Lumatix", "Log"};
    osLog(log, OSLogType::debug, "[Lumatix %{public}@ %{public}@]\n%{public}@\n", {"WARNING", " - f:3", "message"});
    osLog(OSLog{"Lumatix", "Metrics"}, OSLogType::error, "plain");

    const auto entries = capture.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].subsystem, "Lumatix");
    EXPECT_EQ(entries[0].category, "Log");
    EXPECT_EQ(entries[0].type, OSLogType::debug);
    EXPECT_EQ(entries[0].message, "[Lumatix WARNING  - f:3]\nmessage\n");
    EXPECT_EQ(entries[1].category, "Metrics");
    EXPECT_EQ(entries[1].type, OSLogType::error);
    EXPECT_EQ(entries[1].message, "plain");
}

TEST(OSLog, FormatRedactsArgumentsNotMarkedPublic) {
    EXPECT_EQ(osLogFormat("%@|%{private}@|%{public}@|100%%|%d", {"a", "b", "c"}), "<private>|<private>|c|100%|%d");
    EXPECT_EQ(osLogFormat("%{public}@ and %{public}@", {"only"}), "only and (null)");
}

TEST(OSLog, RestoringTheSinkStopsTheCapture) {
    std::vector<std::string> seen;
    auto previous = setOSLogSink([&seen](const OSLogEntry& entry) { seen.push_back(entry.message); });
    osLog(OSLog{"s", "c"}, OSLogType::info, "one");
    const auto mine = setOSLogSink(previous);
    EXPECT_TRUE(static_cast<bool>(mine));
    {
        CapturedLog nested;
        osLog(OSLog{"s", "c"}, OSLogType::info, "two");
        EXPECT_EQ(nested.entries().size(), 1u);
    }
    EXPECT_EQ(seen, std::vector<std::string>{"one"});
}

TEST(OSLog, ManyThreadsLogWhileTheSinkChanges) {
    CapturedLog capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 100; ++i) osLog(OSLog{"s", "c"}, OSLogType::fault, "x");
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(capture.entries().size(), 400u);
}

}  // namespace
}  // namespace qor::platform
