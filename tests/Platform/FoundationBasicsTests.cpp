#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "Platform/Dispatch/Thread.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/NSLock.h"
#include "Platform/Foundation/UUID.h"
#include "Platform/Support/FatalError.h"
#include "testing/ScopedEnvironment.h"
#include "testing/TextShapes.h"

namespace qor::platform {
namespace {

// XXXXXXXX-XXXX-4XXX-[89AB]XXX-XXXXXXXXXXXX in upper-case hexadecimal.
bool isUpperCaseVersion4(const std::string& text) {
    return qor::testing::isUpperCaseUUID(text) && text[14] == '4' &&
           std::string("89AB").find(text[19]) != std::string::npos;
}

TEST(UUID, RandomVersion4InUpperCaseAndUnique) {
    std::set<std::string> seen;
    for (int i = 0; i < 10000; ++i) {
        const auto text = UUID::make().uuidString();
        ASSERT_TRUE(isUpperCaseVersion4(text)) << text;
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 10000u);
}

// Identifiers come from a per-thread pool of random bytes; a forked child must not hand out
// the ones its parent is about to.
TEST(UUID, AForkedChildDoesNotRepeatItsParent) {
    (void)UUID::make();  // the pool now holds bytes for later identifiers
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const auto bytes = UUID::make().bytes;
        const bool sent = write(channel[1], bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        _exit(sent ? 0 : 1);
    }
    close(channel[1]);
    std::array<std::uint8_t, 16> childBytes{};
    EXPECT_EQ(read(channel[0], childBytes.data(), childBytes.size()), static_cast<ssize_t>(childBytes.size()));
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const auto parentBytes = UUID::make().bytes;
    EXPECT_FALSE(std::equal(parentBytes.begin(), parentBytes.end(), childBytes.begin()));
}

using qor::testing::ScopedEnvironment;

TEST(Date, FormatsIsoUtcWithMillisecondsAndLocalTime) {
    // 2024-03-05T14:07:09.123Z
    const Date date = Date::fromTimeIntervalSince1970(1709647629.123);
    EXPECT_NEAR(date.timeIntervalSince1970(), 1709647629.123, 1e-6);
    EXPECT_EQ(iso8601String(date), "2024-03-05T14:07:09.123Z");
    EXPECT_EQ(iso8601String(Date::fromTimeIntervalSince1970(0)), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(iso8601String(Date::fromTimeIntervalSince1970(-0.25)), "1969-12-31T23:59:59.750Z");
    // Rounding carries into the seconds, minutes and days.
    EXPECT_EQ(iso8601String(Date::fromTimeIntervalSince1970(1709683199.9996)), "2024-03-06T00:00:00.000Z");

    {
        ScopedEnvironment zone("TZ", "UTC0");
        EXPECT_EQ(localDateTimeString(date), "2024-03-05 14:07:09");
    }
    {
        ScopedEnvironment zone("TZ", "<+0530>-5:30");  // east of UTC, half-hour offset, across midnight
        EXPECT_EQ(localDateTimeString(Date::fromTimeIntervalSince1970(1709664000)), "2024-03-06 00:10:00");
    }
    {
        ScopedEnvironment zone("TZ", "America/New_York");
        EXPECT_EQ(localDateTimeString(date), "2024-03-05 09:07:09");
    }

    const auto before = std::chrono::system_clock::now();
    const auto now = Date::now();
    EXPECT_GE(now.time, before);
}

TEST(Thread, OnlyTheInitialThreadIsMain) {
    EXPECT_TRUE(Thread::isMainThread());
    bool otherIsMain = true;
    std::thread([&] { otherIsMain = Thread::isMainThread(); }).join();
    EXPECT_FALSE(otherIsMain);
}

TEST(NSLock, ExcludesOtherThreadsAndWorksWithLockGuard) {
    NSLock lock;
    {
        std::lock_guard guard(lock);
        bool otherGot = true;
        std::thread([&] { otherGot = lock.tryLock(); }).join();
        EXPECT_FALSE(otherGot);
    }
    ASSERT_TRUE(lock.tryLock());
    lock.unlock();

    int counter = 0;
    auto add = [&] {
        for (int i = 0; i < 10000; ++i) {
            std::lock_guard guard(lock);
            ++counter;
        }
    };
    std::thread other(add);
    add();
    other.join();
    EXPECT_EQ(counter, 20000);
}

TEST(FatalErrorDeathTest, PrintsTheMessageAndAborts) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(fatalError("something broke"), "^Fatal error: something broke\n");
}

}  // namespace
}  // namespace qor::platform
