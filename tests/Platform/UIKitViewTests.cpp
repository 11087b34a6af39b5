#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "Platform/Support/DeviceProfile.h"
#include "Platform/UIKit/UIActivityIndicatorView.h"
#include "Platform/UIKit/UIButton.h"
#include "Platform/UIKit/UILabel.h"
#include "Platform/UIKit/UIScreen.h"
#include "Platform/UIKit/UITapGestureRecognizer.h"
#include "Platform/UIKit/UIView.h"
#include "Platform/UIKit/UIViewController.h"
#include "Platform/UIKit/UIWindow.h"
#include "testing/MainLoopPump.h"
#include "testing/UIProbes.h"

namespace qor::platform {
namespace {

// A view that counts its layouts and reports its own taps, as an app's view would.
class CountingView : public UIView {
public:
    using UIView::UIView;
    void onTapped() { taps.push_back("view"); }
    std::vector<std::string> taps;
    int layouts = 0;

protected:
    void layoutSubviews() override { ++layouts; }
};

TEST(UIView, TreeKeepsOrderMovesViewsAndReleasesWhatItDrops) {
    const auto root = std::make_shared<UIView>(CGRect{{0, 0}, {300, 200}});
    const auto other = std::make_shared<UIView>();
    auto a = std::make_shared<UIView>();
    const auto b = std::make_shared<UIView>();
    const auto child = std::make_shared<UIView>();
    root->addSubview(a);
    root->addSubview(b);
    a->addSubview(child);
    EXPECT_EQ(root->subviews(), (std::vector<std::shared_ptr<UIView>>{a, b}));
    EXPECT_EQ(child->superview(), a);
    EXPECT_TRUE(child->isDescendant(*root));
    EXPECT_FALSE(root->isDescendant(*child));

    root->bringSubviewToFront(a);
    EXPECT_EQ(root->subviews().back(), a);
    root->addSubview(b);  // adding again brings it to the front
    EXPECT_EQ(root->subviews(), (std::vector<std::shared_ptr<UIView>>{a, b}));

    other->addSubview(child);  // moves: leaves its old superview
    EXPECT_TRUE(a->subviews().empty());
    EXPECT_EQ(child->superview(), other);

    EXPECT_THROW(a->addSubview(a), std::invalid_argument);
    EXPECT_THROW(child->addSubview(other), std::invalid_argument);
    EXPECT_THROW(a->addSubview(nullptr), std::invalid_argument);

    // The superview holds its subviews; a subview does not hold its superview.
    const std::weak_ptr<UIView> weakA = a;
    a->addSubview(std::make_shared<UIView>());
    const std::weak_ptr<UIView> grandchild = a->subviews().front();
    a.reset();
    EXPECT_FALSE(weakA.expired());
    root->subviews().front()->removeFromSuperview();
    EXPECT_TRUE(weakA.expired());
    EXPECT_TRUE(grandchild.expired());
    EXPECT_EQ(root->subviews().size(), 1u);
}

TEST(UIView, ResizingHonoursFlexibleWidthOnlyWhereAsked) {
    const auto parent = std::make_shared<UIView>(CGRect{{0, 0}, {320, 100}});
    const auto flexible = std::make_shared<UIView>(CGRect{{10, 10}, {300, 80}});
    const auto fixed = std::make_shared<UIView>(CGRect{{0, 0}, {50, 50}});
    flexible->setAutoresizingMask(UIViewAutoresizing::flexibleWidth);
    parent->addSubview(flexible);
    parent->addSubview(fixed);
    parent->setFrame(CGRect{{5, 5}, {400, 300}});
    EXPECT_EQ(parent->bounds(), (CGRect{{0, 0}, {400, 300}}));
    EXPECT_EQ(flexible->frame(), (CGRect{{10, 10}, {380, 80}}));
    EXPECT_EQ(fixed->frame(), (CGRect{{0, 0}, {50, 50}}));
}

TEST(UIView, TapsReachTheNearestRecognisersThatTouchesCanReach) {
    const auto card = std::make_shared<CountingView>();
    const auto label = std::make_shared<UILabel>();
    card->addSubview(label);
    std::vector<std::string> taps;
    const auto recognizer = std::make_shared<UITapGestureRecognizer>(card, &CountingView::onTapped);
    card->addGestureRecognizer(recognizer);
    auto second = std::make_shared<UITapGestureRecognizer>();
    second->addAction([&] { taps.push_back("second"); });
    card->addGestureRecognizer(second);

    EXPECT_TRUE(label->tap());  // a label takes no touches: the card beneath gets it, both recognisers fire
    EXPECT_EQ(card->taps.size(), 1u);
    EXPECT_EQ(taps.size(), 1u);

    second->setEnabled(false);
    EXPECT_TRUE(card->tap());
    EXPECT_EQ(card->taps.size(), 2u);
    EXPECT_EQ(taps.size(), 1u);

    for (const auto& hide :
         std::vector<std::function<void()>>{[&] { card->setHidden(true); }, [&] { card->setAlpha(0); },
                                            [&] { card->setUserInteractionEnabled(false); }}) {
        hide();
        EXPECT_FALSE(label->tap());
        card->setHidden(false);
        card->setAlpha(1);
        card->setUserInteractionEnabled(true);
    }
    EXPECT_FALSE(std::make_shared<UIView>()->tap());  // no recogniser anywhere

    card->removeGestureRecognizer(recognizer);
    EXPECT_EQ(recognizer->view(), nullptr);
    EXPECT_FALSE(recognizer->fire());
    EXPECT_EQ(card->taps.size(), 2u);
}

TEST(UIButton, TapSendsItsActionsOnlyWhenReachableAndTheTargetIsHeldWeakly) {
    const auto container = std::make_shared<UIView>();
    const auto button = std::make_shared<UIButton>(UIButtonType::custom);
    container->addSubview(button);
    auto target = std::make_shared<CountingView>();
    button->addTarget(target, &CountingView::onTapped, UIControlEvents::touchUpInside);
    int closures = 0;
    button->addAction([&] { ++closures; }, UIControlEvents::touchUpInside);

    button->setHidden(true);
    EXPECT_FALSE(button->tap());
    button->setHidden(false);
    button->setAlpha(0);
    EXPECT_FALSE(button->tap());
    button->setAlpha(1);
    button->setEnabled(false);
    EXPECT_FALSE(button->tap());
    button->setEnabled(true);
    EXPECT_TRUE(button->tap());
    EXPECT_EQ(target->taps.size(), 1u);
    EXPECT_EQ(closures, 1);

    const std::weak_ptr<CountingView> weakTarget = target;
    target.reset();
    EXPECT_TRUE(weakTarget.expired());
    EXPECT_TRUE(button->tap());
    EXPECT_EQ(closures, 2);

    const auto image = std::make_shared<UIImage>(CGSize{50, 50});
    button->setImage(image, UIControlState::normal);
    EXPECT_EQ(button->image(UIControlState::highlighted), image);
}

TEST(UIView, ConstraintsAreRecordsInstalledOnceOnTheCommonAncestor) {
    const auto view = std::make_shared<UIView>();
    const auto web = std::make_shared<UIView>();
    const auto button = std::make_shared<UIButton>();
    view->addSubview(web);
    web->addSubview(button);

    const auto top = button->topAnchor().constraintEqualTo(web->topAnchor(), -5);
    const auto width = button->widthAnchor().constraintEqualToConstant(50);
    const auto centre = web->centerXAnchor().constraintEqualTo(view->centerXAnchor());
    EXPECT_FALSE(top->isActive());
    NSLayoutConstraint::activate({top, width, centre});
    NSLayoutConstraint::activate({top, width, centre});  // again: nothing changes
    EXPECT_EQ(web->constraints(), (std::vector<std::shared_ptr<NSLayoutConstraint>>{top}));
    EXPECT_EQ(button->constraints(), (std::vector<std::shared_ptr<NSLayoutConstraint>>{width}));
    EXPECT_EQ(view->constraints(), (std::vector<std::shared_ptr<NSLayoutConstraint>>{centre}));
    EXPECT_EQ(top->firstItem(), button);
    EXPECT_EQ(top->secondAttribute(), NSLayoutAttribute::top);
    EXPECT_EQ(top->constant(), -5);
    EXPECT_EQ(width->secondItem(), nullptr);

    top->setConstant(762);
    EXPECT_EQ(web->constraints().front()->constant(), 762);
    top->setActive(false);
    EXPECT_TRUE(web->constraints().empty());

    auto stranger = std::make_shared<UIView>();
    const auto apart = stranger->leadingAnchor().constraintEqualTo(view->leadingAnchor());
    EXPECT_THROW(NSLayoutConstraint::activate({top, apart}), std::invalid_argument);
    EXPECT_FALSE(top->isActive());  // nothing of a refused batch is activated

    // Rules hold their views weakly.
    const std::weak_ptr<UIView> weakStranger = stranger;
    stranger.reset();
    EXPECT_TRUE(weakStranger.expired());
    EXPECT_EQ(apart->firstItem(), nullptr);
}

TEST(UIView, AnimationsApplyAtOnceRunTheirCompletionAndAreRecorded) {
    qor::testing::clearRecordedAnimations();
    const auto view = std::make_shared<CountingView>();
    const auto constraint = view->heightAnchor().constraintEqualToConstant(100);
    view->setAlpha(0);
    std::vector<std::string> steps;
    UIView::animate(
        0.3, 0, 0,
        [&] {
            constraint->setConstant(728);
            view->layoutIfNeeded();
            view->setNeedsLayout();
            steps.push_back("animations");
        },
        [&](bool finished) {
            steps.push_back(finished ? "finished" : "cut");
            UIView::animate(0.1, [&] { view->setAlpha(1); });
        });
    steps.push_back("returned");
    EXPECT_EQ(steps, (std::vector<std::string>{"animations", "finished", "returned"}));
    EXPECT_EQ(constraint->constant(), 728);
    EXPECT_EQ(view->alpha(), 1);
    EXPECT_TRUE(view->needsLayout());
    view->layoutIfNeeded();
    EXPECT_EQ(view->layouts, 1);
    const auto records = qor::testing::recordedAnimations();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].duration, 0.3);
    EXPECT_EQ(records[1].duration, 0.1);
}

