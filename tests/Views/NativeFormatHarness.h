#pragma once

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "AdNetwork/EngineHarness.h"
#include "Platform/UIKit/UIApplication.h"
#include "Views/NativeAd.h"
#include "Views/NativeAdLoaderDelegate.h"
#include "testing/LoopbackServer.h"
#include "testing/TestImages.h"
#include "testing/UIProbes.h"

namespace qor::nativetest {

using enginetest::BidAnswer;
using enginetest::BidSpec;
using enginetest::Outcome;
using enginetest::SimulatedAdNetwork;
using Json = nlohmann::json;

// A native response as a bidder writes it into the markup.
inline std::string nativeMarkup(const Json& assets, const Json& link = nullptr, const Json& trackers = nullptr) {
    Json response{{"ver", "1.2"}, {"assets", assets}};
    if (!link.is_null()) response["link"] = link;
    if (!trackers.is_null()) response["eventtrackers"] = trackers;
    return response.dump();
}

// Every call a loader delegate received, in order, and on which thread.
class RecordingLoaderDelegate : public NativeAdLoaderDelegate {
public:
    struct Call {
        std::int64_t unit = 0;
        std::shared_ptr<NativeAd> ad;  // success
        std::string error;             // failure
        bool onMainThread = false;
    };
    void nativeAdLoader(std::int64_t unit, const std::shared_ptr<NativeAd>& ad) override {
        calls.push_back({unit, ad, "", platform::Thread::isMainThread()});
    }
    void nativeAdLoader(std::int64_t unit, const QORSDKError& error) override {
        calls.push_back({unit, nullptr, error.errorDescription().value_or(""), platform::Thread::isMainThread()});
    }
    std::vector<Call> calls;
};

// The engine's harness with the app's URL opening reset around each test.
class NativeFormatTest : public enginetest::EngineTest {
public:
    void SetUp() override {
        EngineTest::SetUp();
        testing::clearOpenedURLs();
        application()->setCanOpenURLPolicy({});
    }
    void TearDown() override {
        application()->setCanOpenURLPolicy({});
        EngineTest::TearDown();
    }
    static std::shared_ptr<platform::UIApplication> application() { return platform::UIApplication::shared(); }

    // The native unit's demand endpoint 0 answers with this markup (and viewable URL); the others
    // stay silent.
    void answerNative(const std::string& markup, std::optional<std::string> viewableURL = std::nullopt) {
        BidSpec bid;
        bid.markup = markup;
        bid.viewableURL = std::move(viewableURL);
        script({BidAnswer::bids({{bid}})});
    }

    // Images come from a plain HTTP server: the image loader's one session keeps the trust
    // settings of its first use, while each test's ad network has a certificate authority of its own.
    testing::LoopbackServer& images() { return *images_; }
    std::string imageURL(const std::string& path, int width = 8, int height = 8) {
        testing::ScriptedResponse response;
        response.body = testing::makePNG(width, height);
        images_->route("GET", path, response);
        return images_->url(path);
    }

    // Pumps the main loop meanwhile: trackers go out from main-thread work.
    bool waitForTrackerHits(std::size_t count) {
        return testing::pumpMainUntil([&] { return network().trackerHits().size() >= count; });
    }

    std::vector<std::string> trackerPaths() {
        std::vector<std::string> paths;
        for (const auto& hit : network().trackerHits()) {
            paths.push_back(hit.path + (hit.query.empty() ? "" : "?" + hit.query));
        }
        return paths;
    }

private:
    std::unique_ptr<testing::LoopbackServer> images_ = testing::LoopbackServer::makeHTTP();
};

}  // namespace qor::nativetest
