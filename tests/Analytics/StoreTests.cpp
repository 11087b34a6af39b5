#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>

#include "Analytics/Store.h"
#include "Platform/Dispatch/DispatchGroup.h"
#include "testing/MainLoopPump.h"

namespace qor {
namespace {

using platform::DispatchQueue;

struct Counter : State {
    int value = 0;
    explicit Counter(int v = 0) : value(v) {}
};

struct Label : State {
    std::string text;
    explicit Label(std::string t = {}) : text(std::move(t)) {}
};

struct Increment {
    using StateType = Counter;
    int by = 1;
    Counter reduce(const Counter& state) const { return Counter(state.value + by); }
};

struct Rename {
    using StateType = Label;
    std::string text;
    Label reduce(const Label&) const { return Label(text); }
};

// Runs its operation on another thread, once `go` is released, and adds the result to
// the value current then.
struct AddLater {
    using StateType = Counter;
    using ResultType = int;
    int amount = 0;
    std::shared_future<void> go;
    void operation(const Counter&, std::function<void(std::optional<int>)> completion) const {
        std::thread([completion, amount = amount, go = go] {
            go.wait();
            completion(amount);
        }).detach();
    }
    Counter reduce(const Counter& state, const std::optional<int>& result) const {
        return Counter(state.value + result.value_or(0));
    }
};

class Owner : public Subscriber {};

// Collects what a handler received, from whatever thread.
template <class T>
struct Received {
    std::mutex mutex;
    std::vector<T> values;
    void add(const T& v) {
        std::lock_guard<std::mutex> guard(mutex);
        values.push_back(v);
    }
    std::size_t count() {
        std::lock_guard<std::mutex> guard(mutex);
        return values.size();
    }
};

TEST(Store, SubscriptionIdsComeFromOneProcessWideCounter) {
    auto owner = std::make_shared<Owner>();
    auto first = Store::make();
    auto second = Store::make();
    const auto main = DispatchQueue::main();
    const int a = first->subscribe<Counter>(owner, false, main, [](const Counter&) {});
    const int b = second->subscribe<Counter>(owner, false, main, [](const Counter&) {});
    const int c = first->subscribe<Label>(owner, false, main, [](const Label&) {});
    EXPECT_GE(a, 1);
    EXPECT_EQ(b, a + 1);
    EXPECT_EQ(c, a + 2);
}

TEST(Store, InitialStateArrivesOnceOnTheSubscribersQueueAfterSubscribeReturns) {
    auto store = Store::make();
    auto owner = std::make_shared<Owner>();
    store->provide(Counter(5));

    int calls = 0;
    store->subscribe<Counter>(owner, true, DispatchQueue::main(), [&](const Counter& c) {
        EXPECT_EQ(c.value, 5);
        ++calls;
    });
    EXPECT_EQ(calls, 0);  // submitted with async, never run inside subscribe
    EXPECT_TRUE(testing::pumpMainUntil([&] { return calls == 1; }));
    testing::pumpMainFor(std::chrono::milliseconds(20));
    EXPECT_EQ(calls, 1);

    // On a queue of its own, the handler runs on that queue.
    auto queue = DispatchQueue::serial("subscriber.test");
    std::atomic<bool> onQueue{false};
    std::atomic<int> queued{0};
    store->subscribe<Counter>(owner, true, queue, [&](const Counter&) {
        onQueue = queue->isCurrent();
        ++queued;
    });
    queue->sync([] {});
    EXPECT_EQ(queued.load(), 1);
    EXPECT_TRUE(onQueue.load());

    // Without the initial state, only later changes arrive.
    Received<int> later;
    store->subscribe<Counter>(owner, false, queue, [&](const Counter& c) { later.add(c.value); });
    queue->sync([] {});
    EXPECT_EQ(later.count(), 0u);
    store->dispatch(Increment{2});
    queue->sync([] {});
    EXPECT_EQ(later.values, std::vector<int>{7});
}

TEST(Store, ProvideIsOnceAndReachesEarlierSubscribers) {
    auto store = Store::make();
    auto owner = std::make_shared<Owner>();
    auto queue = DispatchQueue::serial("provide.test");
    Received<int> received;
    store->subscribe<Counter>(owner, true, queue, [&](const Counter& c) { received.add(c.value); });
    EXPECT_FALSE(store->currentState<Counter>());

    store->provide(Counter(1));
    store->provide(Counter(2));  // ignored: the first value stays, nobody is told
    queue->sync([] {});
    EXPECT_EQ(received.values, std::vector<int>{1});
    EXPECT_EQ(store->currentState<Counter>()->value, 1);
}

TEST(Store, DispatchStoresBeforeReturningAndNotifiesOnlyThatStateType) {
    auto store = Store::make();
    auto owner = std::make_shared<Owner>();
    auto queue = DispatchQueue::serial("dispatch.test");
    Received<int> counters;
    Received<std::string> labels;
    store->subscribe<Counter>(owner, false, queue, [&](const Counter& c) { counters.add(c.value); });
    store->subscribe<Label>(owner, false, queue, [&](const Label& l) { labels.add(l.text); });

    store->dispatch(Increment{});  // never provided: nothing happens
    EXPECT_FALSE(store->currentState<Counter>());

    store->provide(Counter(0));
    store->provide(Label("a"));
    store->dispatch(Increment{3});
    EXPECT_EQ(store->currentState<Counter>()->value, 3);
    store->dispatch(Rename{"b"});
    EXPECT_EQ(store->currentState<Label>()->text, "b");
    queue->sync([] {});
    EXPECT_EQ(counters.values, (std::vector<int>{0, 3}));
    EXPECT_EQ(labels.values, (std::vector<std::string>{"a", "b"}));
}

TEST(Store, SubscriptionsOfOneOwnerRunInTheOrderTheyWereMade) {
    auto store = Store::make();
    auto owner = std::make_shared<Owner>();
    auto queue = DispatchQueue::serial("order.test");
    Received<std::string> calls;
    store->provide(Counter(0));
    store->subscribe<Counter>(owner, false, queue, [&](const Counter&) { calls.add("first"); });
    store->subscribe<Counter>(owner, false, queue, [&](const Counter&) { calls.add("second"); });
    store->dispatch(Increment{});
    queue->sync([] {});
    EXPECT_EQ(calls.values, (std::vector<std::string>{"first", "second"}));
}

TEST(Store, ReleasedSubscribersAreNeverCalledAndArePrunedByTheNextNotification) {
    auto store = Store::make();
    auto queue = DispatchQueue::serial("weak.test");
    auto keeper = std::make_shared<Owner>();
    auto leaver = std::make_shared<Owner>();
    std::atomic<int> leaverCalls{0};
    store->provide(Counter(0));
    store->provide(Label(""));
    store->subscribe<Counter>(keeper, false, queue, [](const Counter&) {});
    store->subscribe<Counter>(leaver, false, queue, [&](const Counter&) { ++leaverCalls; });
    EXPECT_EQ(store->subscriptionCount(), 2u);

    // Released after its notification was submitted but before it ran: still not called.
    queue->async([] { std::this_thread::sleep_for(std::chrono::milliseconds(20)); });
    store->dispatch(Increment{});
    leaver.reset();
    queue->sync([] {});
    EXPECT_EQ(leaverCalls.load(), 0);

    // Any notification, of any state type, drops it from the list.
    store->dispatch(Rename{"x"});
    EXPECT_EQ(store->subscriptionCount(), 1u);
    store->dispatch(Increment{});
    queue->sync([] {});
    EXPECT_EQ(leaverCalls.load(), 0);
}

TEST(Store, UnsubscribeRemovesOnlyThatIdAndToleratesUnknownIds) {
    auto store = Store::make();
    auto owner = std::make_shared<Owner>();
    auto queue = DispatchQueue::serial("unsubscribe.test");
    Received<std::string> calls;
    store->provide(Counter(0));
    const int gone = store->subscribe<Counter>(owner, false, queue, [&](const Counter&) { calls.add("gone"); });
    store->subscribe<Counter>(owner, false, queue, [&](const Counter&) { calls.add("kept"); });
    store->unsubscribe(gone);
    store->unsubscribe(gone);
    store->unsubscribe(-12345);
    store->dispatch(Increment{});
    queue->sync([] {});
    EXPECT_EQ(calls.values, std::vector<std::string>{"kept"});
    EXPECT_EQ(store->subscriptionCount(), 1u);
}

TEST(Store, SubscribersSeeStatesInStoredOrderWhenThreadsDispatchAtOnce) {
    auto store = Store::make();
    auto owner = std::make_shared<Owner>();
    auto queue = DispatchQueue::serial("concurrent.test");
    Received<int> received;
    store->provide(Counter(0));
    store->subscribe<Counter>(owner, false, queue, [&](const Counter& c) { received.add(c.value); });

    constexpr int threads = 8;
    constexpr int perThread = 200;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < perThread; ++i) store->dispatch(Increment{});
        });
    }
    for (auto& worker : workers) worker.join();
    queue->sync([] {});

    ASSERT_EQ(received.values.size(), static_cast<std::size_t>(threads * perThread));
    for (std::size_t i = 0; i < received.values.size(); ++i) {
        ASSERT_EQ(received.values[i], static_cast<int>(i + 1)) << "at notification " << i;
    }
    EXPECT_EQ(store->currentState<Counter>()->value, threads * perThread);
}

TEST(Store, AsyncActionsReduceWhenTheirCompletionArrives) {
    auto store = Store::make();
    auto owner = std::make_shared<Owner>();
    auto queue = DispatchQueue::serial("async.test");
    Received<int> received;
    std::promise<void> release;
    const std::shared_future<void> go = release.get_future().share();
    store->dispatch(AddLater{5, go});  // not provided: the operation never starts
    store->provide(Counter(1));
    store->subscribe<Counter>(owner, false, queue, [&](const Counter& c) { received.add(c.value); });
    store->dispatch(AddLater{10, go});
    store->dispatch(Increment{100});
    release.set_value();
    // The completion reduces from the value current when it arrives, so the change made in
    // between is kept.
    ASSERT_TRUE(testing::pumpMainUntil([&] { return received.count() == 2; }));
    EXPECT_EQ(received.values, (std::vector<int>{101, 111}));
    EXPECT_EQ(store->currentState<Counter>()->value, 111);
}

}  // namespace
}  // namespace qor
