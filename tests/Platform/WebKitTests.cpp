#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "Platform/WebKit/WKWebView.h"

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

    EXPECT_FALSE(webView->simulateFinishNavigation());  // nothing started
    const auto navigation = webView->loadHTMLString("<b>1.5</b>", std::nullopt);
    webView->loadHTMLString("<p>base</p>", URL::make("https://ads.example.test/"));
    ASSERT_EQ(webView->loadedHTML().size(), 2u);
    EXPECT_EQ(webView->loadedHTML()[0].html, "<b>1.5</b>");
    EXPECT_EQ(webView->loadedHTML()[0].navigation, navigation);
    EXPECT_FALSE(webView->loadedHTML()[0].baseURL);
    EXPECT_EQ(webView->loadedHTML()[1].baseURL->absoluteString(), "https://ads.example.test/");
    EXPECT_TRUE(host->calls.empty());  // a load alone tells nobody

    const auto started = webView->simulateStartNavigation();
    EXPECT_EQ(started, webView->loadedHTML()[1].navigation);  // the latest load
    EXPECT_TRUE(webView->simulateFinishNavigation());
    EXPECT_FALSE(webView->isLoading());
    const auto followed = webView->simulateStartNavigation();  // a link followed in the page
    EXPECT_NE(followed, started);

    WKNavigationAction newWindow{URLRequest(URL::make("https://click.example.test/a")), std::nullopt};
    WKNavigationAction mainFrame{URLRequest(URL::make("https://click.example.test/b")), WKFrameInfo{true}};
    EXPECT_EQ(webView->simulateCreateWebView(newWindow), nullptr);
    EXPECT_EQ(webView->simulateCreateWebView(mainFrame), nullptr);
    EXPECT_TRUE(webView->simulateScriptMessage("bridge", Any(R"({"action":"close_ad"})")));
    EXPECT_TRUE(webView->simulateScriptMessage("bridge", Any(AnyDictionary{{"action", "collapse"}})));
    EXPECT_FALSE(webView->simulateScriptMessage("other", Any("ignored")));

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
    EXPECT_TRUE(webView->simulateFinishNavigation());
    EXPECT_EQ(webView->simulateCreateWebView(newWindow), nullptr);
    EXPECT_TRUE(webView->simulateScriptMessage("bridge", Any("late")));
}

}  // namespace
}  // namespace qor::platform
