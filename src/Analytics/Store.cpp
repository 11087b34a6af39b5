#include "Analytics/Store.h"

#include <algorithm>

namespace qor {

namespace {
std::atomic<int> subscriptionCounter{1};
}  // namespace

Store::Store()
    : updateQueue_(platform::DispatchQueue::serial("state.update.qor.io")),
      syncQueue_(platform::DispatchQueue::serial("state.sync.qor.io")) {}

int Store::nextSubscriptionID() { return subscriptionCounter.fetch_add(1); }

void Store::unsubscribe(int identifier) {
    syncQueue_->sync([&] {
        std::erase_if(subscribers_, [identifier](const Subscription& s) { return s.subscriptionID == identifier; });
    });
}

std::vector<Subscription> Store::collect(std::type_index type) const {
    std::vector<Subscription> result;
    syncQueue_->sync([&] {
        for (const auto& subscription : subscribers_) {
            if (subscription.stateType == type) result.push_back(subscription);
        }
    });
    return result;
}

void Store::prune() {
    syncQueue_->sync([&] { std::erase_if(subscribers_, [](const Subscription& s) { return s.owner.expired(); }); });
}

std::size_t Store::subscriptionCount() const {
    std::size_t count = 0;
    syncQueue_->sync([&] { count = subscribers_.size(); });
    return count;
}

}  // namespace qor
