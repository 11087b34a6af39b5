#include "Platform/UIKit/NSLayoutConstraint.h"

#include <stdexcept>

#include "Platform/UIKit/UIView.h"

namespace qor::platform {

NSLayoutConstraint::NSLayoutConstraint(const std::shared_ptr<UIView>& firstItem, NSLayoutAttribute firstAttribute,
                                       NSLayoutRelation relation, const std::shared_ptr<UIView>& secondItem,
                                       NSLayoutAttribute secondAttribute, double multiplier, double constant)
    : firstItem_(firstItem),
      firstAttribute_(firstAttribute),
      relation_(relation),
      secondItem_(secondItem),
      hasSecondItem_(secondItem != nullptr),
      secondAttribute_(secondAttribute),
      multiplier_(multiplier),
      constant_(constant) {}

std::shared_ptr<UIView> NSLayoutConstraint::installationView() const {
    const auto first = firstItem_.lock();
    if (!first || !hasSecondItem_) return first;
    const auto second = secondItem_.lock();
    if (!second) return nullptr;
    for (auto ancestor = first; ancestor; ancestor = ancestor->superview()) {
        if (second->isDescendant(*ancestor)) return ancestor;
    }
    return nullptr;
}

void NSLayoutConstraint::activate(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints) {
    // Every view first, so that a rule that cannot be installed leaves all of them inactive.
    std::vector<std::shared_ptr<UIView>> views;
    for (const auto& constraint : constraints) {
        if (!constraint) throw std::invalid_argument("NSLayoutConstraint::activate: no rule");
        if (constraint->isActive()) {
            views.push_back(nullptr);
            continue;
        }
        auto view = constraint->installationView();
        if (!view) throw std::invalid_argument("NSLayoutConstraint::activate: the items are not in one view tree");
        views.push_back(std::move(view));
    }
    for (std::size_t index = 0; index < constraints.size(); ++index) {
        if (!views[index] || constraints[index]->isActive()) continue;
        views[index]->install(constraints[index]);
        constraints[index]->installedOn_ = views[index];
    }
}

void NSLayoutConstraint::deactivate(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints) {
    for (const auto& constraint : constraints) {
        if (!constraint) continue;
        const auto view = constraint->installedOn_.lock();
        constraint->installedOn_.reset();
        if (view) view->uninstall(constraint.get());
    }
}

void NSLayoutConstraint::setActive(bool active) {
    if (active) {
        activate({shared_from_this()});
    } else {
        deactivate({shared_from_this()});
    }
}

}  // namespace qor::platform