TEST(UIActivityIndicatorView, ShowsWhileAnimating) {
    UIActivityIndicatorView indicator;
    EXPECT_TRUE(indicator.isHidden());
    indicator.startAnimating();
    EXPECT_FALSE(indicator.isHidden());
    EXPECT_TRUE(indicator.isAnimating());
    indicator.stopAnimating();
    EXPECT_TRUE(indicator.isHidden());
    indicator.setHidesWhenStopped(false);
    indicator.startAnimating();
    indicator.stopAnimating();
    EXPECT_FALSE(indicator.isHidden());
}

// A controller that records its viewDidLoad and dismisses itself from inside an action.
class FullScreenController : public UIViewController {
public:
    void viewDidLoad() override {
        view()->setBackgroundColor(UIColor::clear());
        loadedWithSize = view()->bounds().size;
    }
    void closeFromInside() {
        dismiss(false);
        closedAfterDismissal = presentingViewController() == nullptr;  // still alive here
    }
    CGSize loadedWithSize;
    bool closedAfterDismissal = false;
};

TEST(UIViewController, PresentationsAndDismissalsAreRecordedInOrder) {
    UIScreen::main()->setBoundsSize(CGSize{375, 812});
    qor::testing::clearRecordedControllerEvents();
    const auto window = std::make_shared<UIWindow>();
    const auto root = std::make_shared<UIViewController>();
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    EXPECT_EQ(UIWindow::keyWindow(), window);
    EXPECT_EQ(root->view()->superview(), window);

    auto ad = std::make_shared<FullScreenController>();
    const std::weak_ptr<FullScreenController> weakAd = ad;
    ad->setModalPresentationStyle(UIModalPresentationStyle::fullScreen);
    bool presented = false;
    EXPECT_TRUE(root->present(ad, false, [&] { presented = true; }));
    EXPECT_TRUE(presented);
    EXPECT_EQ(ad->loadedWithSize, (CGSize{375, 812}));
    EXPECT_EQ(root->presentedViewController(), ad);
    EXPECT_FALSE(root->present(std::make_shared<UIViewController>(), false));  // already presenting
    EXPECT_THROW(root->present(root, false), std::invalid_argument);

    ad->closeFromInside();
    EXPECT_TRUE(ad->closedAfterDismissal);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_FALSE(root->dismiss(false));  // nothing left to dismiss

    const auto events = qor::testing::recordedControllerEvents();
    using Kind = UIViewControllerEvent::Kind;
    ASSERT_EQ(events.size(), 4u);  // the root's view, then the ad's
    EXPECT_EQ(events[0].kind, Kind::viewDidLoad);
    EXPECT_EQ(events[0].controller.lock(), root);
    EXPECT_EQ(events[1].kind, Kind::viewDidLoad);
    EXPECT_EQ(events[2].kind, Kind::present);
    EXPECT_EQ(events[2].presenter.lock(), root);
    EXPECT_EQ(events[3].kind, Kind::dismiss);
    EXPECT_EQ(events[3].controller.lock(), ad);

    // The dismissed controller is let go on a later turn of the main run loop.
    ad.reset();
    EXPECT_FALSE(weakAd.expired());
    EXPECT_TRUE(testing::pumpMainUntil([&] { return weakAd.expired(); }));
    resetDeviceProfile();
}

}  // namespace
}  // namespace qor::platform
