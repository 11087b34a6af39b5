#include "AdNetwork/CappingManager.h"

#include "Core/Helpers/SharedSlot.h"

namespace qor {
namespace {

// Never destroyed: a download's completion may read it while the process ends.
SharedSlot<CappingManager>& cappingSlot() {
    static auto* slot = new SharedSlot<CappingManager>("CappingManager");
    return *slot;
}

}  // namespace

std::shared_ptr<CappingManager> CappingManager::sharedInstance() { return cappingSlot().get(); }

std::shared_ptr<CappingManager> CappingManager::peekSharedInstance() { return cappingSlot().peek(); }

void CappingManager::setSharedInstance(std::shared_ptr<CappingManager> manager) {
    cappingSlot().set(std::move(manager));
}

std::optional<Capping> CappingManager::config() const {
    std::lock_guard lock(mutex_);
    return config_;
}

void CappingManager::setConfig(std::optional<Capping> config) {
    std::lock_guard lock(mutex_);
    config_ = std::move(config);
}

bool CappingManager::isBlacklisted() const {
    std::lock_guard lock(mutex_);
    return config_ && config_->isBlacklist == 1;
}

}  // namespace qor
