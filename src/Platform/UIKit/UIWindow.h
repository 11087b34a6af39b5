#pragma once

#include <memory>

#include "Platform/UIKit/UIView.h"
#include "Platform/UIKit/UIViewController.h"

namespace qor::platform {

// The top of an app's view tree, where the host sets its root view controller. Main thread only.
class UIWindow : public UIView {
public:
    // A window the size of the main screen.
    UIWindow();
    explicit UIWindow(CGRect frame) : UIView(frame) {}

    std::shared_ptr<UIViewController> rootViewController() const { return root_; }
    // The controller's view fills the window, in place of the previous root's view.
    void setRootViewController(std::shared_ptr<UIViewController> controller);

    // Shows the window and makes it the key window.
    void makeKeyAndVisible();
    bool isKeyWindow() const;
    // The window last made key, while it exists; nullptr otherwise.
    static std::shared_ptr<UIWindow> keyWindow();

private:
    std::shared_ptr<UIViewController> root_;
};

}  // namespace qor::platform
