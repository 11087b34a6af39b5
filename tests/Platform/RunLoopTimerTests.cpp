#include "Platform/Dispatch/RunLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "Platform/Dispatch/Thread.h"
#include "Platform/Dispatch/Timer.h"
#include "testing/MainLoopPump.h"

namespace qor::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using qor::testing::pumpMainFor;
using qor::testing::pumpMainUntil;

TEST(RunLoop, RunsPerformedBlocksInOrderAndStopsOnRequest) {
    auto& loop = RunLoop::main();
    EXPECT_EQ(&RunLoop::current(), &loop);
    std::vector<int> order;
    loop.perform([&] { order.push_back(1); });
    loop.perform([&] {
        order.push_back(2);
        loop.perform([&] { order.push_back(4); });  // queued behind 3
        loop.stop();
    });
    loop.perform([&] { order.push_back(3); });
    loop.run();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_TRUE(pumpMainUntil([&] { return order.size() == 4; }, 5s));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

TEST(RunLoop, RunUntilReportsWhyItReturned) {
    auto& loop = RunLoop::main();
    const auto start = Clock::now();
    EXPECT_FALSE(loop.runUntil(start + 20ms));
    EXPECT_GE(Clock::now() - start, 20ms);

    loop.perform([&] { loop.stop(); });
    EXPECT_TRUE(loop.runUntil(Clock::now() + 5s));

    // A stop while nothing runs is not remembered for the next run.
    loop.stop();
    EXPECT_FALSE(loop.runUntil(Clock::now() + 10ms));

    EXPECT_FALSE(loop.runUntil([] { return false; }, 10ms));
    // The predicate may watch a value another thread changes without posting anything.
    std::atomic<bool> flag{false};
    std::thread setter([&] {
        std::this_thread::sleep_for(10ms);
        flag = true;
    });
    const auto waitStart = Clock::now();
    EXPECT_TRUE(loop.runUntil([&] { return flag.load(); }, 5s));
    EXPECT_LT(Clock::now() - waitStart, 1s);
    setter.join();
}

TEST(RunLoop, EachThreadHasItsOwnLoopAndItsTimersFireThere) {
    RunLoop* background = nullptr;
    std::atomic<bool> ranThere{false};
    std::atomic<bool> timerFiredThere{false};
    std::thread worker([&] {
        const auto self = std::this_thread::get_id();
        background = &RunLoop::current();
        EXPECT_FALSE(background->isMain());
        background->perform([&] { ranThere = !Thread::isMainThread(); });
        Timer::scheduledTimer(5ms, false, [&](Timer&) { timerFiredThere = std::this_thread::get_id() == self; });
        background->runUntil([&] { return ranThere && timerFiredThere; }, 5s);
    });
    worker.join();
    EXPECT_NE(background, &RunLoop::main());
    EXPECT_TRUE(ranThere);
    EXPECT_TRUE(timerFiredThere);
}

TEST(Timer, FiresOnlyWhileItsRunLoopRuns) {
    std::atomic<int> fired{0};
    auto timer = Timer::scheduledTimer(10ms, false, [&](Timer&) { ++fired; });
    std::this_thread::sleep_for(30ms);  // well past the fire date, loop not running
    EXPECT_EQ(fired, 0);
    EXPECT_TRUE(timer->isValid());
    EXPECT_TRUE(pumpMainUntil([&] { return fired == 1; }, 5s));
    EXPECT_FALSE(timer->isValid());  // a one-shot timer invalidates itself
    pumpMainFor(30ms);
    EXPECT_EQ(fired, 1);
}

TEST(Timer, RepeatsUntilInvalidatedAndTheLoopKeepsItAlive) {
    std::atomic<int> fired{0};
    std::weak_ptr<Timer> weak;
    {
        auto timer = Timer::scheduledTimer(5ms, true, [&](Timer& t) {
            if (++fired == 3) t.invalidate();
        });
        weak = timer;
    }
    EXPECT_TRUE(pumpMainUntil([&] { return fired == 3; }, 5s));
    pumpMainFor(30ms);
    EXPECT_EQ(fired, 3);
    EXPECT_TRUE(weak.expired());  // the loop let go of it once invalid
}

TEST(Timer, InvalidateFromAnotherThreadAndManualFire) {
    std::atomic<int> fired{0};
    auto repeating = Timer::scheduledTimer(5ms, true, [&](Timer&) { ++fired; });
    ASSERT_TRUE(pumpMainUntil([&] { return fired >= 2; }, 5s));
    std::thread([&] { repeating->invalidate(); }).join();
    EXPECT_FALSE(repeating->isValid());
    const int atInvalidate = fired;
    pumpMainFor(30ms);
    EXPECT_EQ(fired, atInvalidate);
    repeating->fire();  // invalid: nothing
    EXPECT_EQ(fired, atInvalidate);

    int manual = 0;
    auto keeps = Timer::scheduledTimer(1h, true, [&](Timer&) { ++manual; });
    keeps->fire();
    EXPECT_EQ(manual, 1);
    EXPECT_TRUE(keeps->isValid());
    keeps->invalidate();

    auto once = Timer::scheduledTimer(1h, false, [&](Timer&) { ++manual; });
    once->fire();
    EXPECT_EQ(manual, 2);
    EXPECT_FALSE(once->isValid());
}

using RunLoopDeathTest = ::testing::Test;

TEST_F(RunLoopDeathTest, RunningTheMainLoopOffTheMainThreadIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(std::thread([] { RunLoop::main().runUntil(Clock::now() + 1ms); }).join(),
                 "Fatal error: RunLoop run from a thread that does not own it");
}

}  // namespace
}  // namespace qor::platform
