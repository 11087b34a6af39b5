#pragma once

#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include <QORUniversalSDK/Platform/Support/Export.h>
#include <QORUniversalSDK/Platform/UIKit/TargetAction.h>
#include <QORUniversalSDK/Platform/UIKit/UIImage.h>
#include <QORUniversalSDK/Platform/UIKit/UIView.h>

namespace qor::platform {

enum class UIControlEvents : unsigned { touchUpInside = 1U << 6 };

enum class UIControlState : unsigned { normal = 0, highlighted = 1, disabled = 2, selected = 4 };

// A view that sends actions to targets when the user works it. Main thread only; actions run
// on the thread that taps or sends.
class QOR_EXPORT UIControl : public UIView {
public:
    using UIView::UIView;

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }

    // The target is held weakly.
    template <class Target>
    void addTarget(const std::shared_ptr<Target>& target, void (Target::*action)(), UIControlEvents events) {
        addAction(targetAction(target, action), events);
    }
    void addAction(std::function<void()> action, UIControlEvents events) {
        actions_.emplace_back(events, std::move(action));
    }

    // Runs the actions added for the events, in the order added.
    void sendActions(UIControlEvents events);

    // When the touch lands on this control (see UIView::tap), sends the touch-up-inside actions
    // if the control is enabled; a touch that does not land here goes where UIView::tap sends it.
    bool tap() override;

private:
    bool enabled_ = true;
    std::vector<std::pair<UIControlEvents, std::function<void()>>> actions_;
};

enum class UIButtonType { custom = 0, system = 1 };

class QOR_EXPORT UIButton : public UIControl {
public:
    explicit UIButton(UIButtonType type = UIButtonType::custom, CGRect frame = {}) : UIControl(frame), type_(type) {}

    UIButtonType buttonType() const { return type_; }

    void setImage(std::shared_ptr<UIImage> image, UIControlState state) { images_[state] = std::move(image); }
    // The image for the state, else the one for the normal state.
    std::shared_ptr<UIImage> image(UIControlState state) const;

private:
    UIButtonType type_;
    std::map<UIControlState, std::shared_ptr<UIImage>> images_;
};

}  // namespace qor::platform
