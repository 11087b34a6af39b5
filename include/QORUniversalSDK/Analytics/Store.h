#pragma once

#include <atomic>
#include <concepts>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <typeindex>
#include <utility>
#include <vector>

#include <QORUniversalSDK/Platform/Dispatch/DispatchQueue.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

// Marker base of the values a Store keeps (System, UserInfo).
struct QOR_EXPORT State {
    bool operator==(const State&) const = default;
};

template <class T>
concept StoreState = std::derived_from<T, State> && std::copy_constructible<T>;

// Objects that own store subscriptions. The store holds them weakly and never keeps
// one alive; a released subscriber is never called again.
class QOR_EXPORT Subscriber {
public:
    virtual ~Subscriber() = default;
};

// A synchronous change of one state type: `StateType reduce(const StateType&) const`.
// A reducer runs on the store's update queue and must not call the store.
template <class A>
concept Action = StoreState<typename A::StateType> && requires(const A& action, const typename A::StateType& state) {
    { action.reduce(state) } -> std::same_as<typename A::StateType>;
};

// A change that first runs an operation and then reduces with its result.
template <class A>
concept AsyncAction = StoreState<typename A::StateType> &&
    requires(const A& action, const typename A::StateType& state,
             std::function<void(std::optional<typename A::ResultType>)> completion,
             const std::optional<typename A::ResultType>& result) {
    action.operation(state, completion);
    { action.reduce(state, result) } -> std::same_as<typename A::StateType>;
};

// The box of one provided state.
class QOR_EXPORT ContainerStore {
public:
    virtual ~ContainerStore() = default;
    virtual std::type_index stateType() const = 0;
};

template <class T>
class TypedContainerStore final : public ContainerStore {
public:
    explicit TypedContainerStore(T first) : state(std::move(first)) {}
    std::type_index stateType() const override { return typeid(T); }
    T state;
};

// One registration: a weakly held owner, the queue its handler runs on, and the
// handler for one state type.
struct QOR_EXPORT Subscription {
    std::weak_ptr<Subscriber> owner;
    std::shared_ptr<platform::DispatchQueue> queue;
    std::type_index stateType = typeid(void);
    std::shared_ptr<const void> handler;  // a std::function<void(const T&)> for stateType
    int subscriptionID = 0;
};

// Keeps one value per state type, changes them only through actions and pushes each
// new value to the subscribers of its type, each asynchronously on its own queue.
//
// States live on the serial queue "state.update.qor.io" and the subscription list on
// "state.sync.qor.io"; neither is ever entered from inside the other. One lock per
// store is held from the update of a state until its notifications are submitted, so
// a subscriber on a serial queue sees the states in the order in which they were
// stored, even when several threads dispatch at once.
class QOR_EXPORT Store : public std::enable_shared_from_this<Store> {
public:
    Store();
    static std::shared_ptr<Store> make() { return std::make_shared<Store>(); }
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    template <StoreState T>
    int subscribe(std::weak_ptr<Subscriber> subscriber, bool initialState,
                  std::shared_ptr<platform::DispatchQueue> queue, std::function<void(const T&)> handler);

    void unsubscribe(int identifier);

    template <StoreState T>
    void provide(T state);

    template <Action A>
    void dispatch(const A& action);

    template <AsyncAction A>
    void dispatch(const A& action);

    template <StoreState T>
    std::optional<T> currentState() const;
    // What `read` makes of the current value of T, without a copy of the whole state;
    // nothing when T was never provided. `read` runs on the update queue: store code only,
    // never host code, and it must not call the store.
    template <StoreState T, class F>
    auto withState(F&& read) const -> std::optional<std::invoke_result_t<F, const T&>>;

    const std::shared_ptr<platform::DispatchQueue>& updateQueue() const { return updateQueue_; }
    const std::shared_ptr<platform::DispatchQueue>& syncQueue() const { return syncQueue_; }

    // Number of registrations currently held (for diagnostics and tests).
    std::size_t subscriptionCount() const;

private:
    // Reads on updateQueue only.
    template <StoreState T>
    TypedContainerStore<T>* container() const;

    std::vector<Subscription> collect(std::type_index type) const;
    void prune();

    template <StoreState T>
    void notify(const std::vector<Subscription>& subscriptions, const T& state);

    static int nextSubscriptionID();

