#pragma once

#include <optional>

#include <QORUniversalSDK/Platform/Support/Export.h>
#include <QORUniversalSDK/Platform/UIKit/UIColor.h>
#include <QORUniversalSDK/Platform/UIKit/UIView.h>

namespace qor::platform {

// A spinner that shows that work is going on. While hidesWhenStopped is set (the default),
// starting shows the view and stopping hides it. Main thread only.
class QOR_EXPORT UIActivityIndicatorView : public UIView {
public:
    explicit UIActivityIndicatorView(CGRect frame = {}) : UIView(frame) { setHidden(true); }

    bool isAnimating() const { return animating_; }
    void startAnimating() {
        animating_ = true;
        if (hidesWhenStopped_) setHidden(false);
    }
    void stopAnimating() {
        animating_ = false;
        if (hidesWhenStopped_) setHidden(true);
    }
    bool hidesWhenStopped() const { return hidesWhenStopped_; }
    // A stopped spinner shows or hides at once to match.
    void setHidesWhenStopped(bool hides) {
        hidesWhenStopped_ = hides;
        if (!animating_) setHidden(hides);
    }
    std::optional<UIColor> color() const { return color_; }
    void setColor(std::optional<UIColor> color) { color_ = color; }

private:
    bool animating_ = false;
    bool hidesWhenStopped_ = true;
    std::optional<UIColor> color_;
};

}  // namespace qor::platform
