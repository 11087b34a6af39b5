#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "Platform/UIKit/TargetAction.h"

namespace qor::platform {

class UIView;

// Runs its actions when the gesture it watches for happens on its view. Nothing watches the
// screen here: a host or test fires it with UIView::tap() or fire(). Main thread only; the
// actions run on the thread that fires.
class UIGestureRecognizer {
public:
    UIGestureRecognizer() = default;
    virtual ~UIGestureRecognizer() = default;
    UIGestureRecognizer(const UIGestureRecognizer&) = delete;
    UIGestureRecognizer& operator=(const UIGestureRecognizer&) = delete;

    // The target is held weakly.
    template <class Target>
    void addTarget(const std::shared_ptr<Target>& target, void (Target::*action)()) {
        addAction(targetAction(target, action));
    }
    void addAction(std::function<void()> action) { actions_.push_back(std::move(action)); }

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    std::shared_ptr<UIView> view() const { return view_.lock(); }

    // Runs the actions in the order added when the recogniser is enabled and on a view;
    // returns whether it ran them. Unlike UIView::tap(), the view's touch rules are not asked.
    bool fire();

private:
    friend class UIView;

    std::vector<std::function<void()>> actions_;
    bool enabled_ = true;
    std::weak_ptr<UIView> view_;
};

// A single tap.
class UITapGestureRecognizer : public UIGestureRecognizer {
public:
    UITapGestureRecognizer() = default;
    template <class Target>
    UITapGestureRecognizer(const std::shared_ptr<Target>& target, void (Target::*action)()) {
        addTarget(target, action);
    }
};

}  // namespace qor::platform