    std::shared_ptr<platform::DispatchQueue> updateQueue_;
    std::shared_ptr<platform::DispatchQueue> syncQueue_;
    std::vector<std::unique_ptr<ContainerStore>> states_;  // on updateQueue_
    std::vector<Subscription> subscribers_;                // on syncQueue_
    std::mutex orderLock_;
};

template <StoreState T>
TypedContainerStore<T>* Store::container() const {
    for (const auto& box : states_) {
        if (box->stateType() == typeid(T)) return static_cast<TypedContainerStore<T>*>(box.get());
    }
    return nullptr;
}

template <StoreState T>
void Store::notify(const std::vector<Subscription>& subscriptions, const T& state) {
    for (const auto& subscription : subscriptions) {
        if (subscription.stateType != typeid(T)) continue;
        if (subscription.owner.expired()) continue;
        auto handler = std::static_pointer_cast<const std::function<void(const T&)>>(subscription.handler);
        // The owner is tested again when the block runs and held for the call, so a
        // subscriber released in between is never called.
        subscription.queue->async([owner = subscription.owner, handler, state] {
            if (auto alive = owner.lock()) (*handler)(state);
        });
    }
    prune();
}

template <StoreState T>
int Store::subscribe(std::weak_ptr<Subscriber> subscriber, bool initialState,
                     std::shared_ptr<platform::DispatchQueue> queue, std::function<void(const T&)> handler) {
    Subscription subscription;
    subscription.owner = std::move(subscriber);
    subscription.queue = std::move(queue);
    subscription.stateType = typeid(T);
    subscription.handler = std::make_shared<const std::function<void(const T&)>>(std::move(handler));
    subscription.subscriptionID = nextSubscriptionID();

    std::lock_guard<std::mutex> order(orderLock_);
    syncQueue_->sync([&] { subscribers_.push_back(subscription); });
    if (initialState) {
        if (auto current = currentState<T>()) notify<T>({subscription}, *current);
    }
    return subscription.subscriptionID;
}

template <StoreState T>
void Store::provide(T state) {
    std::lock_guard<std::mutex> order(orderLock_);
    bool added = false;
    updateQueue_->sync([&] {
        if (container<T>()) return;
        states_.push_back(std::make_unique<TypedContainerStore<T>>(state));
        added = true;
    });
    if (!added) return;
    notify<T>(collect(typeid(T)), state);
}

template <Action A>
void Store::dispatch(const A& action) {
    using T = typename A::StateType;
    std::lock_guard<std::mutex> order(orderLock_);
    std::optional<T> updated;
    updateQueue_->sync([&] {
        auto* box = container<T>();
        if (!box) return;
        box->state = action.reduce(box->state);
        updated = box->state;
    });
    if (!updated) return;
    notify<T>(collect(typeid(T)), *updated);
}

template <AsyncAction A>
void Store::dispatch(const A& action) {
    using T = typename A::StateType;
    using R = typename A::ResultType;
    auto current = currentState<T>();
    if (!current) return;
    // The completion may come on any thread, and more than once; each call reduces
    // from the value current at that moment, so no change made in between is lost.
    // It reaches the store weakly: a completion that arrives after the store is gone
    // does nothing (a store that takes asynchronous actions lives in a shared_ptr).
    std::weak_ptr<Store> weakStore = weak_from_this();
    auto completion = [weakStore, action](std::optional<R> result) {
        auto store = weakStore.lock();
        if (!store) return;
        std::lock_guard<std::mutex> order(store->orderLock_);
        std::optional<T> updated;
        store->updateQueue_->sync([&] {
            auto* box = store->template container<T>();
            if (!box) return;
            box->state = action.reduce(box->state, result);
            updated = box->state;
        });
        if (updated) store->template notify<T>(store->collect(typeid(T)), *updated);
    };
    action.operation(*current, std::function<void(std::optional<R>)>(std::move(completion)));
}

template <StoreState T, class F>
auto Store::withState(F&& read) const -> std::optional<std::invoke_result_t<F, const T&>> {
    std::optional<std::invoke_result_t<F, const T&>> result;
    updateQueue_->sync([&] {
        if (auto* box = container<T>()) result.emplace(read(std::as_const(box->state)));
    });
    return result;
}

template <StoreState T>
std::optional<T> Store::currentState() const {
    std::optional<T> result;
    updateQueue_->sync([&] {
        if (auto* box = container<T>()) result = box->state;
    });
    return result;
}

}  // namespace qor
