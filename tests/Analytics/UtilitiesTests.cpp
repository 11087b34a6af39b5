#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>

#include "Core/Guarded.h"
#include "Core/QueueTimer.h"
#include "Core/VendorSystem.h"
#include "Platform/Dispatch/DispatchQueue.h"
#include "testing/MainLoopPump.h"

namespace qor {
namespace {

using namespace std::chrono_literals;
using platform::DispatchQueue;

// Counts firings and lets a test wait for a number of them.
struct FiringLog {
    std::mutex mutex;
    std::condition_variable changed;
    int count = 0;
    bool onQueue = true;

    void fire(bool isCurrent) {
        std::lock_guard<std::mutex> guard(mutex);
        ++count;
        onQueue = onQueue && isCurrent;
        changed.notify_all();
    }
    bool waitFor(int atLeast, std::chrono::milliseconds timeout = 5s) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, timeout, [&] { return count >= atLeast; });
    }
    int current() {
        std::lock_guard<std::mutex> guard(mutex);
        return count;
    }
};

constexpr double kInterval = 0.02;

TEST(AtomicValue, ReadModifyWriteFromManyThreadsLosesNothing) {
    Guarded<int> counter(0);
    Guarded<std::pair<int, int>> pair({0, 0});
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 1000; ++i) {
                counter.mutate([](int& value) { ++value; });
                pair.setWrappedValue({t * 1000 + i, t * 1000 + i});
                const auto seen = pair.wrappedValue();
                EXPECT_EQ(seen.first, seen.second);  // never half-written
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(counter.wrappedValue(), 8000);
    EXPECT_EQ(counter.mutate([](int& value) { return value * 2; }), 16000);
}

TEST(QueueTimerBehaviour, FiresRepeatedlyOnItsQueueOneIntervalAfterCreation) {
    auto queue = DispatchQueue::serial("timer.test");
    FiringLog log;
    const auto created = std::chrono::steady_clock::now();
    std::atomic<std::int64_t> firstAfterNs{-1};
    auto timer = QueueTimer::make(kInterval, queue, [&] {
        std::int64_t unset = -1;
        firstAfterNs.compare_exchange_strong(
            unset,
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - created).count());
        log.fire(queue->isCurrent());
    });
    EXPECT_EQ(timer->state(), QueueTimer::State::resumed);
    ASSERT_TRUE(log.waitFor(3));
    EXPECT_TRUE(log.onQueue);
    EXPECT_GE(firstAfterNs.load(), std::chrono::duration_cast<std::chrono::nanoseconds>(15ms).count());
}

TEST(QueueTimerBehaviour, SuspendAndResumeStayBalancedHoweverOftenTheyAreCalled) {
    auto queue = DispatchQueue::serial("timer.balance");
    FiringLog log;
    auto timer = QueueTimer::make(kInterval, queue, [&] { log.fire(true); });
    timer->resume();  // already running: nothing (an unbalanced source resume would stop the process)
    timer->suspend();
    timer->suspend();
    EXPECT_EQ(timer->state(), QueueTimer::State::suspended);
    queue->sync([] {});
    const int whileSuspended = log.current();
    std::this_thread::sleep_for(5 * std::chrono::duration<double>(kInterval));
    queue->sync([] {});
    EXPECT_LE(log.current(), whileSuspended + 1);  // at most one firing that was already under way

    timer->resume();  // one resume after two suspends is enough
    EXPECT_EQ(timer->state(), QueueTimer::State::resumed);
    ASSERT_TRUE(log.waitFor(log.current() + 2));
}

TEST(QueueTimerBehaviour, ConcurrentSuspendAndResumeNeverUnbalanceTheSource) {
    auto queue = DispatchQueue::serial("timer.concurrent");
    FiringLog log;
    auto timer = QueueTimer::make(0.001, queue, [&] { log.fire(true); });
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 300; ++i) (t + i) % 2 ? timer->suspend() : timer->resume();
        });
    }
    for (auto& thread : threads) thread.join();
    timer->resume();
    ASSERT_TRUE(log.waitFor(log.current() + 2));
}

