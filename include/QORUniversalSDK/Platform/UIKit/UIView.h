#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QORUniversalSDK/Platform/Support/Export.h>
#include <QORUniversalSDK/Platform/UIKit/CALayer.h>
#include <QORUniversalSDK/Platform/UIKit/CGGeometry.h>
#include <QORUniversalSDK/Platform/UIKit/NSLayoutConstraint.h>
#include <QORUniversalSDK/Platform/UIKit/UIColor.h>

namespace qor::platform {

class UIGestureRecognizer;

// The bits of UIView::autoresizingMask that resizing a superview honours.
namespace UIViewAutoresizing {
inline constexpr unsigned none = 0;
inline constexpr unsigned flexibleWidth = 1U << 1;
inline constexpr unsigned flexibleHeight = 1U << 4;
}  // namespace UIViewAutoresizing

using UIViewAnimationOptions = unsigned;

// A view without drawing: a rectangle in its superview with subviews, appearance values,
// gesture recognisers and layout rules, all kept for whoever reads them.
//
// Views live in std::shared_ptr: a superview holds its subviews, a subview knows its superview
// weakly, so releasing the top of a tree releases the tree. Views are UI objects: make, change
// and read them on the main thread only (see Thread.h); nothing here takes a lock.
class QOR_EXPORT UIView : public std::enable_shared_from_this<UIView> {
public:
    explicit UIView(CGRect frame = {});
    virtual ~UIView();
    UIView(const UIView&) = delete;
    UIView& operator=(const UIView&) = delete;

    // MARK: Geometry

    CGRect frame() const { return frame_; }
    // A new size resizes the subviews whose autoresizing mask is flexible in that direction by
    // the same amount.
    void setFrame(CGRect frame);
    // The view's own space: origin 0,0 and the frame's size.
    CGRect bounds() const { return CGRect{CGPoint{}, frame_.size}; }
    unsigned autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(unsigned mask) { autoresizingMask_ = mask; }
    bool translatesAutoresizingMaskIntoConstraints() const { return translatesAutoresizingMask_; }
    void setTranslatesAutoresizingMaskIntoConstraints(bool translates) { translatesAutoresizingMask_ = translates; }

    // MARK: Hierarchy

    std::shared_ptr<UIView> superview() const { return superview_.lock(); }
    // Back to front.
    const std::vector<std::shared_ptr<UIView>>& subviews() const { return subviews_; }
    // Puts the view in front of the other subviews, taking it from its old superview first.
    // Throws std::invalid_argument for nullptr, this view or one of its ancestors.
    void addSubview(const std::shared_ptr<UIView>& view);
    // Does nothing when the view is not a subview of this one.
    void bringSubviewToFront(const std::shared_ptr<UIView>& view);
    void removeFromSuperview();
    // True for the view itself and for every view below it.
    bool isDescendant(const UIView& view) const;

    // MARK: Appearance

    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden) { hidden_ = hidden; }
    double alpha() const { return alpha_; }
    void setAlpha(double alpha) { alpha_ = alpha; }
    std::optional<UIColor> backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(std::optional<UIColor> color) { backgroundColor_ = color; }
    std::optional<UIColor> tintColor() const { return tintColor_; }
    void setTintColor(std::optional<UIColor> color) { tintColor_ = color; }
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool opaque) { opaque_ = opaque; }
    CALayer& layer() { return layer_; }
    const CALayer& layer() const { return layer_; }

    // MARK: Touches

    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }
    // The recogniser's view becomes this one (it leaves the view it was on).
    void addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer);
    void removeGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer);
    const std::vector<std::shared_ptr<UIGestureRecognizer>>& gestureRecognizers() const { return recognizers_; }

    // A touch on this view, as a host or a test gives one. It lands on the nearest of this view
    // and its ancestors that is not hidden, has an alpha of 0.01 or more and takes user
    // interaction, with every ancestor of it doing the same (a label, which takes none, passes
    // the touch to its superview). There, the enabled recognisers of the nearest view that has
    // any (the one hit or an ancestor) all fire, in the order they were added. Returns whether
    // any action ran. Actions run on the calling (main) thread.
    virtual bool tap();

    // MARK: Layout

    // The size the content wants; -1 (UIViewNoIntrinsicMetric) in a direction without one.
    virtual CGSize intrinsicContentSize() const;
    void invalidateIntrinsicContentSize() { ++intrinsicContentSizeInvalidations_; }
    // How often invalidateIntrinsicContentSize() was called.
    int intrinsicContentSizeInvalidations() const { return intrinsicContentSizeInvalidations_; }
    void setNeedsLayout() { needsLayout_ = true; }
    // Runs layoutSubviews() when a layout is pending, here and then in the subviews.
    void layoutIfNeeded();
    bool needsLayout() const { return needsLayout_; }
    virtual void prepareForInterfaceBuilder() {}

    // The active rules installed on this view (see NSLayoutConstraint).
    const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints() const { return constraints_; }
    NSLayoutXAxisAnchor leadingAnchor() { return {weak_from_this(), NSLayoutAttribute::leading}; }
    NSLayoutXAxisAnchor trailingAnchor() { return {weak_from_this(), NSLayoutAttribute::trailing}; }
    NSLayoutXAxisAnchor centerXAnchor() { return {weak_from_this(), NSLayoutAttribute::centerX}; }
    NSLayoutYAxisAnchor topAnchor() { return {weak_from_this(), NSLayoutAttribute::top}; }
    NSLayoutYAxisAnchor bottomAnchor() { return {weak_from_this(), NSLayoutAttribute::bottom}; }
    NSLayoutYAxisAnchor centerYAnchor() { return {weak_from_this(), NSLayoutAttribute::centerY}; }
    NSLayoutDimension widthAnchor() { return {weak_from_this(), NSLayoutAttribute::width}; }
    NSLayoutDimension heightAnchor() { return {weak_from_this(), NSLayoutAttribute::height}; }

    // MARK: Animation

    // Nothing moves on screen here: the animations block sets its final values at once, then
    // the completion runs with true, both before animate returns.
    static void animate(double duration, const std::function<void()>& animations,
                        const std::function<void(bool)>& completion = {});
    static void animate(double duration, double delay, UIViewAnimationOptions options,
                        const std::function<void()>& animations, const std::function<void(bool)>& completion);

protected:
    // Called by layoutIfNeeded when a layout is pending; lays out nothing by default.
    virtual void layoutSubviews() {}
    // Whether a touch on this view lands here: this view and its ancestors all take touches.
    bool takesTouchesThroughAncestors() const;

private:
    friend class NSLayoutConstraint;

    bool takesTouches() const;
    void resizeSubviews(CGSize oldSize);
    void install(std::shared_ptr<NSLayoutConstraint> constraint);
    void uninstall(const NSLayoutConstraint* constraint);

    CGRect frame_;
    unsigned autoresizingMask_ = UIViewAutoresizing::none;
    bool translatesAutoresizingMask_ = true;
    std::weak_ptr<UIView> superview_;
    std::vector<std::shared_ptr<UIView>> subviews_;
    bool hidden_ = false;
    double alpha_ = 1.0;
    std::optional<UIColor> backgroundColor_;
    std::optional<UIColor> tintColor_;
    bool opaque_ = true;
    CALayer layer_;
    bool userInteractionEnabled_ = true;
    std::vector<std::shared_ptr<UIGestureRecognizer>> recognizers_;
    int intrinsicContentSizeInvalidations_ = 0;
    bool needsLayout_ = false;
    std::vector<std::shared_ptr<NSLayoutConstraint>> constraints_;
};

}  // namespace qor::platform
