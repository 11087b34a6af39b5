#include "Platform/Dispatch/DispatchQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "Platform/Dispatch/DispatchGroup.h"
#include "Platform/Dispatch/Thread.h"
#include "testing/MainLoopPump.h"

namespace qor::platform {
namespace {

using namespace std::chrono_literals;
using qor::testing::pumpMainFor;
using qor::testing::pumpMainUntil;

TEST(SerialDispatchQueue, RunsBlocksInOrderOneAtATimeOnItsOwnThread) {
    auto queue = DispatchQueue::serial("order.test");
    EXPECT_EQ(queue->label(), "order.test");
    std::mutex mutex;
    std::vector<int> seen;
    std::vector<std::thread::id> threads;
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::atomic<bool> allCurrent{true};
    for (int i = 0; i < 500; ++i) {
        queue->async([&, i] {
            if (inside.fetch_add(1) != 0) overlapped = true;
            if (!queue->isCurrent() || Thread::isMainThread()) allCurrent = false;
            {
                std::lock_guard lock(mutex);
                seen.push_back(i);
                threads.push_back(std::this_thread::get_id());
            }
            inside.fetch_sub(1);
        });
    }
    queue->sync([] {});
    EXPECT_FALSE(queue->isCurrent());
    std::lock_guard lock(mutex);
    ASSERT_EQ(seen.size(), 500u);
    for (int i = 0; i < 500; ++i) EXPECT_EQ(seen[i], i);
    for (const auto& id : threads) EXPECT_EQ(id, threads.front());
    EXPECT_FALSE(overlapped);
    EXPECT_TRUE(allCurrent);
}

TEST(SerialDispatchQueue, SyncRunsOnTheWorkerAfterEarlierBlocksAndHandsBackResults) {
    auto queue = DispatchQueue::serial("sync.test");
    std::atomic<bool> earlierRan{false};
    queue->async([&] {
        std::this_thread::sleep_for(20ms);  // make the sync caller really wait behind it
        earlierRan = true;
    });
    std::thread::id ranOn;
    bool sawEarlier = false;
    queue->sync([&] {
        ranOn = std::this_thread::get_id();
        sawEarlier = earlierRan;
    });
    EXPECT_TRUE(sawEarlier);
    EXPECT_NE(ranOn, std::this_thread::get_id());

    EXPECT_EQ(queue->syncValue([] { return std::string("value"); }), "value");
    int stored = 1;
    int& ref = queue->syncValue([&]() -> int& { return stored; });
    EXPECT_EQ(&ref, &stored);
    EXPECT_THROW(queue->sync([] { throw std::runtime_error("boom"); }), std::runtime_error);
    // The queue keeps working after a block threw through sync.
    EXPECT_EQ(queue->syncValue([] { return 7; }), 7);
}

TEST(SerialDispatchQueue, PendingBlocksStillRunWhenTheQueueIsDropped) {
    std::atomic<int> ran{0};
    {
        auto queue = DispatchQueue::serial("dropped.test");
        for (int i = 0; i < 50; ++i) {
            queue->async([&ran] {
                std::this_thread::sleep_for(100us);
                ++ran;
            });
        }
    }
    EXPECT_TRUE(pumpMainUntil([&] { return ran == 50; }, 5s));
}

TEST(SerialDispatchQueue, LastReferenceDroppedInsideItsOwnBlock) {
    std::atomic<bool> done{false};
    auto queue = DispatchQueue::serial("self.release.test");
    queue->async([q = queue, &done]() mutable {
        q.reset();  // may well be the last reference
        done = true;
    });
    queue.reset();
    EXPECT_TRUE(pumpMainUntil([&] { return done.load(); }, 5s));
}

TEST(SerialDispatchQueue, AsyncAfterWaitsAtLeastTheDelay) {
    auto queue = DispatchQueue::serial("after.test");
    const auto start = std::chrono::steady_clock::now();
    std::atomic<bool> ran{false};
    std::atomic<bool> onQueue{false};
    std::chrono::steady_clock::time_point ranAt;
    queue->asyncAfter(30ms, [&] {
        ranAt = std::chrono::steady_clock::now();
        onQueue = queue->isCurrent();
        ran = true;
    });
    ASSERT_TRUE(pumpMainUntil([&] { return ran.load(); }, 5s));
    EXPECT_GE(ranAt - start, 30ms);
    EXPECT_LT(ranAt - start, 2s);
    EXPECT_TRUE(onQueue);
}

TEST(MainDispatchQueue, BlocksRunOnlyWhileTheMainLoopIsPumpedAndOnTheMainThread) {
    auto main = DispatchQueue::main();
    std::vector<int> order;
    std::atomic<bool> allOnMain{true};
    main->async([&] {
        allOnMain = allOnMain && Thread::isMainThread() && DispatchQueue::main()->isCurrent();
        order.push_back(1);
    });
    std::thread([&] {
        main->async([&] {
            allOnMain = allOnMain && Thread::isMainThread();
            order.push_back(2);
        });
    }).join();
    // Posting from the main thread never runs the block before async returns.
    EXPECT_TRUE(order.empty());
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(order.empty());
    EXPECT_TRUE(pumpMainUntil([&] { return order.size() == 2; }, 5s));
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_TRUE(allOnMain);
}

TEST(MainDispatchQueue, SyncFromAnotherThreadWaitsForTheMainLoop) {
    std::atomic<bool> returned{false};
    bool ranOnMain = false;
    std::thread background([&] {
        DispatchQueue::main()->sync([&] { ranOnMain = Thread::isMainThread(); });
        returned = true;
    });
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(returned);
    EXPECT_TRUE(pumpMainUntil([&] { return returned.load(); }, 5s));
    background.join();
    EXPECT_TRUE(ranOnMain);
}

TEST(GlobalDispatchQueue, RunsBlocksConcurrentlyAndSyncInline) {
    // Two blocks that each wait for the other can only finish if they run at the same time.
    std::atomic<int> arrived{0};
    std::atomic<int> finished{0};
    for (int i = 0; i < 2; ++i) {
        DispatchQueue::global()->async([&] {
            ++arrived;
            const auto deadline = std::chrono::steady_clock::now() + 5s;
            while (arrived < 2 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
            if (arrived == 2) ++finished;
        });
    }
    EXPECT_TRUE(pumpMainUntil([&] { return finished == 2; }, 6s));

    std::thread::id ranOn;
    bool current = false;
    DispatchQueue::global()->sync([&] {
        ranOn = std::this_thread::get_id();
        current = DispatchQueue::global()->isCurrent();
    });
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_TRUE(current);
}

TEST(DispatchGroup, NotifiesAfterTheLastLeaveAndWaitsWithTimeout) {
    DispatchGroup group;
    std::atomic<bool> notified{false};
    for (int i = 0; i < 3; ++i) group.enter();
    group.notify(DispatchQueue::main(), [&] { notified = true; });
    EXPECT_FALSE(group.wait(10ms));

    auto worker = DispatchQueue::serial("group.test");
    worker->async([&] { group.leave(); });
    worker->async([&] { group.leave(); });
    worker->sync([] {});
    pumpMainFor(10ms);
    EXPECT_FALSE(notified);  // one member still out

    worker->asyncAfter(10ms, [&] { group.leave(); });
    EXPECT_TRUE(group.wait(5s));
    EXPECT_FALSE(notified);  // queued on main, which has not run yet
    EXPECT_TRUE(pumpMainUntil([&] { return notified.load(); }, 5s));
    group.wait();  // zero count: returns at once
}

TEST(DispatchGroup, NotifyOnAnEmptyGroupIsQueuedNotRunInline) {
    DispatchGroup group;
    bool notified = false;
    group.notify(DispatchQueue::main(), [&] { notified = true; });
    EXPECT_FALSE(notified);
    EXPECT_TRUE(pumpMainUntil([&] { return notified; }, 5s));

    // A reused group notifies again.
    bool again = false;
    group.enter();
    group.notify(DispatchQueue::main(), [&] { again = true; });
    group.leave();
    EXPECT_TRUE(pumpMainUntil([&] { return again; }, 5s));
}

using DispatchDeathTest = ::testing::Test;

TEST_F(DispatchDeathTest, SyncOntoTheRunningQueueIsFatalNotADeadlock) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            auto queue = DispatchQueue::serial("reentrant.test");
            queue->sync([&] { queue->sync([] {}); });
        },
        "Fatal error: DispatchQueue\\.sync called on the queue it is already running on: reentrant\\.test");
    EXPECT_DEATH(
        {
            auto outer = DispatchQueue::serial("outer.test");
            auto inner = DispatchQueue::serial("inner.test");
            outer->sync([&] { inner->sync([&] { outer->sync([] {}); }); });
        },
        "already running on: outer\\.test");
    EXPECT_DEATH(DispatchQueue::main()->sync([] {}), "already running on: main");
    EXPECT_DEATH(
        {
            auto queue = DispatchQueue::serial("hop.test");
            queue->sync([] { DispatchQueue::main()->sync([] {}); });
        },
        "already running on: main");
}

TEST_F(DispatchDeathTest, UnbalancedLeaveIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    DispatchGroup group;
    EXPECT_DEATH(group.leave(), "Fatal error: DispatchGroup\\.leave called more times than enter");
}

}  // namespace
}  // namespace qor::platform
