#include "Platform/UIKit/UITapGestureRecognizer.h"

namespace qor::platform {

bool UIGestureRecognizer::fire() {
    if (!enabled_ || view_.expired()) return false;
    // A copy: an action may add targets, or release this recogniser with its view.
    const auto actions = actions_;
    for (const auto& action : actions) action();
    return true;
}

}  // namespace qor::platform