TEST(QueueTimerBehaviour, ReleasingCancelsWhetherRunningOrSuspended) {
    auto queue = DispatchQueue::serial("timer.release");
    FiringLog running;
    auto timer = QueueTimer::make(kInterval, queue, [&] { running.fire(true); });
    ASSERT_TRUE(running.waitFor(1));
    timer.reset();
    const int afterRelease = running.current();
    std::this_thread::sleep_for(4 * std::chrono::duration<double>(kInterval));
    queue->sync([] {});
    EXPECT_EQ(running.current(), afterRelease);

    FiringLog suspended;
    auto paused = QueueTimer::make(kInterval, queue, [&] { suspended.fire(true); });
    paused->suspend();
    queue->sync([] {});
    const int beforeRelease = suspended.current();
    paused.reset();
    std::this_thread::sleep_for(4 * std::chrono::duration<double>(kInterval));
    queue->sync([] {});
    EXPECT_EQ(suspended.current(), beforeRelease);
}

TEST(QueueTimerBehaviour, AHandlerMayReleaseItsOwnTimer) {
    std::shared_ptr<QueueTimer> timer;
    int fired = 0;
    timer = QueueTimer::make(kInterval, DispatchQueue::main(), [&] {
        ++fired;
        timer.reset();
    });
    EXPECT_TRUE(testing::pumpMainUntil([&] { return timer == nullptr; }));
    testing::pumpMainFor(std::chrono::milliseconds(80));
    EXPECT_EQ(fired, 1);
}

TEST(QueueTimerBehaviour, AnIntervalThatIsNoPositiveNumberNeverFires) {
    auto queue = DispatchQueue::serial("timer.invalid");
    FiringLog log;
    std::vector<std::shared_ptr<QueueTimer>> timers;
    for (double interval : {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity(), 1e300}) {
        timers.push_back(QueueTimer::make(interval, queue, [&] { log.fire(true); }));
        timers.back()->suspend();
        timers.back()->resume();
    }
    std::this_thread::sleep_for(50ms);
    queue->sync([] {});
    EXPECT_EQ(log.current(), 0);
    timers.clear();
}

TEST(VendorSystemBase, AnswersWithNeutralValues) {
    const VendorSystem base;
    EXPECT_EQ(base.manufacturer(), "unknown");
    EXPECT_EQ(base.type(), "unknown");
    EXPECT_EQ(base.model(), "unknown");
    EXPECT_EQ(base.name(), "unknown");
    EXPECT_EQ(base.systemName(), "unknown");
    EXPECT_EQ(base.userAgent(), "unknown");
    EXPECT_FALSE(base.identifierForVendor());
    EXPECT_EQ(base.systemVersion(), "");
    EXPECT_EQ(base.screenSize(), (ScreenSize{0.0, 0.0, 1.0}));
    EXPECT_EQ(base.connection(), ConnectionStatus::unknown);
    EXPECT_TRUE(base.requiredPlugins().empty());
    EXPECT_FALSE(isOnline(ConnectionStatus::offline));
    EXPECT_FALSE(isOnline(ConnectionStatus::unknown));
    EXPECT_TRUE(isOnline(ConnectionStatus::bluetooth));
}

struct TestVendorSystem : VendorSystem {
    std::string manufacturer() const override { return "Test"; }
};

TEST(VendorSystemBase, CurrentIsMadeOnceByTheRegisteredFactory) {
    auto made = std::make_shared<std::atomic<int>>(0);
    if (!VendorSystem::registerFactory([made] {
            ++*made;
            return std::make_shared<TestVendorSystem>();
        })) {
        GTEST_SKIP() << "the process-wide instance was made by an earlier run";
    }
    std::vector<std::shared_ptr<VendorSystem>> seen(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i) threads.emplace_back([&, i] { seen[i] = VendorSystem::current(); });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(made->load(), 1);
    for (const auto& each : seen) EXPECT_EQ(each, seen.front());
    EXPECT_EQ(VendorSystem::current()->manufacturer(), "Test");
    EXPECT_FALSE(VendorSystem::registerFactory([] { return std::make_shared<VendorSystem>(); }));
    EXPECT_EQ(VendorSystem::current(), seen.front());
}

}  // namespace
}  // namespace qor
