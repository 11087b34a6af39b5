#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "Platform/Dispatch/OperationQueue.h"
#include "Platform/Foundation/NotificationCenter.h"

namespace qor::platform {
namespace {

TEST(NotificationCenter, ObserversWithoutAQueueRunOnThePostingThreadBeforePostReturns) {
    auto center = NotificationCenter::make();
    std::vector<std::string> seen;
    std::thread::id runner;
    center->addObserver("ping", [&](const Notification& posted) {
        seen.push_back(posted.name + ":" + posted.userInfo->at("n").asString());
        runner = std::this_thread::get_id();
    });
    center->addObserver("other", [&](const Notification&) { seen.push_back("other"); });
    std::thread poster([&] { center->post("ping", nullptr, AnyDictionary{{"n", "1"}}); });
    poster.join();
    EXPECT_EQ(seen, std::vector<std::string>{"ping:1"});
    EXPECT_NE(runner, std::this_thread::get_id());
}

TEST(NotificationCenter, AnObjectFilterTakesOnlyThatSender) {
    auto center = NotificationCenter::make();
    auto sender = std::make_shared<int>(1);
    int fromSender = 0;
    int fromAnyone = 0;
    center->addObserver("tick", sender, nullptr, [&](const Notification&) { ++fromSender; });
    center->addObserver("tick", nullptr, nullptr, [&](const Notification&) { ++fromAnyone; });
    center->post("tick", sender);
    center->post("tick", std::make_shared<int>(2));
    center->post("tick");
    EXPECT_EQ(fromSender, 1);
    EXPECT_EQ(fromAnyone, 3);
}

TEST(NotificationCenter, AQueuedObserverRunsOnItsQueue) {
    auto center = NotificationCenter::make();
    auto queue = OperationQueue::make("observer");
    std::promise<bool> ranOnQueue;
    center->addObserver("later", nullptr, queue,
                        [&](const Notification&) { ranOnQueue.set_value(queue->isCurrent()); });
    center->post("later");
    auto result = ranOnQueue.get_future();
    ASSERT_EQ(result.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_TRUE(result.get());
}

TEST(NotificationCenter, RemovedObserversAreNotCalledAgainAndBlocksMayRemoveThemselves) {
    auto center = NotificationCenter::make();
    int calls = 0;
    std::shared_ptr<NotificationCenter::Observer> self;
    self = center->addObserver("once", [&](const Notification&) {
        ++calls;
        center->removeObserver(self);
    });
    auto removed = center->addObserver("once", [&](const Notification&) { calls += 100; });
    center->removeObserver(removed);
    center->post("once");
    center->post("once");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(center->observerCount(), 0u);
}

TEST(NotificationCenter, PostingAddingAndRemovingFromManyThreadsIsSafe) {
    auto center = NotificationCenter::make();
    std::atomic<int> delivered{0};
    auto keeper = center->addObserver("load", [&](const Notification&) { ++delivered; });
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 4; ++thread) {
        threads.emplace_back([&] {
            for (int round = 0; round < 200; ++round) {
                auto transient = center->addObserver("load", [](const Notification&) {});
                center->post("load");
                center->removeObserver(transient);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(delivered.load(), 800);
    EXPECT_EQ(center->observerCount(), 1u);
}

}  // namespace
}  // namespace qor::platform
