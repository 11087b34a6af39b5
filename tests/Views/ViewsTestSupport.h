#pragma once

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AdNetwork/AdNetwork.h"
#include "AdNetwork/QOR.h"
#include "Core/SDKLogCapture.h"
#include "Networking/Client/Session/Session.h"
#include "Platform/Dispatch/Thread.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/UIKit/UIApplication.h"
#include "Platform/UIKit/UIScreen.h"
#include "Platform/UIKit/UIView.h"
#include "Platform/UIKit/UIViewController.h"
#include "Views/AdView.h"
#include "testing/MainLoopPump.h"
#include "testing/SimulatedAdNetwork.h"
#include "testing/TestAppHome.h"
#include "testing/UIProbes.h"

namespace qor::viewstest {

using testing::BidAnswer;
using testing::BidSpec;
using testing::ContainerSpec;
using testing::SimulatedAdNetwork;

// One bid as a bidder offers it.
inline BidSpec bidSpec(double price, std::string markup, std::optional<std::string> viewableURL = std::nullopt) {
    BidSpec plan;
    plan.price = price;
    plan.markup = std::move(markup);
    plan.viewableURL = std::move(viewableURL);
    return plan;
}

// Records every banner-view delegate call in order, and whether each came on the main thread.
class RecordingAdViewDelegate : public AdViewDelegate {
public:
    struct Call {
        std::string what;  // "fail", "loaded", "click", "close"
        std::string text;
    };
    void adViewDidFailLoad(const std::shared_ptr<AdView>& /*view*/, const std::string& message) override {
        record("fail", message);
    }
    void adView(const std::shared_ptr<AdView>& /*view*/) override { record("loaded", ""); }
    void adViewDidClickAd(const std::shared_ptr<AdView>& view, const platform::URL& url) override {
        record("click", url.absoluteString());
        if (openLinks) AdViewDelegate::adViewDidClickAd(view, url);
    }
    void adViewDidSuccessCLoseAd(const std::shared_ptr<AdView>& /*view*/, const std::string& message) override {
        record("close", message);
    }

    std::vector<Call> calls;
    bool allOnMainThread = true;
    bool openLinks = false;

private:
    void record(std::string what, std::string text) {
        allOnMainThread = allOnMainThread && platform::Thread::isMainThread();
        calls.push_back({std::move(what), std::move(text)});
    }
};

// A fresh app home, a simulated ad network and the SDK started against it; a 375 by 812 screen.
class ViewsTest : public ::testing::Test {
public:
    static constexpr const char* key = "views-key";

    void SetUp() override {
        platform::Bundle::main()->setInfoDictionary(platform::PlistDictionary{
            {"CFBundleIdentifier", "io.qor.views-tests"}, {"CFBundleShortVersionString", "1.0"}});
        platform::UIScreen::main()->setBoundsSize({375, 812});
        network_ = SimulatedAdNetwork::start();
        testing::clearRecordedAnimations();
        testing::clearRecordedControllerEvents();
        testing::clearOpenedURLs();
    }

    void TearDown() override {
        if (started_) {
            auto session = Session::sharedInstance();
            testing::pumpMainUntil([&] { return session->delegate()->taskCount() == 0; }, std::chrono::seconds(5));
        }
        testing::pumpMainFor(std::chrono::milliseconds(5));
        network_.reset();
    }

    SimulatedAdNetwork& network() { return *network_; }

    void startWith(const ContainerSpec& plan) {
        network().serveContainer(key, plan);
        QOR::start(std::make_shared<QOR::Config>("analytics-key", key));
        started_ = true;
        // A start on a machine loaded by sanitizers and parallel tests can take several seconds.
        ASSERT_TRUE(
            testing::pumpMainUntil([] { return QOR::adNetworkContainer().has_value(); }, std::chrono::seconds(20)));
    }
    void startWithDefaultContainer() { startWith(network().defaultContainer()); }

    // Every demand endpoint silent; the core answers with this one bid.
    void coreBids(const BidSpec& bid) {
        for (std::size_t i = 0; i < network().demandCount(); ++i) network().demand(i).answer(BidAnswer::noContent());
        network().core().answer(BidAnswer::bids({{bid}}));
    }
    void nobodyBids() {
        for (std::size_t i = 0; i < network().demandCount(); ++i) network().demand(i).answer(BidAnswer::noContent());
        network().core().answer(BidAnswer::noContent());
    }

    // A viewable tracker URL whose query carries the request id.
    std::string viewableURL(const std::string& path) { return network().trackerURL(path) + "?rid={{REQUEST_ID}}"; }

    // Tracker hits on this path so far.
    std::vector<testing::RecordedRequest> hitsOn(const std::string& path) const {
        std::vector<testing::RecordedRequest> hits;
        for (auto& hit : network_->trackerHits()) {
            if (hit.path == path) hits.push_back(hit);
        }
        return hits;
    }

    static std::string page(const std::string& markup) {
        return "<!DOCTYPE html><html><meta name=\"viewport\" content=\"width=device-width, initial-scale=1.0,"
               "maximum-scale=1.0, user-scalable=no,viewport-fit=cover,shrink-to-fit=YES\"/>"
               "<body style=\"margin: 0; padding:0; background:no;\">" +
               markup + "</body></html>";
    }

private:
    testing::TestAppHome home_{"qor-views"};
    std::unique_ptr<SimulatedAdNetwork> network_;
    bool started_ = false;
};

}  // namespace qor::viewstest
