// Faults of the queues' worker threads: a worker woken but not yet running, a thread the system
// will not create, and a block that throws with nobody waiting for it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "Platform/Dispatch/DispatchGroup.h"
#include "Platform/Dispatch/DispatchQueue.h"
#include "Platform/Dispatch/OperationQueue.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Dispatch/Timer.h"
#include "testing/ScopedFaultHandler.h"

namespace qor::platform {
namespace {

using namespace std::chrono_literals;

// A block that waits for one submitted right after it: the auction's fan-out does this with a
// dispatch group. With one idle worker, the first block wakes it; the second must find it no
// longer idle and start a thread of its own, or the first waits for ever. Each round starts from
// a queue whose one worker has just gone idle.
TEST(WorkerFaults, ABlockWaitingForALaterOneAlwaysFindsAWorkerForIt) {
    for (int round = 0; round < 200; ++round) {
        auto queue = OperationQueue::make("waits.for.later");
        queue->setMaxConcurrentOperationCount(2);
        queue->addOperation([] {});
        queue->waitUntilAllOperationsAreFinished();  // its worker is asleep now

        DispatchGroup later;
        later.enter();
        std::atomic<bool> waited{false};
        std::atomic<bool> finished{false};
        queue->addOperation([&] {
            waited = later.wait(2s);
            finished = true;
        });
        queue->addOperation([&] { later.leave(); });
        queue->waitUntilAllOperationsAreFinished();
        ASSERT_TRUE(finished.load());
        ASSERT_TRUE(waited.load()) << "round " << round << ": the second block got no worker";
    }
}

std::atomic<int> refusalsLeft{0};

bool refuseThreads(const char* point) {
    return std::strcmp(point, "WorkerPool.startThread") == 0 && refusalsLeft.fetch_sub(1) > 0;
}

// The system refuses a thread (no threads left for the process): the refused thread is not
// counted, so the queue starts one when it next gets work, and every block runs, in order.
TEST(WorkerFaults, AThreadTheSystemRefusesIsNotCountedAsAWorker) {
    refusalsLeft = 1;
    const testing::ScopedFaultHandler faultHandler(&refuseThreads);
    auto queue = DispatchQueue::serial("refused.thread");
    std::vector<int> order;
    std::mutex mutex;
    queue->async([&] {
        std::lock_guard lock(mutex);
        order.push_back(1);
    });
    EXPECT_EQ(refusalsLeft.load(), 0) << "the first block asked for a thread";
    queue->async([&] {
        std::lock_guard lock(mutex);
        order.push_back(2);
    });
    std::atomic<bool> ran{false};
    queue->sync([&] { ran = true; });
    EXPECT_TRUE(ran.load());
    std::lock_guard lock(mutex);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

// A block that nobody waits for has nowhere to send its exception: on every queue, main included,
// and on a run loop (a performed block, a timer), the process stops and names the queue or loop.
using QueueExceptionDeathTest = ::testing::Test;

TEST_F(QueueExceptionDeathTest, AnExceptionLeavingAnAsyncBlockStopsTheProcessNamingTheQueue) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto throwing = [] { throw std::runtime_error("boom"); };
    EXPECT_DEATH(
        {
            DispatchQueue::serial("throwing.serial")->async(throwing);
            std::this_thread::sleep_for(5s);
        },
        "Fatal error: A block on queue throwing\\.serial threw: boom");
    EXPECT_DEATH(
        {
            DispatchQueue::global()->async(throwing);
            std::this_thread::sleep_for(5s);
        },
        "Fatal error: A block on queue global threw: boom");
    EXPECT_DEATH(
        {
            DispatchQueue::main()->async(throwing);
            RunLoop::main().runUntil(RunLoop::Clock::now() + 5s);
        },
        "Fatal error: A block on queue main threw: boom");
    EXPECT_DEATH(
        {
            RunLoop::main().perform(throwing);
            RunLoop::main().runUntil(RunLoop::Clock::now() + 5s);
        },
        "Fatal error: A block on run loop main threw: boom");
    EXPECT_DEATH(
        {
            Timer::scheduledTimer(1ms, true, [](Timer&) { throw std::runtime_error("tick"); });
            RunLoop::main().runUntil(RunLoop::Clock::now() + 5s);
        },
        "Fatal error: A timer on run loop main threw: tick");
    EXPECT_DEATH(std::thread([] {
                     Timer::scheduledTimer(1ms, false, [](Timer&) { throw std::runtime_error("tock"); });
                     RunLoop::current().runUntil(RunLoop::Clock::now() + 5s);
                 }).join(),
                 "Fatal error: A timer on run loop of thread .* threw: tock");
    EXPECT_DEATH(
        {
            DispatchQueue::serial("throwing.later")->asyncAfter(1ms, [] { throw 42; });
            std::this_thread::sleep_for(5s);
        },
        "Fatal error: A block on queue throwing\\.later threw: an exception that is not a std::exception");
    EXPECT_DEATH(
        {
            auto operations = OperationQueue::make("throwing.operations");
            operations->addOperation(throwing);
            std::this_thread::sleep_for(5s);
        },
        "Fatal error: A block on operation queue throwing\\.operations threw: boom");
}

TEST(QueueExceptions, ABlockRunWithSyncHandsItsExceptionToTheCaller) {
    auto queue = DispatchQueue::serial("throwing.sync");
    EXPECT_THROW(queue->sync([] { throw std::runtime_error("to the caller"); }), std::runtime_error);
    // The queue goes on working.
    int value = 0;
    queue->sync([&] { value = 1; });
    EXPECT_EQ(value, 1);
}

}  // namespace
}  // namespace qor::platform
