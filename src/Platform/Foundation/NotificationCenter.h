#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Any.h"

namespace qor::platform {

class OperationQueue;

// One posted notification: its name, the object that sent it (compared by identity, may be
// empty) and optional extra values.
struct Notification {
    std::string name;
    std::shared_ptr<const void> object;
    std::optional<AnyDictionary> userInfo;
};

// Delivers posted notifications to the blocks registered for their name.
//
// An observer registered with a queue has its block added to that queue; without one the
// block runs synchronously on the posting thread, before post() returns. An observer
// registered with an object receives only notifications sent by that same object; without
// one it receives them from any sender. Every member may be called from any thread, also
// from inside an observer's block; a block never runs after removeObserver() has returned
// on the thread that removed it, unless it had already started.
class NotificationCenter {
public:
    // What addObserver returns; hand it back to removeObserver.
    class Observer {
    public:
        Observer(std::string name, const void* object, std::shared_ptr<OperationQueue> queue,
                 std::function<void(const Notification&)> block);
        const std::string& name() const { return name_; }

    private:
        friend class NotificationCenter;
        const std::string name_;
        const void* const object_;  // identity only, never dereferenced
        const std::shared_ptr<OperationQueue> queue_;
        const std::function<void(const Notification&)> block_;
        std::atomic<bool> removed_{false};
    };

    static std::shared_ptr<NotificationCenter> defaultCenter();
    static std::shared_ptr<NotificationCenter> make() { return std::make_shared<NotificationCenter>(); }

    std::shared_ptr<Observer> addObserver(std::string name, const std::shared_ptr<const void>& object,
                                          std::shared_ptr<OperationQueue> queue,
                                          std::function<void(const Notification&)> block);
    // Without a sender filter and without a queue.
    std::shared_ptr<Observer> addObserver(std::string name, std::function<void(const Notification&)> block) {
        return addObserver(std::move(name), nullptr, nullptr, std::move(block));
    }
    void removeObserver(const std::shared_ptr<Observer>& observer);

    void post(const Notification& notification);
    void post(std::string name, std::shared_ptr<const void> object = nullptr,
              std::optional<AnyDictionary> userInfo = std::nullopt) {
        post(Notification{std::move(name), std::move(object), std::move(userInfo)});
    }

    std::size_t observerCount() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Observer>> observers_;
};

}  // namespace qor::platform
