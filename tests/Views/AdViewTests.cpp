#include <chrono>
#include <memory>
#include <string>

#include "AdNetwork/AdNetworkApiClient.h"
#include "Platform/Foundation/URLRequest.h"
#include "Views/AdViewMarkup.h"
#include "ViewsTestSupport.h"

namespace qor::viewstest {
namespace {

using platform::Any;
using platform::AnyDictionary;

class AdViewTest : public ViewsTest {
public:
    // A banner view for the unit, in a superview, with a recording delegate.
    std::shared_ptr<AdView> makeView(std::int64_t unit = SimulatedAdNetwork::bannerUnit,
                                     std::optional<AdType> type = AdType::banner) {
        auto view = AdView::make();
        view->setUnitID(unit);
        view->setAdType(type);
        view->setAdSize(AdSize::banner());
        view->setDelegate(delegate);
        superview->addSubview(view);
        return view;
    }

    // Loads and pumps until the delegate heard something.
    void load(const std::shared_ptr<AdView>& view) {
        const auto before = delegate->calls.size();
        view->loadAd(AdRequest());
        EXPECT_TRUE(testing::pumpMainUntil([&] { return delegate->calls.size() > before; }, std::chrono::seconds(10)));
    }

    std::shared_ptr<RecordingAdViewDelegate> delegate = std::make_shared<RecordingAdViewDelegate>();
    std::shared_ptr<platform::UIView> superview = std::make_shared<platform::UIView>();
};

TEST(AdPageTest, PricesAndIdsAreFilledInLiterallyAndOnlyBannersGetAPage) {
    // Plain decimal text from the shortest digits that read back, never an exponent.
    const std::pair<float, std::string> prices[] = {{2.0F, "2.0"},
                                                    {1.25F, "1.25"},
                                                    {0.1F, "0.1"},
                                                    {0.0F, "0.0"},
                                                    {-0.0F, "-0.0"},
                                                    {-3.0F, "-3.0"},
                                                    {100000.0F, "100000.0"},
                                                    {120000.0F, "120000.0"},
                                                    {0.0005F, "0.0005"},
                                                    {-0.00125F, "-0.00125"},
                                                    {123.456F, "123.456"},
                                                    {16777216.0F, "16777216.0"},
                                                    {1e10F, "10000000000.0"},
                                                    {1e-10F, "0.0000000001"},
                                                    {3.4028235e38F, "340282350000000000000000000000000000000.0"},
                                                    {1e-45F, "0.000000000000000000000000000000000000000000001"}};
    for (const auto& [price, text] : prices) EXPECT_EQ(auctionPriceText(price), text);
    // The price goes in first, so an id that looks like the price macro stays as it is.
    EXPECT_EQ(substituteAdMarkup("{{AUCTION_PRICE}}|{{auction_price}}|{{REQUEST_ID}}{{REQUEST_ID}}",
                                 "{{AUCTION_PRICE}}", 1.5F),
              "1.5|{{auction_price}}|{{AUCTION_PRICE}}{{AUCTION_PRICE}}");

    auto view = AdView::make();
    EXPECT_FALSE(view->htmlForAdMarkup("<b>x</b>", "r", 1).has_value());
    for (const auto type : {AdType::video, AdType::nativeAds}) {
        view->setAdType(type);
        EXPECT_FALSE(view->htmlForAdMarkup("<b>x</b>", "r", 1).has_value());
    }
    view->setAdType(AdType::banner);
    EXPECT_EQ(view->htmlForAdMarkup("<b>{{AUCTION_PRICE}}</b>", "r", 1.5F), ViewsTest::page("<b>1.5</b>"));
    view->setAdType(AdType::video);
    view->loadAdIntoWebView("<b>x</b>", 320, "r", 1);
    EXPECT_EQ(testing::loadedHTML(*view->webView()).at(0).html, "");
}

TEST_F(AdViewTest, TheViewsOwnChecksComeFirstInTheirOrder) {
    startWithDefaultContainer();
    auto view = AdView::make();
    view->setDelegate(delegate);
    view->loadAd(AdRequest());  // no type, no size, no unit
    view->setAdType(AdType::banner);
    view->loadAd(AdRequest());  // no size
    view->setAdSize(AdSize::banner());
    view->loadAd(AdRequest());  // unit 0
    ASSERT_EQ(delegate->calls.size(), 3U);
    EXPECT_EQ(delegate->calls[0].text, "Missing Ad Type");
    EXPECT_EQ(delegate->calls[1].text, "Missing Ad Size or Unit ID");
    EXPECT_EQ(delegate->calls[2].text, "Missing Ad Size or Unit ID");

    // The native type passes the view but not the engine, and shows on the label.
    auto native = makeView(SimulatedAdNetwork::bannerUnit, AdType::nativeAds);
    native->loadAd(AdRequest());
    ASSERT_EQ(delegate->calls.size(), 4U);
    EXPECT_EQ(delegate->calls[3].text, "Could not create native via this function");
    EXPECT_EQ(native->labelError()->text(),
              "Failed to load native-ads ad:\nReason: Could not create native via this function");
    EXPECT_FALSE(native->labelError()->isHidden());
    EXPECT_TRUE(testing::loadedHTML(*native->webView()).empty());
}

TEST_F(AdViewTest, AWinningBidIsWrappedLoadedTrackedAndReported) {
    startWithDefaultContainer();
    coreBids(bidSpec(1.5, "<b>{{AUCTION_PRICE}}</b><i>{{REQUEST_ID}}</i>", viewableURL("/banner-view")));
    auto view = makeView();
    view->labelError()->setHidden(false);
    load(view);

    ASSERT_EQ(delegate->calls.size(), 1U);
    EXPECT_EQ(delegate->calls[0].what, "loaded");
    EXPECT_TRUE(delegate->allOnMainThread);
    ASSERT_EQ(testing::loadedHTML(*view->webView()).size(), 1U);
    const auto loaded = testing::loadedHTML(*view->webView()).at(0);
    EXPECT_FALSE(loaded.baseURL.has_value());
    const auto requestId = network().core().receivedBodies().at(0);
    const auto id = nlohmann::json::parse(requestId).at("id").get<std::string>();
    EXPECT_EQ(loaded.html, page("<b>1.5</b><i>" + id + "</i>"));
    EXPECT_TRUE(view->labelError()->isHidden());
    // The banner unit shows no close button.
    EXPECT_TRUE(view->closeButton()->isHidden());

    ASSERT_TRUE(network().waitForTrackerHits(1));
    testing::pumpMainFor(std::chrono::milliseconds(20));
    const auto hits = hitsOn("/banner-view");
    ASSERT_EQ(hits.size(), 1U);
    EXPECT_EQ(hits[0].query, "rid=" + id);

    // The indicator runs while the page loads.
    view->webView()->reportNavigationStarted();
    EXPECT_TRUE(view->indicator()->isAnimating());
    view->webView()->setHidden(true);
    view->webView()->reportNavigationFinished();
    EXPECT_FALSE(view->indicator()->isAnimating());
    EXPECT_TRUE(view->indicator()->isHidden());
    EXPECT_FALSE(view->webView()->isHidden());
}

TEST_F(AdViewTest, MarkupAtAnOpenableURLIsFetchedFirstAndTrackedOnlyOnceShown) {
    startWithDefaultContainer();
    const auto markupURL = network().markupURL("/ad.html", "<p>fetched {{AUCTION_PRICE}}</p>");
    coreBids(bidSpec(2, markupURL, viewableURL("/fetched-view")));
    auto view = makeView();
    load(view);
    ASSERT_EQ(delegate->calls.back().what, "loaded");
    EXPECT_EQ(testing::loadedHTML(*view->webView()).at(0).html, page("<p>fetched 2.0</p>"));
    ASSERT_TRUE(network().waitForTrackerHits(1));
    testing::pumpMainFor(std::chrono::milliseconds(20));
    EXPECT_EQ(hitsOn("/fetched-view").size(), 1U);

    // A failed fetch is a failed load: the label says so and no tracker fires.
    const auto missing = network().markupURL("/gone.html", "gone", 404);
    coreBids(bidSpec(2, missing, viewableURL("/failed-view")));
    load(view);
    ASSERT_EQ(delegate->calls.back().what, "fail");
    EXPECT_EQ(view->labelError()->text(), "Failed to load banner ad:\nReason: " + delegate->calls.back().text);
    EXPECT_EQ(testing::loadedHTML(*view->webView()).size(), 1U);
    testing::pumpMainFor(std::chrono::milliseconds(100));
    EXPECT_TRUE(hitsOn("/failed-view").empty());
}

TEST_F(AdViewTest, FailuresReachTheDelegateAndTheLabelWithoutAPage) {
    startWithDefaultContainer();
    nobodyBids();
    auto view = makeView();
    load(view);
    EXPECT_EQ(delegate->calls.back().text, "No available Ad");
    EXPECT_EQ(view->labelError()->text(), "Failed to load banner ad:\nReason: No available Ad");

    // A video view gets its bid but has no page for it: no tracker either.
    coreBids(bidSpec(1, "<div>v</div>", viewableURL("/video-view")));
    auto video = makeView(SimulatedAdNetwork::videoUnit, AdType::video);
    load(video);
    EXPECT_EQ(delegate->calls.back().text, "Invalid Ad Type for creating AdMarkup");
    EXPECT_TRUE(testing::loadedHTML(*video->webView()).empty());

    // A winning bid without markup fails the load; nothing is loaded or tracked.
    Bid bare("b", "i", 1.0F, std::nullopt, "req");
    bare.ext = Bid::Extension{};
    bare.ext->viewable = viewableURL("/bare-view");
    view->handleLoadResult(Result<Bid>::success(bare), AdSize::banner(), AdType::banner);
    EXPECT_EQ(delegate->calls.back().text, "The winning bid has no ad markup");
    EXPECT_EQ(view->labelError()->text(), "Failed to load banner ad:\nReason: The winning bid has no ad markup");
    EXPECT_TRUE(testing::loadedHTML(*view->webView()).empty());
    testing::pumpMainFor(std::chrono::milliseconds(100));
    EXPECT_TRUE(hitsOn("/video-view").empty());
    EXPECT_TRUE(hitsOn("/bare-view").empty());
    EXPECT_TRUE(delegate->allOnMainThread);
}

TEST_F(AdViewTest, SizesCloseButtonAndAdaptiveSizeFollowTheUnit) {
    auto plan = network().defaultContainer();
    plan.inventories[0].width = 300;
    plan.inventories[0].height = 250;
    plan.inventories[0].metadataExtra = R"({"responsive":true,"ad_close":true,"ad_close_delay":5})";
    startWith(plan);

    auto view = makeView();
    // Until a load reveals it, the close button is there unseen, showing close.png.
    const auto close = view->closeButton();
    EXPECT_TRUE(close->isHidden());
    EXPECT_EQ(close->alpha(), 0.0);
    ASSERT_NE(close->image(platform::UIControlState::normal), nullptr);
    EXPECT_EQ(close->image(platform::UIControlState::normal)->size(), (platform::CGSize{48, 48}));
    view->setAdSize(std::nullopt);
    EXPECT_EQ(view->intrinsicContentSize(), (platform::CGSize{320, 50}));
    EXPECT_EQ(view->constraints().size(), 4U);  // only the indicator's and the label's
    view->setAdSize(AdSize::fullBanner());
    EXPECT_EQ(view->intrinsicContentSize(), (platform::CGSize{375, 48}));
    view->setAdSize(AdSize::mediumRectangle());
    EXPECT_EQ(view->intrinsicContentSize(), (platform::CGSize{300, 250}));
    // The web view and close-button rules are made once, however often the size is read.
    EXPECT_EQ(view->constraints().size(), 8U);
    EXPECT_EQ(view->webView()->constraints().size(), 2U);
    EXPECT_EQ(view->closeButton()->constraints().size(), 2U);

    view->adaptiveSize(320);
    EXPECT_EQ(view->adSize(), AdSize::forCustom(320, 267));
    EXPECT_EQ(view->intrinsicContentSizeInvalidations(), 1);

    coreBids(bidSpec(1, "<div>x</div>"));
    load(view);
    ASSERT_EQ(delegate->calls.back().what, "loaded");
    EXPECT_FALSE(view->closeButton()->isHidden());
    EXPECT_EQ(view->closeButton()->alpha(), 1.0);
    ASSERT_FALSE(testing::recordedAnimations().empty());
    EXPECT_EQ(testing::recordedAnimations().back().duration, 5.0);

    view->closeButton()->tap();
    EXPECT_EQ(delegate->calls.back().what, "close");
    EXPECT_EQ(delegate->calls.back().text, "success");
    EXPECT_EQ(view->superview(), superview);  // the button only tells
}

TEST_F(AdViewTest, TypeAndSizeTextsGoThroughTheirParsers) {
    test::SDKLogCapture log;
    auto view = AdView::make();
    view->setSize("320x50");
    EXPECT_EQ(view->size(), "custom width height");
    view->setSize("320X50");
    EXPECT_EQ(view->adSize(), AdSize::forCustom(320, 50));
    // A printed error is its own textual form: its case and associated values. (Only the view's
    // own lines count: work a test before left running may still log.)
    std::vector<std::string> sizeLines;
    for (const auto& line : log.lines()) {
        if (line.find("Ad size") != std::string::npos) sizeLines.push_back(line);
    }
    EXPECT_EQ(sizeLines, std::vector<std::string>{"[QORSDK] generalError(reason: .coreError(string: \"Invalid Ad size. "
                                                  "It must be widthxheight format\"))\n"});
    view->setSize(std::nullopt);
    EXPECT_TRUE(view->adSize().has_value());

    view->setType("video");
    EXPECT_EQ(view->adType(), AdType::video);
    view->setType(std::nullopt);
    EXPECT_EQ(view->type(), "video");
    view->setType("Banner");
    EXPECT_FALSE(view->adType().has_value());
}

TEST_F(AdViewTest, TheBridgeClosesCollapsesAndExpands) {
    platform::UIScreen::main()->setBoundsSize({375, 812});
    auto owner = std::make_shared<platform::UIView>();
    auto constraint = std::make_shared<platform::NSLayoutConstraint>(owner, platform::NSLayoutAttribute::height,
                                                                     platform::NSLayoutRelation::equal, nullptr,
                                                                     platform::NSLayoutAttribute::notAnAttribute, 1, 0);
    auto view = AdView::make(constraint);
    view->setDelegate(delegate);
    superview->addSubview(view);
    const auto post = [&](Any body) { return view->webView()->reportScriptMessage("bridge", std::move(body)); };

    struct Step {
        std::string body;
        double constantBefore;
        double expected;
    };
    const Step steps[] = {
        {R"({"action":"collapse","data":{"height":"50"}})", 0, 762},
        {R"({"action":"collapse","data":{"height":"50"}})", 34, 728},
        {R"({"action":"collapse","data":{"height":50}})", 34, 778},  // a number is no height
        {R"({"action":"expand"})", 34, 0},
        {R"({})", 34, 0},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.body);
        constraint->setConstant(step.constantBefore);
        testing::clearRecordedAnimations();
        ASSERT_TRUE(post(step.body));
        EXPECT_EQ(constraint->constant(), step.expected);
        EXPECT_EQ(view->webView()->alpha(), 1.0);
        const auto animations = testing::recordedAnimations();
        ASSERT_EQ(animations.size(), 2U);
        EXPECT_EQ(animations[0].duration, 0.3);
        EXPECT_EQ(animations[1].duration, 0.1);
    }
    EXPECT_EQ(view->paddingBottom(), 34);

