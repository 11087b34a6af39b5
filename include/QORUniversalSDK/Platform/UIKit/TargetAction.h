#pragma once

#include <functional>
#include <memory>

namespace qor::platform {

// An action sent to a target that is held weakly, as controls and gesture recognisers hold
// theirs: once the target is gone, the action does nothing.
template <class Target>
std::function<void()> targetAction(const std::shared_ptr<Target>& target, void (Target::*action)()) {
    return [weak = std::weak_ptr<Target>(target), action] {
        if (const auto strong = weak.lock()) ((*strong).*action)();
    };
}

}  // namespace qor::platform
