#pragma once

#include <QORUniversalSDK/Platform/Support/Export.h>
#include <QORUniversalSDK/Platform/UIKit/UIView.h>

namespace qor::platform {

enum class UIScrollViewContentInsetAdjustmentBehavior { automatic = 0, scrollableAxes = 1, never = 2, always = 3 };

// A view whose content can scroll; here it keeps its settings only. Main thread only.
class QOR_EXPORT UIScrollView : public UIView {
public:
    using UIView::UIView;

    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool enabled) { scrollEnabled_ = enabled; }
    UIScrollViewContentInsetAdjustmentBehavior contentInsetAdjustmentBehavior() const { return insetBehavior_; }
    void setContentInsetAdjustmentBehavior(UIScrollViewContentInsetAdjustmentBehavior behavior) {
        insetBehavior_ = behavior;
    }

private:
    bool scrollEnabled_ = true;
    UIScrollViewContentInsetAdjustmentBehavior insetBehavior_ = UIScrollViewContentInsetAdjustmentBehavior::automatic;
};

}  // namespace qor::platform
