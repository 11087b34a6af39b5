#include "Platform/UIKit/UIView.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

#include "Platform/UIKit/UIKitObservation.h"
#include "Platform/UIKit/UITapGestureRecognizer.h"

namespace qor::platform {

constinit ObserverHook<UIViewAnimationRecord> observation::animations;

namespace {

constexpr double minimumTouchableAlpha = 0.01;

}  // namespace

UIView::UIView(CGRect frame) : frame_(frame) {}

UIView::~UIView() = default;

void UIView::setFrame(CGRect frame) {
    const CGSize oldSize = frame_.size;
    frame_ = frame;
    if (oldSize != frame.size) resizeSubviews(oldSize);
}

void UIView::resizeSubviews(CGSize oldSize) {
    const double widthChange = frame_.size.width - oldSize.width;
    const double heightChange = frame_.size.height - oldSize.height;
    for (const auto& subview : subviews_) {
        CGRect frame = subview->frame();
        if (subview->autoresizingMask_ & UIViewAutoresizing::flexibleWidth) frame.size.width += widthChange;
        if (subview->autoresizingMask_ & UIViewAutoresizing::flexibleHeight) frame.size.height += heightChange;
        subview->setFrame(frame);
    }
}

void UIView::addSubview(const std::shared_ptr<UIView>& view) {
    if (!view) throw std::invalid_argument("UIView::addSubview: no view to add");
    if (isDescendant(*view)) throw std::invalid_argument("UIView::addSubview: a view cannot contain itself");
    const auto keepAlive = view;
    view->removeFromSuperview();
    subviews_.push_back(view);
    view->superview_ = weak_from_this();
}

void UIView::bringSubviewToFront(const std::shared_ptr<UIView>& view) {
    const auto found = std::find(subviews_.begin(), subviews_.end(), view);
    if (found == subviews_.end()) return;
    std::rotate(found, found + 1, subviews_.end());
}

void UIView::removeFromSuperview() {
    const auto superview = superview_.lock();
    superview_.reset();
    if (!superview) return;
    auto& siblings = superview->subviews_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), shared_from_this()), siblings.end());
}

bool UIView::isDescendant(const UIView& view) const {
    if (this == &view) return true;
    const auto superview = superview_.lock();
    return superview && superview->isDescendant(view);
}

void UIView::addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer) {
    if (!recognizer) return;
    if (const auto previous = recognizer->view()) previous->removeGestureRecognizer(recognizer);
    recognizers_.push_back(recognizer);
    recognizer->view_ = weak_from_this();
}

void UIView::removeGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer) {
    const auto found = std::find(recognizers_.begin(), recognizers_.end(), recognizer);
    if (found == recognizers_.end()) return;
    (*found)->view_.reset();
    recognizers_.erase(found);
}

bool UIView::takesTouches() const { return userInteractionEnabled_ && !hidden_ && alpha_ >= minimumTouchableAlpha; }

bool UIView::takesTouchesThroughAncestors() const {
    if (!takesTouches()) return false;
    const auto superview = superview_.lock();
    return !superview || superview->takesTouchesThroughAncestors();
}

bool UIView::tap() {
    auto hit = shared_from_this();
    while (hit && !hit->takesTouchesThroughAncestors()) hit = hit->superview();
    for (auto view = hit; view; view = view->superview()) {
        std::vector<std::shared_ptr<UIGestureRecognizer>> enabled;
        std::copy_if(view->recognizers_.begin(), view->recognizers_.end(), std::back_inserter(enabled),
                     [](const auto& recognizer) { return recognizer->isEnabled(); });
        if (enabled.empty()) continue;
        for (const auto& recognizer : enabled) recognizer->fire();
        return true;
    }
    return false;
}

CGSize UIView::intrinsicContentSize() const { return CGSize{-1, -1}; }

void UIView::layoutIfNeeded() {
    if (needsLayout_) {
        needsLayout_ = false;
        layoutSubviews();
    }
    const auto subviews = subviews_;
    for (const auto& subview : subviews) subview->layoutIfNeeded();
}

void UIView::install(std::shared_ptr<NSLayoutConstraint> constraint) { constraints_.push_back(std::move(constraint)); }

void UIView::uninstall(const NSLayoutConstraint* constraint) {
    std::erase_if(constraints_, [constraint](const auto& installed) { return installed.get() == constraint; });
}

void UIView::animate(double duration, const std::function<void()>& animations,
                     const std::function<void(bool)>& completion) {
    animate(duration, 0, 0, animations, completion);
}

void UIView::animate(double duration, double delay, UIViewAnimationOptions options,
                     const std::function<void()>& animations, const std::function<void(bool)>& completion) {
    observation::animations.notify(UIViewAnimationRecord{duration, delay, options});
    if (animations) animations();
    if (completion) completion(true);
}

}  // namespace qor::platform
