#include <algorithm>

#include "NativeFormatHarness.h"

#include "Views/ImageManager.h"
#include "Views/NativeAdView.h"
#include "testing/WriterlessFIFO.h"

namespace qor::nativetest {
namespace {

using platform::UIImageView;
using platform::UILabel;

// Every event a view sent, with what its image outlets showed at that moment.
class RecordingViewDelegate : public NativeAdViewDelegate {
public:
    struct Entry {
        std::string name;
        std::optional<std::string> message;
        std::optional<MediaContentData> media;
        bool mainImageShown = false;
        bool iconImageShown = false;
    };
    void onNativeAdViewEvent(NativeAdView& view, const NativeAdEvent& event) override {
        const auto data = event.data();
        const auto main = view.mainImage();
        const auto icon = view.iconImage();
        events.push_back(
            {data.name(), data.message(), event.mediaContent(), main && main->image(), icon && icon->image()});
    }
    std::vector<std::string> names() const {
        std::vector<std::string> all;
        for (const auto& e : events) all.push_back(e.name + (e.message ? ":" + *e.message : ""));
        return all;
    }
    std::vector<Entry> events;
};

struct Fixture {
    std::shared_ptr<NativeAdView> view = NativeAdView::make({{0, 0}, {320, 300}});
    std::shared_ptr<UIImageView> main = std::make_shared<UIImageView>();
    std::shared_ptr<UIImageView> icon = std::make_shared<UIImageView>();
    std::shared_ptr<UILabel> title = std::make_shared<UILabel>();
    std::shared_ptr<UILabel> sponsored = std::make_shared<UILabel>();
    std::shared_ptr<UILabel> price = std::make_shared<UILabel>();
    std::shared_ptr<RecordingViewDelegate> delegate = std::make_shared<RecordingViewDelegate>();

