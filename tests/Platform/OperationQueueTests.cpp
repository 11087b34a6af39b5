#include "Platform/Foundation/OperationQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
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
