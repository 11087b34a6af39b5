#include "Platform/Foundation/NotificationCenter.h"

#include <algorithm>

#include "Platform/Dispatch/OperationQueue.h"

namespace qor::platform {

NotificationCenter::Observer::Observer(std::string name, const void* object, std::shared_ptr<OperationQueue> queue,
                                       std::function<void(const Notification&)> block)
    : name_(std::move(name)), object_(object), queue_(std::move(queue)), block_(std::move(block)) {}

std::shared_ptr<NotificationCenter> NotificationCenter::defaultCenter() {
    static const auto* center = new std::shared_ptr<NotificationCenter>(std::make_shared<NotificationCenter>());
    return *center;
}

std::shared_ptr<NotificationCenter::Observer> NotificationCenter::addObserver(
    std::string name, const std::shared_ptr<const void>& object, std::shared_ptr<OperationQueue> queue,
    std::function<void(const Notification&)> block) {
    auto observer = std::make_shared<Observer>(std::move(name), object.get(), std::move(queue), std::move(block));
    std::lock_guard<std::mutex> guard(mutex_);
    observers_.push_back(observer);
    return observer;
}

void NotificationCenter::removeObserver(const std::shared_ptr<Observer>& observer) {
    if (!observer) return;
    observer->removed_ = true;
    std::lock_guard<std::mutex> guard(mutex_);
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void NotificationCenter::post(const Notification& notification) {
    std::vector<std::shared_ptr<Observer>> matching;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        for (const auto& observer : observers_) {
            if (observer->name_ != notification.name) continue;
            if (observer->object_ != nullptr && observer->object_ != notification.object.get()) continue;
            matching.push_back(observer);
        }
    }
    // Blocks run outside the lock, so they may add, remove or post in turn.
    for (const auto& observer : matching) {
        if (observer->removed_) continue;
        if (observer->queue_) {
            observer->queue_->addOperation([observer, notification] {
                if (!observer->removed_) observer->block_(notification);
            });
        } else {
            observer->block_(notification);
        }
    }
}

std::size_t NotificationCenter::observerCount() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return observers_.size();
}

}  // namespace qor::platform
