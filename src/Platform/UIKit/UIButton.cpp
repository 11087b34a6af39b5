#include "Platform/UIKit/UIButton.h"

namespace qor::platform {

void UIControl::sendActions(UIControlEvents events) {
    std::vector<std::function<void()>> matching;
    for (const auto& [registered, action] : actions_) {
        if (static_cast<unsigned>(registered) & static_cast<unsigned>(events)) matching.push_back(action);
    }
    // Run from a copy: an action may add actions or release this control.
    for (const auto& action : matching) action();
}

bool UIControl::tap() {
    if (!takesTouchesThroughAncestors()) return UIView::tap();
    if (!enabled_) return false;
    const auto keepAlive = shared_from_this();
    sendActions(UIControlEvents::touchUpInside);
    return true;
}

std::shared_ptr<UIImage> UIButton::image(UIControlState state) const {
    if (const auto found = images_.find(state); found != images_.end() && found->second) return found->second;
    const auto normal = images_.find(UIControlState::normal);
    return normal == images_.end() ? nullptr : normal->second;
}

}  // namespace qor::platform
