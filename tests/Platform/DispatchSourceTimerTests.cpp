#include "Platform/Dispatch/DispatchSourceTimer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "Platform/Dispatch/DispatchQueue.h"
#include "Platform/Dispatch/Timer.h"
#include "testing/MainLoopPump.h"

namespace qor::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using qor::testing::pumpMainFor;
using qor::testing::pumpMainUntil;

TEST(DispatchSourceTimer, StartsSuspendedAndFirstFiresOneIntervalAfterScheduling) {
    auto queue = DispatchQueue::serial("timer.first");
    auto timer = DispatchSourceTimer::make(queue);
    std::atomic<int> fired{0};
    std::atomic<bool> onQueue{true};
    Clock::time_point firstAt;
    timer->setEventHandler([&] {
        if (fired == 0) firstAt = Clock::now();
        onQueue = onQueue && queue->isCurrent();
        ++fired;
    });
    timer->schedule(10ms, 10ms, 0ns);
    pumpMainFor(40ms);
    EXPECT_EQ(fired, 0);  // never resumed

    const auto scheduledAt = Clock::now();
    timer->schedule(40ms, 40ms, 0ns);
    timer->resume();
    ASSERT_TRUE(pumpMainUntil([&] { return fired >= 3; }, 5s));
    EXPECT_GE(firstAt - scheduledAt, 40ms);
    EXPECT_LT(firstAt - scheduledAt, 2s);
    EXPECT_TRUE(onQueue);
    timer->cancel();
}

TEST(DispatchSourceTimer, SuspensionsAreCountedAndDeadlinesMissedMeanwhileFireOnResume) {
    auto timer = DispatchSourceTimer::make(DispatchQueue::serial("timer.suspend"));
    std::atomic<int> fired{0};
    timer->setEventHandler([&] { ++fired; });
    timer->schedule(5ms, 5ms, 0ns);
    timer->resume();
    ASSERT_TRUE(pumpMainUntil([&] { return fired > 0; }, 5s));

    timer->suspend();
    timer->suspend();
    pumpMainFor(20ms);  // let a firing already queued drain
    const int before = fired;
    timer->resume();  // still suspended once
    pumpMainFor(40ms);
    EXPECT_EQ(fired, before);

    timer->resume();
    EXPECT_TRUE(pumpMainUntil([&] { return fired > before; }, 5s));
    timer->cancel();
}

TEST(DispatchSourceTimer, OneShotDeadlinePassedWhileSuspendedFiresOnceOnResume) {
    auto timer = DispatchSourceTimer::make(DispatchQueue::serial("timer.missed"));
    std::atomic<int> fired{0};
    timer->setEventHandler([&] { ++fired; });
    timer->schedule(5ms, DispatchSourceTimer::never, 0ns);
    pumpMainFor(30ms);
    timer->resume();
    EXPECT_TRUE(pumpMainUntil([&] { return fired == 1; }, 5s));
    pumpMainFor(30ms);
    EXPECT_EQ(fired, 1);
}

TEST(DispatchSourceTimer, CancelStopsFiringsAndReleasesTheHandler) {
    auto timer = DispatchSourceTimer::make(DispatchQueue::global());
    std::atomic<int> fired{0};
    auto token = std::make_shared<int>(0);
    std::weak_ptr<int> watch = token;
    timer->setEventHandler([&fired, token] { ++fired; });
    token.reset();
    timer->schedule(1ms, 1ms, 0ns);
    timer->resume();
    ASSERT_TRUE(pumpMainUntil([&] { return fired >= 3; }, 5s));

    timer->cancel();
    EXPECT_TRUE(timer->isCancelled());
    // A firing already inside the handler may finish; none may start afterwards.
    ASSERT_TRUE(pumpMainUntil([&] { return watch.expired(); }, 5s));
    const int atCancel = fired;
    pumpMainFor(20ms);
    EXPECT_EQ(fired, atCancel);
    timer->schedule(1ms, 1ms, 0ns);  // a cancelled source cannot be re-armed
    pumpMainFor(20ms);
    EXPECT_EQ(fired, atCancel);
}

