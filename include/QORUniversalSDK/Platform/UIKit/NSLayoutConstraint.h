#pragma once

#include <memory>
#include <vector>

#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor::platform {

class UIView;

enum class NSLayoutAttribute {
    notAnAttribute = 0,
    left = 1,
    right = 2,
    top = 3,
    bottom = 4,
    leading = 5,
    trailing = 6,
    width = 7,
    height = 8,
    centerX = 9,
    centerY = 10,
};

enum class NSLayoutRelation { lessThanOrEqual = -1, equal = 0, greaterThanOrEqual = 1 };

// A layout rule kept as a record: "first.attribute relation second.attribute * multiplier +
// constant". Nothing solves the rules; a view's frame changes only when set. The items are
// held weakly, so a rule never keeps a view alive.
//
// An active rule is installed on the nearest common ancestor of its items (the item itself
// when there is only one) and is listed in that view's constraints(). Activating an active
// rule, or deactivating an inactive one, changes nothing. Main thread only.
class QOR_EXPORT NSLayoutConstraint : public std::enable_shared_from_this<NSLayoutConstraint> {
public:
    NSLayoutConstraint(const std::shared_ptr<UIView>& firstItem, NSLayoutAttribute firstAttribute,
                       NSLayoutRelation relation, const std::shared_ptr<UIView>& secondItem,
                       NSLayoutAttribute secondAttribute, double multiplier, double constant);
    NSLayoutConstraint(const NSLayoutConstraint&) = delete;
    NSLayoutConstraint& operator=(const NSLayoutConstraint&) = delete;

    // Activates each rule in order. Throws std::invalid_argument, before activating any, when a
    // rule's items are gone or have no common ancestor (they are not in one view tree).
    static void activate(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);
    static void deactivate(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);

    std::shared_ptr<UIView> firstItem() const { return firstItem_.lock(); }
    NSLayoutAttribute firstAttribute() const { return firstAttribute_; }
    NSLayoutRelation relation() const { return relation_; }
    std::shared_ptr<UIView> secondItem() const { return secondItem_.lock(); }
    NSLayoutAttribute secondAttribute() const { return secondAttribute_; }
    double multiplier() const { return multiplier_; }

    double constant() const { return constant_; }
    void setConstant(double constant) { constant_ = constant; }

    bool isActive() const { return !installedOn_.expired(); }
    // The same as activate or deactivate with this rule alone (which must be in a shared_ptr).
    void setActive(bool active);

private:
    // The view an active rule is installed on; nullptr when the items have no common ancestor.
    std::shared_ptr<UIView> installationView() const;

    std::weak_ptr<UIView> firstItem_;
    NSLayoutAttribute firstAttribute_;
    NSLayoutRelation relation_;
    std::weak_ptr<UIView> secondItem_;
    bool hasSecondItem_;
    NSLayoutAttribute secondAttribute_;
    double multiplier_;
    double constant_;
    std::weak_ptr<UIView> installedOn_;
};

// The axis an anchor belongs to; only anchors of one axis can be related.
struct NSLayoutXAxis {};
struct NSLayoutYAxis {};
struct NSLayoutDimensionAxis {};

// One attribute of one view, from which rules are made (view->topAnchor(), ...).
template <class Axis>
class NSLayoutAnchor {
public:
    NSLayoutAnchor(std::weak_ptr<UIView> item, NSLayoutAttribute attribute)
        : item_(std::move(item)), attribute_(attribute) {}

    // An inactive rule "this = other + constant".
    std::shared_ptr<NSLayoutConstraint> constraintEqualTo(const NSLayoutAnchor& other, double constant = 0) const {
        return std::make_shared<NSLayoutConstraint>(item_.lock(), attribute_, NSLayoutRelation::equal,
                                                    other.item_.lock(), other.attribute_, 1.0, constant);
    }

protected:
    std::weak_ptr<UIView> item_;
    NSLayoutAttribute attribute_;
};

using NSLayoutXAxisAnchor = NSLayoutAnchor<NSLayoutXAxis>;
using NSLayoutYAxisAnchor = NSLayoutAnchor<NSLayoutYAxis>;

// A width or a height, which can also equal a constant.
class NSLayoutDimension : public NSLayoutAnchor<NSLayoutDimensionAxis> {
public:
    using NSLayoutAnchor::NSLayoutAnchor;

    // An inactive rule "this = constant".
    std::shared_ptr<NSLayoutConstraint> constraintEqualToConstant(double constant) const {
        return std::make_shared<NSLayoutConstraint>(item_.lock(), attribute_, NSLayoutRelation::equal, nullptr,
                                                    NSLayoutAttribute::notAnAttribute, 1.0, constant);
    }
};

}  // namespace qor::platform