    // Bodies that are not a string holding an object do nothing; bad JSON is logged.
    test::SDKLogCapture log;
    constraint->setConstant(7);
    post(Any(AnyDictionary{{"action", "close_ad"}}));
    post(R"(["close_ad"])");
    view->webView()->reportScriptMessage("other", R"({"action":"close_ad"})");
    EXPECT_EQ(constraint->constant(), 7);
    post("{not json");
    ASSERT_EQ(log.lines().size(), 1U);
    EXPECT_EQ(log.lines()[0].rfind("[QORSDK] Error:", 0), 0U);
    EXPECT_TRUE(delegate->calls.empty());

    post(R"({"action":"close_ad"})");
    EXPECT_EQ(view->superview(), nullptr);
    ASSERT_EQ(delegate->calls.size(), 1U);
    EXPECT_EQ(delegate->calls[0].what, "close");
    EXPECT_EQ(delegate->calls[0].text, "success");
}

TEST_F(AdViewTest, NewWindowLinksAreClicksAndOpenOutsideTheApp) {
    auto view = makeView();
    const auto url = *platform::URL::make("https://advertiser.example/landing");
    platform::URLRequest request(url);
    view->webView()->reportWindowRequest({request, platform::WKFrameInfo{true}});  // the page itself
    EXPECT_TRUE(delegate->calls.empty());
    delegate->openLinks = true;
    EXPECT_EQ(view->webView()->reportWindowRequest({request, std::nullopt}), nullptr);
    view->webView()->reportWindowRequest({request, platform::WKFrameInfo{false}});
    ASSERT_EQ(delegate->calls.size(), 2U);
    EXPECT_EQ(delegate->calls[0].what, "click");
    EXPECT_EQ(delegate->calls[0].text, "https://advertiser.example/landing");
    testing::pumpMainFor(std::chrono::milliseconds(10));
    EXPECT_EQ(testing::openedURLs().size(), 2U);
}

// Held only by its view, it lets go of itself in every callback and then says whether it was
// still alive: it must live until its call returns.
class SelfReleasingDelegate : public AdViewDelegate {
public:
    explicit SelfReleasingDelegate(std::shared_ptr<std::vector<std::string>> heard) : heard_(std::move(heard)) {}
    ~SelfReleasingDelegate() override { *alive_ = false; }
    void adViewDidFailLoad(const std::shared_ptr<AdView>& view, const std::string& message) override {
        release(view, "fail:" + message);
    }
    void adView(const std::shared_ptr<AdView>& view) override { release(view, "loaded"); }
    void adViewDidClickAd(const std::shared_ptr<AdView>& view, const platform::URL& /*url*/) override {
        release(view, "click");
    }
    void adViewDidSuccessCLoseAd(const std::shared_ptr<AdView>& view, const std::string& /*message*/) override {
        release(view, "close");
    }

private:
    void release(const std::shared_ptr<AdView>& view, const std::string& what) {
        const auto heard = heard_;  // locals only from here: `this` may be gone
        const auto alive = alive_;
        view->setDelegate(nullptr);
        heard->push_back(*alive ? what : what + " (freed during its call)");
    }
    std::shared_ptr<std::vector<std::string>> heard_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

TEST_F(AdViewTest, ADelegateThatLetsGoOfItselfInItsCallbackLivesThroughTheCall) {
    auto heard = std::make_shared<std::vector<std::string>>();
    auto view = AdView::make();
    superview->addSubview(view);
    const auto arm = [&] { view->setDelegate(std::make_shared<SelfReleasingDelegate>(heard)); };
    const auto loadAndWait = [&] {
        arm();
        const auto before = heard->size();
        view->loadAd(AdRequest());
        EXPECT_TRUE(testing::pumpMainUntil([&] { return heard->size() > before; }, std::chrono::seconds(10)));
    };
    loadAndWait();  // no type: reported before start-up
    startWithDefaultContainer();
    view->setUnitID(SimulatedAdNetwork::bannerUnit);
    view->setAdType(AdType::banner);
    view->setAdSize(AdSize::banner());
    nobodyBids();
    loadAndWait();
    EXPECT_EQ(view->labelError()->text(), "Failed to load banner ad:\nReason: No available Ad");
    coreBids(bidSpec(1, "<b>x</b>"));
    loadAndWait();
    arm();
    view->adCloseTapped();
    arm();
    view->webView()->reportWindowRequest(
        {platform::URLRequest(*platform::URL::make("https://advertiser.example/x")), std::nullopt});
    arm();
    view->webView()->reportScriptMessage("bridge", R"({"action":"close_ad"})");
    EXPECT_EQ(*heard, (std::vector<std::string>{"fail:Missing Ad Type", "fail:No available Ad", "loaded", "close",
                                                "click", "close"}));
    EXPECT_EQ(view->delegate(), nullptr);
}

TEST_F(AdViewTest, AReleasedViewIsDestroyedEvenWithALoadRunning) {
    startWithDefaultContainer();
    nobodyBids();
    network().core().answer(BidAnswer::bids({{bidSpec(1, "<div>late</div>")}}).after(std::chrono::milliseconds(200)));
    std::weak_ptr<AdView> weak;
    {
        auto view = makeView();
        weak = view;
        view->loadAd(AdRequest());
        view->removeFromSuperview();
    }
    EXPECT_TRUE(weak.expired());
    testing::pumpMainUntil([&] { return network().core().receivedCount() > 0; });
    testing::pumpMainFor(std::chrono::milliseconds(400));
    EXPECT_TRUE(delegate->calls.empty());
}

}  // namespace
}  // namespace qor::viewstest
