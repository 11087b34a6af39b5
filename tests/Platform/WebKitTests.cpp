#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Platform/UIKit/UIApplication.h"
#include "Platform/UIKit/UIViewController.h"
#include "Platform/WebKit/WKWebView.h"
#include "testing/UIProbes.h"

namespace qor::platform {
namespace {

// Plays the part an ad view plays for its web view: delegate of both kinds and script handler.
class PageHost : public UIView, public WKNavigationDelegate, public WKUIDelegate, public WKScriptMessageHandler {
public:
    void didStartProvisionalNavigation(const std::shared_ptr<WKWebView>& webView,
                                       const std::shared_ptr<WKNavigation>& navigation) override {
        calls.push_back(webView->isLoading() ? "start" : "start?");
        navigations.push_back(navigation);
    }
    void didFinishNavigation(const std::shared_ptr<WKWebView>&,
                             const std::shared_ptr<WKNavigation>& navigation) override {
        calls.push_back("finish");
        navigations.push_back(navigation);
    }
    std::shared_ptr<WKWebView> createWebView(const std::shared_ptr<WKWebView>&,
                                             const std::shared_ptr<WKWebViewConfiguration>& configuration,
                                             const WKNavigationAction& action, const WKWindowFeatures&) override {
        const bool newWindow = !action.targetFrame || !action.targetFrame->isMainFrame;
        calls.push_back((newWindow ? "window " : "frame ") + action.request.url()->absoluteString());
        configurations.push_back(configuration);
        return nullptr;
    }
    void didReceiveScriptMessage(const std::shared_ptr<WKUserContentController>&,
                                 const WKScriptMessage& message) override {
        calls.push_back(message.name + ":" + (message.body.isString() ? message.body.asString() : "object"));
    }

