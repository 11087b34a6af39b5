#pragma once

#include <functional>
#include <memory>
#include <utility>

namespace qor {

// Calls a delegate the way every ad format must: on a strong copy taken before the call, so a
// delegate that lets go of itself inside its callback (setDelegate(nullptr) on the only owner)
// lives until the call returns. `call` is a member of the delegate or any callable that takes
// the delegate first (a lambda picks an overload); nothing happens without a delegate. The
// by-value parameter is the copy.
template <class Delegate, class Call, class... Args>
void callDelegate(std::shared_ptr<Delegate> delegate, Call&& call, Args&&... args) {
    if (delegate) std::invoke(std::forward<Call>(call), *delegate, std::forward<Args>(args)...);
}

}  // namespace qor
