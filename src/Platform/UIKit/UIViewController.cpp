#include "Platform/UIKit/UIViewController.h"

#include <stdexcept>

#include "Platform/Dispatch/DispatchQueue.h"
#include "Platform/UIKit/UIKitObservation.h"
#include "Platform/UIKit/UIScreen.h"

namespace qor::platform {

constinit ObserverHook<UIViewControllerEvent> observation::controllerEvents;

namespace {

void record(const UIViewControllerEvent& event) { observation::controllerEvents.notify(event); }

}  // namespace

UIViewController::~UIViewController() = default;

std::shared_ptr<UIView> UIViewController::view() {
    if (!view_) {
        loadView();
        if (!view_) view_ = std::make_shared<UIView>();
        record({UIViewControllerEvent::Kind::viewDidLoad, weak_from_this(), {}, false});
        viewDidLoad();
    }
    return view_;
}

void UIViewController::loadView() { view_ = std::make_shared<UIView>(UIScreen::main()->bounds()); }

bool UIViewController::present(const std::shared_ptr<UIViewController>& controller, bool animated,
                               const std::function<void()>& completion) {
    if (!controller || controller.get() == this) {
        throw std::invalid_argument("UIViewController::present: no controller, or the presenter itself");
    }
    if (presented_ || !controller->presenter_.expired()) return false;
    presented_ = controller;
    controller->presenter_ = weak_from_this();
    controller->view();
    record({UIViewControllerEvent::Kind::present, controller, weak_from_this(), animated});
    if (completion) completion();
    return true;
}

bool UIViewController::dismiss(bool animated, const std::function<void()>& completion) {
    const auto self = shared_from_this();
    const auto presenter = presented_ ? self : presenter_.lock();
    if (!presenter) return false;
    std::vector<std::shared_ptr<UIViewController>> dismissed;
    presenter->dismissPresented(animated, dismissed);
    if (completion) completion();
    // A controller often dismisses itself and goes on running: what was dismissed is released
    // on a later turn of the main run loop, not under the caller's feet.
    DispatchQueue::main()->async([dismissed = std::move(dismissed)] {});
    return true;
}

void UIViewController::dismissPresented(bool animated, std::vector<std::shared_ptr<UIViewController>>& dismissed) {
    auto presented = std::move(presented_);
    presented_.reset();
    if (presented->presented_) presented->dismissPresented(animated, dismissed);
    presented->presenter_.reset();
    record({UIViewControllerEvent::Kind::dismiss, presented, weak_from_this(), animated});
    dismissed.push_back(std::move(presented));
}

}  // namespace qor::platform
