#pragma once

#include <atomic>

namespace qor::platform {

// A process-wide slot for one function that watches a kind of event the platform layer handles
// (a page a web view loads, an animation, an opened URL). Empty by default: the library keeps
// none of these events itself, so nothing grows over an app's life; the tests install an
// observer (testing/) that keeps a bounded record of what they read. Not exported.
//
// The observer runs on the thread that handles the event, outside every lock of the platform
// layer, before the call that made the event returns.
template <class... Event>
class ObserverHook {
public:
    using Observer = void (*)(const Event&...);

    constexpr ObserverHook() = default;
    ObserverHook(const ObserverHook&) = delete;
    ObserverHook& operator=(const ObserverHook&) = delete;

    // Installs the observer (nullptr: none) and returns the one it replaces.
    Observer install(Observer observer) { return observer_.exchange(observer, std::memory_order_acq_rel); }

    void notify(const Event&... event) const {
        if (const Observer observer = observer_.load(std::memory_order_acquire)) observer(event...);
    }

private:
    std::atomic<Observer> observer_{nullptr};
};

}  // namespace qor::platform
