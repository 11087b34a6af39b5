#pragma once

#include <memory>
#include <mutex>
#include <optional>

#include "AdNetwork/Container.h"

namespace qor {

// Holds the capping block of the downloaded container; its blacklist flag stops every ad
// request and every later container download. Safe to read and write from any thread.
class CappingManager {
public:
    CappingManager() = default;
    CappingManager(const CappingManager&) = delete;
    CappingManager& operator=(const CappingManager&) = delete;

    // The one start-up stored; stops the process before start.
    static std::shared_ptr<CappingManager> sharedInstance();
    // The shared one or nullptr, without the stop.
    static std::shared_ptr<CappingManager> peekSharedInstance();
    static void setSharedInstance(std::shared_ptr<CappingManager> manager);

    std::optional<Capping> config() const;
    void setConfig(std::optional<Capping> config);
    // True exactly when a capping is present and its blacklist value is 1.
    bool isBlacklisted() const;

private:
    mutable std::mutex mutex_;
    std::optional<Capping> config_;
};

}  // namespace qor