TEST(DispatchSourceTimer, ReplacedHandlerTakesOverWithoutOverlappingFirings) {
    // A fast timer on a concurrent queue: firings must still never overlap.
    auto timer = DispatchSourceTimer::make(DispatchQueue::global());
    std::atomic<int> oldCalls{0};
    std::atomic<int> newCalls{0};
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    auto handler = [&](std::atomic<int>& calls) {
        return [&] {
            if (inside.fetch_add(1) != 0) overlapped = true;
            ++calls;
            std::this_thread::sleep_for(200us);
            inside.fetch_sub(1);
        };
    };
    timer->setEventHandler(handler(oldCalls));
    timer->schedule(0ns, 100us, 0ns);
    timer->resume();
    ASSERT_TRUE(pumpMainUntil([&] { return oldCalls >= 5; }, 5s));
    timer->setEventHandler(handler(newCalls));
    ASSERT_TRUE(pumpMainUntil([&] { return newCalls >= 5; }, 5s));
    const int oldTotal = oldCalls;
    pumpMainFor(10ms);
    EXPECT_EQ(oldCalls, oldTotal);
    timer->cancel();
    EXPECT_FALSE(overlapped);
}

TEST(DispatchSourceTimer, NoHandlerRunsOnceCancelReturns) {
    // Many rounds, each cancelling while firings are racing on a concurrent queue.
    for (int round = 0; round < 20; ++round) {
        auto timer = DispatchSourceTimer::make(DispatchQueue::global());
        std::atomic<bool> cancelReturned{false};
        std::atomic<int> calls{0};
        std::atomic<int> lateCalls{0};
        auto body = [&] {
            ++calls;
            std::this_thread::sleep_for(100us);
            if (cancelReturned) ++lateCalls;
        };
        timer->setEventHandler(body);
        timer->schedule(0ns, 50us, 0ns);
        timer->resume();
        ASSERT_TRUE(pumpMainUntil([&] { return calls >= 2; }, 5s));
        timer->setEventHandler(body);  // replaced just before cancel
        timer->cancel();
        cancelReturned = true;
        pumpMainFor(2ms);
        EXPECT_EQ(lateCalls, 0) << "round " << round;
    }

    // Cancelling from inside the handler returns at once and stops the timer.
    auto timer = DispatchSourceTimer::make(DispatchQueue::serial("timer.self.cancel"));
    std::atomic<int> calls{0};
    timer->setEventHandler([&] {
        ++calls;
        timer->cancel();
    });
    timer->schedule(1ms, 1ms, 0ns);
    timer->resume();
    ASSERT_TRUE(pumpMainUntil([&] { return calls == 1; }, 5s));
    pumpMainFor(20ms);
    EXPECT_EQ(calls, 1);
}

TEST(DispatchSourceTimer, TearDownWhileSuspendedAndDroppingTheLastReferenceAreSafe) {
    std::atomic<int> fired{0};
    {
        // The tear-down a wrapper does: neutral handler, cancel, balance the suspension, release.
        auto timer = DispatchSourceTimer::make(DispatchQueue::main());
        timer->setEventHandler([&] { ++fired; });
        timer->schedule(1ms, 1ms, 0ns);
        timer->resume();
        timer->suspend();
        timer->setEventHandler([] {});
        timer->cancel();
        timer->resume();
    }
    {
        auto timer = DispatchSourceTimer::make(DispatchQueue::main());
        timer->setEventHandler([&] { ++fired; });
        timer->schedule(1ms, 1ms, 0ns);
        timer->resume();
        std::this_thread::sleep_for(10ms);  // firings pile up on main, which is not running
    }
    pumpMainFor(30ms);
    EXPECT_EQ(fired, 0);
}

TEST(DispatchSourceTimer, ExtremeDelaysNeverFireAndNeverWrapAround) {
    // Each of these overflows the clock if added naively, which would make it fire at once.
    std::atomic<int> fired{0};
    auto timer = DispatchSourceTimer::make(DispatchQueue::main());
    timer->setEventHandler([&] { ++fired; });
    timer->schedule(std::chrono::nanoseconds::max(), std::chrono::nanoseconds::max(), 0ns);
    timer->resume();
    DispatchQueue::main()->asyncAfter(std::chrono::nanoseconds::max(), [&] { ++fired; });
    auto runLoopTimer = Timer::scheduledTimer(std::chrono::nanoseconds::max(), true, [&](Timer&) { ++fired; });
    EXPECT_TRUE(pumpMainUntil([] { return true; }, std::chrono::milliseconds::max()));
    pumpMainFor(20ms);
    EXPECT_EQ(fired, 0);
    timer->cancel();
    runLoopTimer->invalidate();
}

using DispatchSourceTimerDeathTest = ::testing::Test;

TEST_F(DispatchSourceTimerDeathTest, ResumingMoreThanSuspendedIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            auto timer = DispatchSourceTimer::make(DispatchQueue::serial("over.resume"));
            timer->resume();
            timer->resume();
        },
        "Fatal error: DispatchSourceTimer resumed more times than it was suspended");
}

}  // namespace
}  // namespace qor::platform
