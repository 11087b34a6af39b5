#include "Platform/Dispatch/OperationQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qor::platform {
namespace {

using namespace std::chrono_literals;

TEST(OperationQueue, SerialByDefaultInOrderAndWaitCoversNestedOperations) {
    auto queue = OperationQueue::make("ops.serial");
    EXPECT_EQ(queue->name(), "ops.serial");
    EXPECT_EQ(queue->maxConcurrentOperationCount(), 1);
    std::mutex mutex;
    std::vector<int> order;
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::atomic<bool> allCurrent{true};
    for (int i = 0; i < 200; ++i) {
        queue->addOperation([&, i] {
            if (inside.fetch_add(1) != 0) overlapped = true;
            allCurrent = allCurrent && queue->isCurrent();
            {
                std::lock_guard lock(mutex);
                order.push_back(i);
            }
            if (i == 199) {
                queue->addOperation([&] {
                    std::this_thread::sleep_for(10ms);
                    std::lock_guard lock(mutex);
                    order.push_back(200);
                });
            }
            inside.fetch_sub(1);
        });
    }
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_FALSE(queue->isCurrent());
    std::lock_guard lock(mutex);
    ASSERT_EQ(order.size(), 201u);
    for (int i = 0; i <= 200; ++i) EXPECT_EQ(order[i], i);
    EXPECT_FALSE(overlapped);
    EXPECT_TRUE(allCurrent);
}

TEST(OperationQueue, RaisedConcurrencyRunsOperationsSideBySide) {
    auto queue = OperationQueue::make("ops.wide");
    queue->setMaxConcurrentOperationCount(2);
    EXPECT_EQ(queue->maxConcurrentOperationCount(), 2);
    std::atomic<int> arrived{0};
    std::atomic<int> metPartner{0};
    for (int i = 0; i < 2; ++i) {
        queue->addOperation([&] {
            ++arrived;
            const auto deadline = std::chrono::steady_clock::now() + 5s;
            while (arrived < 2 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
            if (arrived == 2) ++metPartner;
        });
    }
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(metPartner, 2);
}

// The caller runs the operation itself only while the queue has nothing queued or running; the
// run counts as the queue's own (isCurrent, later operations and waiters come after it).
TEST(OperationQueue, RunNowIfIdleRunsOnTheCallerOnlyWhenNothingWaits) {
    auto queue = OperationQueue::make("ops.inline");
    std::mutex mutex;
    std::vector<std::string> order;
    auto note = [&](std::string what) {
        std::lock_guard lock(mutex);
        order.push_back(std::move(what));
    };
    const auto caller = std::this_thread::get_id();
    bool currentInside = false;
    ASSERT_TRUE(queue->runNowIfIdle([&] {
        currentInside = queue->isCurrent() && std::this_thread::get_id() == caller;
        queue->addOperation([&] { note("added inside"); });  // waits for the inline run
        std::this_thread::sleep_for(20ms);
        note("inline");
    }));
    EXPECT_TRUE(currentInside);
    EXPECT_FALSE(queue->isCurrent());

    std::promise<void> release;
    auto released = release.get_future().share();
    queue->addOperation([&, released] {
        released.wait();
        note("blocker");
    });
    bool ranWhileBusy = false;
    EXPECT_FALSE(queue->runNowIfIdle([&] { ranWhileBusy = true; }));
    queue->addOperation([&] { note("after blocker"); });
    release.set_value();
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_FALSE(ranWhileBusy);
    std::lock_guard lock(mutex);
    EXPECT_EQ(order, (std::vector<std::string>{"inline", "added inside", "blocker", "after blocker"}));
}

using OperationQueueDeathTest = ::testing::Test;

TEST_F(OperationQueueDeathTest, WaitingFromOwnOperationIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            auto queue = OperationQueue::make("ops.self");
            queue->addOperation([&] { queue->waitUntilAllOperationsAreFinished(); });
            queue->waitUntilAllOperationsAreFinished();
        },
        "Fatal error: OperationQueue.waitUntilAllOperationsAreFinished called from its own operation: ops.self");
}

}  // namespace
}  // namespace qor::platform