    Fixture() {
        view->setMainImage(main);
        view->setIconImage(icon);
        view->setTitle(title);
        view->setSponsored(sponsored);
        view->setPrice(price);
        view->setDelegate(delegate);
    }
};

using NativeAdViewTest = NativeFormatTest;

TEST_F(NativeAdViewTest, FillsItsOutletsAndReportsLoadedBeforeDownloadedImagesButAfterCachedOnes) {
    startWithDefaultContainer();
    const auto mainURL = imageURL("/view/main.png");
    const auto iconURL = imageURL("/view/icon.png");
    const Json assets = Json::array({
        {{"id", 2}, {"img", {{"url", mainURL}, {"w", 300}, {"h", 168}}}},
        {{"id", 1}, {"img", {{"url", iconURL}, {"w", 48}, {"h", 48}}}},
        {{"id", 3}, {"title", {{"text", "Title one"}, {"len", 9}}}},
        {{"id", 6}, {"data", {{"value", "Sponsor"}}}},
    });
    answerNative(nativeMarkup(assets, {{"url", "https://shop.test/"}}));
    Fixture f;
    f.price->setText("kept");
    f.view->loadAd(SimulatedAdNetwork::nativeUnit, AdRequest());
    ASSERT_TRUE(testing::pumpMainUntil([&] { return f.main->image() && f.icon->image(); }));
    ASSERT_EQ(f.delegate->names(), std::vector<std::string>{"AD_LOADED"});
    EXPECT_FALSE(f.delegate->events[0].mainImageShown);
    EXPECT_FALSE(f.delegate->events[0].iconImageShown);
    EXPECT_EQ(f.delegate->events[0].media,
              (MediaContentData{NativeAd::ImageMetadata{iconURL, 48, 48}, NativeAd::ImageMetadata{mainURL, 300, 168}}));
    EXPECT_EQ(f.title->text(), "Title one");
    EXPECT_EQ(f.sponsored->text(), "Sponsor");
    EXPECT_FALSE(f.sponsored->isHidden());
    EXPECT_EQ(f.price->text(), "kept");  // the ad has no price
    EXPECT_EQ(f.view->link()->url, "https://shop.test/");

    // The same images again come from the cache, set before AdLoaded; an ad without a sponsor
    // hides its label, one without a title leaves the label's text.
    answerNative(nativeMarkup(Json::array({assets[0], assets[1]})));
    Fixture again;
    again.view->loadAd(SimulatedAdNetwork::nativeUnit, AdRequest());
    ASSERT_TRUE(testing::pumpMainUntil([&] { return !again.delegate->events.empty(); }));
    EXPECT_TRUE(again.delegate->events[0].mainImageShown);
    EXPECT_TRUE(again.delegate->events[0].iconImageShown);
    f.title->setText("old title");
    f.view->nativeAdLoader(0, NativeAd::make("R", NativeAdResponse{}));
    EXPECT_TRUE(f.sponsored->isHidden());
    EXPECT_EQ(f.title->text(), "old title");
}

TEST_F(NativeAdViewTest, ImageAndLoadFailuresAreReportedPerAssetAndOnce) {
    startWithDefaultContainer();
    images().route("GET", "/view/missing.png", testing::ScriptedResponse::text(404, "no"));
    answerNative(nativeMarkup(Json::array({
        {{"id", 2}, {"img", {{"url", "http://[bad"}}}},
        {{"id", 1}, {"img", {{"url", images().url("/view/missing.png")}}}},
    })));
    Fixture f;
    f.view->loadAd(SimulatedAdNetwork::nativeUnit, AdRequest());
    ASSERT_TRUE(testing::pumpMainUntil([&] { return f.delegate->events.size() == 3; }));
    EXPECT_EQ(f.delegate->names(), (std::vector<std::string>{"AD_FAILED_TO_LOAD_ASSET:MainImage", "AD_LOADED",
                                                             "AD_FAILED_TO_LOAD_ASSET:IconImage"}));

    // Without assets the loader fails before any request, within loadAd.
    Fixture unknown;
    unknown.view->loadAd(999, AdRequest());
    EXPECT_EQ(unknown.delegate->names(),
              std::vector<std::string>{"AD_FAILED_TO_LOAD:Couldn't determine assets from metadata"});
}

// A container may name a pipe nothing writes to as a bid endpoint, and a bidder may name one as
// an image: neither is opened, so neither holds up the load, the other endpoints or the ad's other
// image.
TEST_F(NativeAdViewTest, ALocalPipeNamedAsEndpointOrImageFailsAtOnceAndHoldsUpNothing) {
    testing::WriterlessFIFO endpointPipe;
    testing::WriterlessFIFO imagePipe;
    auto plan = network().defaultContainer();
    plan.platforms[1].biddingURL = endpointPipe.url();
    startWith(plan);
    const auto iconURL = imageURL("/view/beside-pipe.png");
    answerNative(nativeMarkup(Json::array({
        {{"id", 2}, {"img", {{"url", imagePipe.url()}}}},
        {{"id", 1}, {"img", {{"url", iconURL}}}},
    })));
    Fixture f;
    f.view->loadAd(SimulatedAdNetwork::nativeUnit, AdRequest());
    ASSERT_TRUE(testing::pumpMainUntil([&] { return f.delegate->events.size() == 2 && f.icon->image(); }))
        << ::testing::PrintToString(f.delegate->names());
    auto names = f.delegate->names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"AD_FAILED_TO_LOAD_ASSET:MainImage", "AD_LOADED"}));
    EXPECT_EQ(network().demand(2).receivedCount(), 1U);
    EXPECT_EQ(network().core().receivedCount(), 1U);
}

TEST_F(NativeAdViewTest, TapsReportTheClickFireTheFirstTrackerAndOpenTheLinkOrHandItToTheAction) {
    startWithDefaultContainer();
    application()->setCanOpenURLPolicy([](const platform::URL& url) { return url.host() == "open.test"; });
    Fixture f;
    EXPECT_TRUE(f.view->tap());  // nothing shown yet: only the event
    EXPECT_EQ(f.delegate->names(), std::vector<std::string>{"AD_CLICKED"});

    const Json clicks = {network().trackerURL("/c1") + "?r={{REQUEST_ID}}", network().trackerURL("/c2"),
                         network().trackerURL("/c3")};
    const auto show = [&](const Json& link, std::optional<std::string> requestId) {
        const auto response = decodeNativeAdResponse(Json{{"ver", "1.2"}, {"link", link}}.dump());
        f.view->nativeAdLoader(SimulatedAdNetwork::nativeUnit, NativeAd::make(std::move(requestId), response.value()));
    };
    show({{"url", "https://open.test/a"}, {"clicktrackers", clicks}}, "R9");
    f.view->tap();
    ASSERT_TRUE(waitForTrackerHits(1));
    EXPECT_EQ(trackerPaths(), std::vector<std::string>{"/c1?r=R9"});
    ASSERT_EQ(testing::openedURLs().size(), 1U);
    EXPECT_EQ(testing::openedURLs()[0].absoluteString(), "https://open.test/a");

    std::vector<std::string> handed;
    f.view->setOnAdClickAction([&](const std::string& url) { handed.push_back(url); });
    f.view->onClicked();
    show({{"url", "https://closed.test/"}, {"fallback", "https://open.test/fallback"}}, std::nullopt);
    f.view->onClicked();
    show({{"url", "https://closed.test/"}, {"fallback", "https://closed.test/f"}, {"clicktrackers", clicks}},
         std::nullopt);  // no request id: no tracker
    f.view->onClicked();
    EXPECT_EQ(handed, (std::vector<std::string>{"https://open.test/a", "https://open.test/fallback"}));
    ASSERT_TRUE(waitForTrackerHits(2));
    testing::pumpMainFor(std::chrono::milliseconds(100));
    EXPECT_EQ(trackerPaths(), (std::vector<std::string>{"/c1?r=R9", "/c1?r=R9"}));
    EXPECT_EQ(testing::openedURLs().size(), 1U);
    EXPECT_EQ(f.delegate->names().size(), 8U);  // a click and a load per step, the first click alone
}

