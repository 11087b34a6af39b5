#include "Platform/UIKit/UIWindow.h"

#include "Platform/UIKit/UIScreen.h"

namespace qor::platform {

namespace {

// Main thread only, as every window.
std::weak_ptr<UIWindow>& keyWindowSlot() {
    static auto* slot = new std::weak_ptr<UIWindow>;
    return *slot;
}

}  // namespace

UIWindow::UIWindow() : UIView(UIScreen::main()->bounds()) {}

void UIWindow::setRootViewController(std::shared_ptr<UIViewController> controller) {
    if (root_ && root_->isViewLoaded() && root_->view()->superview().get() == this)
        root_->view()->removeFromSuperview();
    root_ = std::move(controller);
    if (!root_) return;
    const auto view = root_->view();
    view->setFrame(bounds());
    addSubview(view);
}

void UIWindow::makeKeyAndVisible() {
    setHidden(false);
    keyWindowSlot() = std::static_pointer_cast<UIWindow>(shared_from_this());
}

bool UIWindow::isKeyWindow() const { return keyWindowSlot().lock().get() == this; }

std::shared_ptr<UIWindow> UIWindow::keyWindow() { return keyWindowSlot().lock(); }

}  // namespace qor::platform
