#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QORUniversalSDK/Platform/Support/Export.h>
#include <QORUniversalSDK/Platform/UIKit/UIView.h>

namespace qor::platform {

class UIViewController;

enum class UIModalPresentationStyle { automatic = -2, fullScreen = 0, pageSheet = 1, overFullScreen = 5 };

// Manages one view and presents other controllers over it. Nothing is shown on a screen: a
// presentation links the two controllers and loads the presented one's view.
// Controllers live in std::shared_ptr; a presenter holds what it presents, which knows its
// presenter weakly. Main thread only; completions run on it before present or dismiss returns.
class QOR_EXPORT UIViewController : public std::enable_shared_from_this<UIViewController> {
public:
    UIViewController() = default;
    virtual ~UIViewController();
    UIViewController(const UIViewController&) = delete;
    UIViewController& operator=(const UIViewController&) = delete;

    // The view; the first call makes it with loadView() and then runs viewDidLoad().
    std::shared_ptr<UIView> view();
    bool isViewLoaded() const { return view_ != nullptr; }
    virtual void viewDidLoad() {}

    UIModalPresentationStyle modalPresentationStyle() const { return presentationStyle_; }
    void setModalPresentationStyle(UIModalPresentationStyle style) { presentationStyle_ = style; }

    // Presents the controller over this one: loads its view (viewDidLoad), then runs the
    // completion. Does nothing and returns false when this
    // controller already presents one, or the controller is already presented. Throws
    // std::invalid_argument for nullptr or this controller itself.
    bool present(const std::shared_ptr<UIViewController>& controller, bool animated,
                 const std::function<void()>& completion = {});
    // Dismisses what this controller presents, or else this controller from its presenter
    // (anything presented on top goes first), then runs the completion. Returns
    // false, without running the completion, when there is nothing to dismiss. The dismissed
    // controllers are released on a later turn of the main run loop.
    bool dismiss(bool animated, const std::function<void()>& completion = {});
    std::shared_ptr<UIViewController> presentedViewController() const { return presented_; }
    std::shared_ptr<UIViewController> presentingViewController() const { return presenter_.lock(); }

protected:
    // Makes the view: a plain view the size of the main screen. An override sets its own with
    // setView().
    virtual void loadView();
    void setView(std::shared_ptr<UIView> view) { view_ = std::move(view); }

private:
    void dismissPresented(bool animated, std::vector<std::shared_ptr<UIViewController>>& dismissed);

    std::shared_ptr<UIView> view_;
    UIModalPresentationStyle presentationStyle_ = UIModalPresentationStyle::automatic;
    std::shared_ptr<UIViewController> presented_;
    std::weak_ptr<UIViewController> presenter_;
};

}  // namespace qor::platform