TEST(NativeAdViewParts, OutletsLayerValuesAndEventNames) {
    const auto view = NativeAdView::make();
    const auto holder = std::make_shared<platform::UIView>();
    const auto nested = std::make_shared<UILabel>();
    holder->addSubview(nested);
    view->addSubview(holder);
    view->setTitle(nested);  // moves to be a direct subview
    EXPECT_EQ(nested->superview(), view);
    view->setTitle(nullptr);  // ignored
    EXPECT_EQ(view->title(), nested);
    EXPECT_FALSE(view->connectOutlet("title", std::make_shared<UIImageView>()));
    EXPECT_FALSE(view->connectOutlet("subtitle", std::make_shared<UILabel>()));
    EXPECT_TRUE(view->connectOutlet("mainImage", std::make_shared<UIImageView>()));
    EXPECT_EQ(view->subviews().size(), 3U);

    // Each label shows its own field of the ad: the asset filed under that field's id.
    for (const auto name : NativeAdView::outletNames()) view->connectOutlet(name, std::make_shared<UILabel>());
    Json assets = Json::array({{{"id", 3}, {"title", {{"text", "asset 3"}, {"len", 7}}}}});
    for (int id = 4; id <= 16; ++id)
        assets.push_back({{"id", id}, {"data", {{"value", "asset " + std::to_string(id)}}}});
    view->nativeAdLoader(0, NativeAd::make("R", decodeNativeAdResponse(nativeMarkup(assets)).value()));
    using Label = NativeAdView::LabelOutlet (NativeAdView::*)() const;
    const std::vector<std::pair<Label, std::string>> shown = {
        {&NativeAdView::title, "asset 3"},          {&NativeAdView::desc, "asset 4"},
        {&NativeAdView::ctaDescription, "asset 5"}, {&NativeAdView::sponsored, "asset 6"},
        {&NativeAdView::rating, "asset 8"},         {&NativeAdView::likes, "asset 9"},
        {&NativeAdView::downloads, "asset 10"},     {&NativeAdView::price, "asset 11"},
        {&NativeAdView::salePrice, "asset 12"},     {&NativeAdView::phone, "asset 13"},
        {&NativeAdView::address, "asset 14"},       {&NativeAdView::additionalDesc, "asset 15"},
        {&NativeAdView::displayUrl, "asset 16"},
    };
    for (const auto& [label, text] : shown) EXPECT_EQ(((*view).*label)()->text(), text);

    EXPECT_FALSE(view->borderColor().has_value());
    view->setBorderColor(platform::UIColor::blue());
    EXPECT_EQ(view->borderColor(), platform::UIColor::blue());
    view->setBorderColor(std::nullopt);
    EXPECT_FALSE(view->borderColor().has_value());
    view->setCornerRadius(4);
    EXPECT_TRUE(view->layer().masksToBounds);
    view->setCornerRadius(0);
    EXPECT_FALSE(view->layer().masksToBounds);

    const std::vector<std::pair<NativeAdEvent, std::string>> events = {
        {NativeAdEvent::AdLoaded{}, "AD_LOADED"},
        {NativeAdEvent::AdFailedToLoad{"x"}, "AD_FAILED_TO_LOAD"},
        {NativeAdEvent::AdFailedToLoadAsset{"IconImage"}, "AD_FAILED_TO_LOAD_ASSET"},
        {NativeAdEvent::AdClicked{}, "AD_CLICKED"},
    };
    for (const auto& [event, name] : events) {
        EXPECT_EQ(event.data().name(), name);
        EXPECT_EQ(event.mediaContent().has_value(), name == "AD_LOADED");
    }
}

}  // namespace
}  // namespace qor::nativetest