    std::vector<std::string> calls;
    std::vector<std::shared_ptr<WKNavigation>> navigations;
    std::vector<std::shared_ptr<WKWebViewConfiguration>> configurations;
};

TEST(WKWebView, AHostDrivesANavigationAWindowRequestAndScriptMessagesThroughTheDelegatesInOrder) {
    auto host = std::make_shared<PageHost>();
    auto configuration = std::make_shared<WKWebViewConfiguration>();
    configuration->defaultWebpagePreferences().preferredContentMode = WKWebpagePreferences::ContentMode::mobile;
    // The handler is held through a weak hop, so the content controller does not keep the host.
    struct WeakHandler : WKScriptMessageHandler {
        std::weak_ptr<PageHost> host;
        void didReceiveScriptMessage(const std::shared_ptr<WKUserContentController>& controller,
                                     const WKScriptMessage& message) override {
            if (const auto strong = host.lock()) strong->didReceiveScriptMessage(controller, message);
        }
    };
    auto bridge = std::make_shared<WeakHandler>();
    bridge->host = host;
    configuration->userContentController()->add(bridge, "bridge");
    EXPECT_THROW(configuration->userContentController()->add(bridge, "bridge"), std::invalid_argument);
    EXPECT_THROW(configuration->userContentController()->add(nullptr, "other"), std::invalid_argument);

    const auto webView = std::make_shared<WKWebView>(CGRect{}, configuration);
    webView->setNavigationDelegate(host);
    webView->setUIDelegate(host);
    host->addSubview(webView);
    EXPECT_EQ(webView->configuration()->userContentController()->scriptMessageHandlerNames(),
              std::vector<std::string>{"bridge"});
    EXPECT_EQ(webView->configuration()->defaultWebpagePreferences().preferredContentMode,
              WKWebpagePreferences::ContentMode::mobile);

    EXPECT_FALSE(webView->reportNavigationFinished());  // nothing started
    const auto navigation = webView->loadHTMLString("<b>1.5</b>", std::nullopt);
    webView->loadHTMLString("<p>base</p>", URL::make("https://ads.example.test/"));
    ASSERT_EQ(qor::testing::loadedHTML(*webView).size(), 2u);
    EXPECT_EQ(qor::testing::loadedHTML(*webView)[0].html, "<b>1.5</b>");
    EXPECT_EQ(qor::testing::loadedHTML(*webView)[0].navigation, navigation);
    EXPECT_FALSE(qor::testing::loadedHTML(*webView)[0].baseURL);
    EXPECT_EQ(qor::testing::loadedHTML(*webView)[1].baseURL->absoluteString(), "https://ads.example.test/");
    EXPECT_TRUE(host->calls.empty());  // a load alone tells nobody

    const auto started = webView->reportNavigationStarted();
    EXPECT_EQ(started, qor::testing::loadedHTML(*webView)[1].navigation);  // the latest load
    EXPECT_TRUE(webView->reportNavigationFinished());
    EXPECT_FALSE(webView->isLoading());
    const auto followed = webView->reportNavigationStarted();  // a link followed in the page
    EXPECT_NE(followed, started);

    WKNavigationAction newWindow{URLRequest(URL::make("https://click.example.test/a")), std::nullopt};
    WKNavigationAction mainFrame{URLRequest(URL::make("https://click.example.test/b")), WKFrameInfo{true}};
    EXPECT_EQ(webView->reportWindowRequest(newWindow), nullptr);
    EXPECT_EQ(webView->reportWindowRequest(mainFrame), nullptr);
    EXPECT_TRUE(webView->reportScriptMessage("bridge", Any(R"({"action":"close_ad"})")));
    EXPECT_TRUE(webView->reportScriptMessage("bridge", Any(AnyDictionary{{"action", "collapse"}})));
    EXPECT_FALSE(webView->reportScriptMessage("other", Any("ignored")));

    EXPECT_EQ(host->calls, (std::vector<std::string>{"start", "finish", "start", "window https://click.example.test/a",
                                                     "frame https://click.example.test/b",
                                                     R"(bridge:{"action":"close_ad"})", "bridge:object"}));
    EXPECT_EQ(host->navigations[0], started);
    EXPECT_EQ(host->navigations[1], started);
    EXPECT_EQ(host->configurations.front(), configuration);

    // Delegates are weak: once the host is gone the web view calls nobody and keeps working.
    const std::weak_ptr<PageHost> weakHost = host;
    host.reset();
    EXPECT_TRUE(weakHost.expired());
    EXPECT_EQ(webView->navigationDelegate(), nullptr);
    EXPECT_TRUE(webView->reportNavigationFinished());
    EXPECT_EQ(webView->reportWindowRequest(newWindow), nullptr);
    EXPECT_TRUE(webView->reportScriptMessage("bridge", Any("late")));
}

// A banner that refreshes for an app's whole life loads thousands of pages into one web view:
// the view keeps its current page only, and what the tests record of pages, animations,
// controller events and opened URLs keeps the latest within its bounds.
TEST(WKWebView, AViewKeepsItsCurrentPageOnlyAndTheRecordsOfTheUIStayBounded) {
    const auto webView = std::make_shared<WKWebView>(CGRect{}, nullptr);
    EXPECT_FALSE(webView->currentPage());
    const std::size_t loads = 2000;
    std::vector<std::weak_ptr<WKNavigation>> navigations;
    for (std::size_t i = 0; i < loads; ++i) {
        navigations.push_back(webView->loadHTMLString("<p>" + std::to_string(i) + "</p>", std::nullopt));
    }
    ASSERT_TRUE(webView->currentPage());
    EXPECT_EQ(webView->currentPage()->html, "<p>1999</p>");
    EXPECT_EQ(webView->currentPage()->navigation, navigations.back().lock());
    // A page that is gone from the view and the recorder no longer holds its navigation.
    const auto held = std::count_if(navigations.begin(), navigations.end(), [](const auto& n) { return !n.expired(); });
    EXPECT_EQ(static_cast<std::size_t>(held), qor::testing::pagesKeptPerWebView);
    const auto recorded = qor::testing::loadedHTML(*webView);
    ASSERT_EQ(recorded.size(), qor::testing::pagesKeptPerWebView);
    EXPECT_EQ(recorded.front().html, "<p>" + std::to_string(loads - qor::testing::pagesKeptPerWebView) + "</p>");
    EXPECT_EQ(recorded.back().html, "<p>1999</p>");

    const std::size_t events = qor::testing::platformRecordLimit + 10;
    qor::testing::clearRecordedAnimations();
    qor::testing::clearRecordedControllerEvents();
    qor::testing::clearOpenedURLs();
    for (std::size_t i = 0; i < events; ++i) {
        UIView::animate(static_cast<double>(i), {});
        std::make_shared<UIViewController>()->view();
        UIApplication::shared()->openURL(*URL::make("https://open.example.test/" + std::to_string(i)));
    }
    const auto animations = qor::testing::recordedAnimations();
    ASSERT_EQ(animations.size(), qor::testing::platformRecordLimit);
    EXPECT_EQ(animations.front().duration, 10.0);
    EXPECT_EQ(animations.back().duration, static_cast<double>(events - 1));
    EXPECT_EQ(qor::testing::recordedControllerEvents().size(), qor::testing::platformRecordLimit);
    const auto opened = qor::testing::openedURLs();
    ASSERT_EQ(opened.size(), qor::testing::platformRecordLimit);
    EXPECT_EQ(opened.back().absoluteString(), "https://open.example.test/" + std::to_string(events - 1));

    // With the recorders full, 50,000 more of each kind leave the heap in use where it was: the
    // library keeps none of them itself. (A sanitizer's allocator leaves these counts still.)
    const auto heapInUse = [] {
        const auto heap = mallinfo2();
        return heap.uordblks + heap.hblkhd;  // large blocks are mapped apart
    };
    const auto heapGrowth = [&](const std::function<void(std::size_t)>& event) {
        const std::size_t before = heapInUse();
        for (std::size_t i = 0; i < 50000; ++i) event(i);
        const std::size_t after = heapInUse();
        return after > before ? after - before : 0;
    };
    const std::size_t flat = 256 * 1024;
    EXPECT_LT(heapGrowth([](std::size_t i) { UIView::animate(static_cast<double>(i), {}); }), flat);
    EXPECT_LT(heapGrowth([](std::size_t) { std::make_shared<UIViewController>()->view(); }), flat);
    EXPECT_LT(heapGrowth([](std::size_t i) {
                  UIApplication::shared()->openURL(*URL::make("https://open.example.test/" + std::to_string(i)));
              }),
              flat);
}

}  // namespace
}  // namespace qor::platform
