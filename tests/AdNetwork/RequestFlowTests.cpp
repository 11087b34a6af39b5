#include <stdio.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>
#include <set>

#include "AdNetwork/NativeAssetRequests.h"
#include "Analytics/Storage.h"
#include "EngineHarness.h"

namespace qor::enginetest {
namespace {

using RequestFlowTest = EngineTest;

// Standard output of this program goes through the tap from before main on, so no thread sees
// the stream change. A test can watch each write as it is made, on the writing thread, while
// the text still goes on to where standard output went before.
class StdoutTap {
public:
    using Watcher = std::function<void(std::string_view)>;

    StdoutTap() : original_(stdout) {
        static const cookie_io_functions_t functions{nullptr, &StdoutTap::write, nullptr, nullptr};
        if (FILE* tapped = fopencookie(this, "w", functions)) {
            std::setvbuf(tapped, nullptr, _IOLBF, BUFSIZ);
            stdout = tapped;
        }
    }
    void watch(Watcher watcher) {
        std::lock_guard lock(mutex_);
        watcher_ = std::move(watcher);
    }

private:
    static ssize_t write(void* cookie, const char* data, size_t size) {
        auto* tap = static_cast<StdoutTap*>(cookie);
        {
            std::lock_guard lock(tap->mutex_);
            if (tap->watcher_) tap->watcher_(std::string_view(data, size));
        }
        std::fwrite(data, 1, size, tap->original_);
        std::fflush(tap->original_);
        return static_cast<ssize_t>(size);
    }

    FILE* const original_;
    std::mutex mutex_;
    Watcher watcher_;
};

StdoutTap* const stdoutTap = new StdoutTap;

Json firstImpression(const std::string& body) { return Json::parse(body)["imp"][0]; }

TEST_F(RequestFlowTest, FailedChecksCompleteAtOnceInTheirOrderAndSendNothing) {
    struct Case {
        std::string name;
        std::function<void(RequestFlowTest&)> arrange;
        std::int64_t unit;
        std::optional<FrameSize> size;
        AdType type;
        std::string message;
    };
    const auto blacklisted = [](RequestFlowTest& t) {
        auto plan = t.network().defaultContainer();
        plan.blacklist = 1;
        plan.inventories.clear();  // blacklisting is decided before the container is looked at
        t.startWith(plan);
    };
    const auto noContainer = [](RequestFlowTest& t) {
        t.network().serveContainerText("missing", "{}", 404);
        const auto before = t.network().containerRequests().size();
        QOR::start(std::make_shared<QOR::Config>("analytics-key", "missing"));
        ASSERT_TRUE(testing::pumpMainUntil([&] { return t.network().containerRequests().size() == before + 1; }));
        testing::pumpMainFor(std::chrono::milliseconds(50));
    };
    const auto standard = [](RequestFlowTest& t) { t.startWithDefaultContainer(); };
    const auto capitalFormat = [](RequestFlowTest& t) {
        auto plan = t.network().defaultContainer();
        plan.inventories[0].format = "Banner";
        t.startWith(plan);
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Case> cases = {
        {"native at a web entry", standard, 101, std::nullopt, AdType::nativeAds,
         "Could not create native via this function"},
        {"blacklisted", blacklisted, 101, std::nullopt, AdType::banner, "Client is in blacklist"},
        {"no container", noContainer, 101, std::nullopt, AdType::banner, "Not found container"},
        {"unknown unit", standard, 999, std::nullopt, AdType::banner, "Couldn't find any inventory in container"},
        {"video of a banner unit", standard, 101, std::nullopt, AdType::video,
         "Inventory not support this format: video"},
        {"format differs in case", capitalFormat, 101, std::nullopt, AdType::banner,
         "Inventory not support this format: banner"},
        {"size not finite", standard, 101, FrameSize{nan, 50}, AdType::banner,
         AdNetworkApiClient::invalidAdSizeMessage},
        {"size out of range", standard, 101, FrameSize{320, 1e300}, AdType::banner,
         AdNetworkApiClient::invalidAdSizeMessage},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange(*this);
        const auto before = bidRequestsReceived();
        const auto outcome = banner(c.unit, c.size, c.type);
        EXPECT_EQ(outcome.errorText(), c.message);
        EXPECT_TRUE(outcome.beforeReturn);
        EXPECT_TRUE(outcome.onMainThread);
        EXPECT_EQ(outcome.calls, 1);
        EXPECT_EQ(bidRequestsReceived(), before);
    }
}

TEST_F(RequestFlowTest, ACheckFailureCompletesOnTheCallersOwnThread) {
    startWithDefaultContainer();
    std::thread::id completedOn;
    std::string message;
    std::thread caller([&] {
        AdNetworkApiClient::shared().requestInterstitialAd(999, std::nullopt, AdType::banner, AdRequest(),
                                                           [&](const Result<Bid>& result) {
                                                               completedOn = std::this_thread::get_id();
                                                               message = result.error().errorDescription().value_or("");
                                                           });
        EXPECT_EQ(completedOn, std::this_thread::get_id());
    });
    caller.join();
    EXPECT_EQ(message, "Couldn't find any inventory in container");
}

TEST_F(RequestFlowTest, ABannerRequestAsksEveryEndpointOnceWithTheCoreExtensionOnlyOnTheCore) {
    startWithDefaultContainer();
    script({BidAnswer::bid(1.0), BidAnswer::bid(2.0)}, BidAnswer::bid(0.5));
    const auto anonymousId = Analytics::sharedInstance()->storage()->read<std::string>(Storage::Constants::anonymousId);
    ASSERT_TRUE(anonymousId.has_value());
    // The stored anonymous id is printed once per request, before any bid request is sent.
    struct Printed {
        std::string text;
        std::size_t received = 0;  // bid requests the endpoints had received by then
        std::size_t underWay = 0;  // requests the session had started and not finished
    };
    std::vector<Printed> printed;
    const auto session = Session::sharedInstance();
    stdoutTap->watch([&](std::string_view text) {
        if (text.starts_with("AdNetwork AnonymousID from Analytics = ")) {
            printed.push_back({std::string(text), bidRequestsReceived(), session->delegate()->taskCount()});
        }
    });
    const auto idle = [&] { return session->delegate()->taskCount() == 0; };
    ASSERT_TRUE(testing::pumpMainUntil(idle));

    const auto outcome = banner(101, FrameSize{300, 250});
    ASSERT_TRUE(outcome.result->isSuccess()) << outcome.errorText();
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_TRUE(outcome.onMainThread);
    EXPECT_FALSE(outcome.beforeReturn);

    std::vector<Json> bodies;
    for (std::size_t i = 0; i < network().demandCount(); ++i) {
        ASSERT_EQ(network().demand(i).receivedCount(), 1U);
        bodies.push_back(Json::parse(network().demand(i).receivedBodies()[0]));
        EXPECT_FALSE(bodies.back()["imp"][0].contains("ext"));
    }
    ASSERT_EQ(network().core().receivedCount(), 1U);
    const Json core = Json::parse(network().core().receivedBodies()[0]);
    EXPECT_EQ(core["imp"][0]["ext"],
              Json::parse(R"({"prebid":{},"vomadn":{"header_bids":[],"container_id":12,"inventory_id":101}})"));
    bodies.push_back(core);
    for (const auto& body : bodies) {
        EXPECT_EQ(body["id"], outcome.bid().requestId.value());
        EXPECT_EQ(body["user"]["id"], *anonymousId);
        EXPECT_EQ(body["imp"][0]["banner"], Json::parse(R"({"format":[{"w":300,"h":250}]})"));
        EXPECT_EQ(body["imp"][0]["secure"], 1);
        EXPECT_EQ(body["imp"][0]["id"], bodies[0]["imp"][0]["id"]);
    }
    EXPECT_NE(core["source"]["tid"], core["id"]);
    EXPECT_EQ(outcome.bid().price, 2.0F);

    ASSERT_TRUE(testing::pumpMainUntil(idle));
    EXPECT_TRUE(banner().result->isSuccess());
    stdoutTap->watch(nullptr);
    const std::string line = "AdNetwork AnonymousID from Analytics = " + *anonymousId + "\n";
    ASSERT_EQ(printed.size(), 2U);
    EXPECT_EQ(printed[0].text, line);
    EXPECT_EQ(printed[0].received, 0U);
    EXPECT_EQ(printed[0].underWay, 0U);
    EXPECT_EQ(printed[1].text, line);
    EXPECT_EQ(printed[1].received, bodies.size());
    EXPECT_EQ(printed[1].underWay, 0U);
}

TEST_F(RequestFlowTest, TheImpressionSizeComesFromTheAdSizeTruncatedOrElseFromTheMetadata) {
    startWithDefaultContainer();
    const std::vector<std::pair<std::optional<FrameSize>, Json>> cases = {
        {std::nullopt, Json::parse(R"([{"w":320,"h":50}])")},
        {FrameSize{320.9, 50.2}, Json::parse(R"([{"w":320,"h":50}])")},
        {FrameSize{468, 60}, Json::parse(R"([{"w":468,"h":60}])")},
    };
    for (const auto& [size, formats] : cases) {
        banner(101, size);
        EXPECT_EQ(firstImpression(network().core().receivedBodies().back())["banner"]["format"], formats);
    }
}

TEST_F(RequestFlowTest, AVideoRequestCarriesTheMetadataOrTheDefaults) {
    auto plan = network().defaultContainer();
    auto bare = plan.inventories[2];
    bare.id = 203;
    bare.metadataExtra = "{}";
    plan.inventories.push_back(bare);
    startWith(plan);
    const std::vector<std::pair<std::int64_t, Json>> cases = {
        {103, Json::parse(R"({"mimes":["video/mp4","video/webm"],"minduration":5,"maxduration":30,
             "protocols":[2,3,7],"w":480,"h":360,"startdelay":0,"linearity":1,"skip":1,"skipmin":5,
             "skipAfter":5,"minbitrate":300,"maxbitrate":1500})")},
        {203, Json::parse(R"({"mimes":["video/mp4"],"protocols":[2,3,7],"w":480,"h":360,"linearity":1})")},
    };
    for (const auto& [unit, video] : cases) {
        const auto outcome = run([unit = unit](auto completion) {
            BidRequest request = AdNetworkApiClient::shared().buildBidRequest(std::nullopt);
            AdNetworkApiClient::shared().requestVideoAd(unit, request, AdType::video, std::nullopt,
                                                        CallbackQueue::currentMainOrAsync{}, std::move(completion));
        });
        EXPECT_EQ(outcome.errorText(), "No available Ad");
        const auto impression = firstImpression(network().core().receivedBodies().back());
        EXPECT_EQ(impression["video"], video);
        EXPECT_FALSE(impression.contains("banner"));
    }
}

TEST_F(RequestFlowTest, ANativeRequestEmbedsTheNativeRequestTextAndTheContext) {
    startWithDefaultContainer();
    script({BidAnswer::bid(1.0, R"({"ver":"1.2","assets":[]})")});
    const auto assets = assetRequestsForUnit(QOR::adNetworkContainer(), SimulatedAdNetwork::nativeUnit);
    ASSERT_TRUE(assets.has_value());
    const AdRequest adRequest(std::map<std::string, std::string>{{"placement", "feed"}});
    const auto outcome = run([&](auto completion) {
        AdNetworkApiClient::shared().requestNativeAd(SimulatedAdNetwork::nativeUnit, *assets, adRequest,
                                                     std::move(completion));
    });
    ASSERT_TRUE(outcome.result->isSuccess()) << outcome.errorText();
    const Json body = Json::parse(network().demand(0).receivedBodies()[0]);
    const Json native = body["imp"][0]["native"];
    EXPECT_EQ(native["ver"], "1.2");
    EXPECT_EQ(native.size(), 2U);
    const Json request = Json::parse(native["request"].get<std::string>());
    EXPECT_EQ(request["ver"], "1.2");
    std::vector<int> ids;
    for (const auto& asset : request["assets"]) ids.push_back(asset["id"]);
    EXPECT_EQ(ids, (std::vector<int>{3, 2, 1, 4, 5}));
    EXPECT_EQ(body["ext"]["context"], Json::parse(R"({"placement":"feed"})"));
    EXPECT_FALSE(body["imp"][0].contains("banner"));
}

TEST_F(RequestFlowTest, ANativeRequestThatCannotBeEncodedFailsAtOnceWithoutContactingAnEndpoint) {
    startWithDefaultContainer();
    Asset::Request asset;
    asset.id = 3;
    asset.title = AssetTitle::Request{90, std::string("\xff\xfe")};
    const auto outcome = run([&](auto completion) {
        AdNetworkApiClient::shared().requestNativeAd(SimulatedAdNetwork::nativeUnit, {asset}, AdRequest(),
                                                     std::move(completion));
    });
    EXPECT_TRUE(outcome.beforeReturn);
    EXPECT_EQ(outcome.errorText(),
              "Cannot convert target \"NativeAdRequest\" to valid data under Unicode (UTF-8) encoding.");
    EXPECT_EQ(bidRequestsReceived(), 0U);
}

TEST_F(RequestFlowTest, TheEndpointListFollowsTheInventory) {
    auto plan = network().defaultContainer();
    plan.inventories[0].platforms.clear();  // no platforms: the core alone
    plan.inventories[1].platforms = {{3, std::nullopt, std::nullopt, 0, 0}, {99, "unknown-platform", {}, 0, 0}};
    startWith(plan);

    EXPECT_EQ(banner(101).errorText(), "No available Ad");
    EXPECT_EQ(network().core().receivedCount(), 1U);
    EXPECT_EQ(network().demand(0).receivedCount(), 0U);

    // A platform the container has no bidding URL for is left out; the others are still asked.
    network().demand(0).answer(BidAnswer::bid(1.0));
    const auto outcome = banner(SimulatedAdNetwork::interstitialUnit);
    EXPECT_TRUE(outcome.result->isSuccess());
    EXPECT_EQ(network().demand(0).receivedCount(), 1U);
    EXPECT_EQ(network().core().receivedCount(), 2U);
}

TEST_F(RequestFlowTest, RequestsForTheSameUnitRunIndependently) {
    startWithDefaultContainer();
    script({BidAnswer::bid(1.0).after(std::chrono::milliseconds(100)), BidAnswer::bid(2.0)});
    std::vector<std::shared_ptr<Outcome>> outcomes;
    for (int i = 0; i < 5; ++i) {
        auto outcome = std::make_shared<Outcome>();
        outcomes.push_back(outcome);
        auto completion = [outcome](const Result<Bid>& result) {
            outcome->result = result;
            outcome->calls += 1;
        };
        // The three web-rendered entries share one request operation.
        auto& client = AdNetworkApiClient::shared();
        if (i % 3 == 0) client.requestBannerAd(101, std::nullopt, AdType::banner, AdRequest(), completion);
        if (i % 3 == 1) client.requestInterstitialAd(102, std::nullopt, AdType::banner, AdRequest(), completion);
        if (i % 3 == 2) client.requestMobileFirstViewAd(102, std::nullopt, AdType::banner, AdRequest(), completion);
    }
    ASSERT_TRUE(testing::pumpMainUntil(
        [&] { return std::all_of(outcomes.begin(), outcomes.end(), [](const auto& o) { return o->done(); }); }));
    testing::pumpMainFor(std::chrono::milliseconds(50));
    std::set<std::string> requestIds;
    for (const auto& outcome : outcomes) {
        EXPECT_EQ(outcome->calls, 1);
        EXPECT_EQ(outcome->bid().price, 2.0F);
        requestIds.insert(*outcome->bid().requestId);
    }
    EXPECT_EQ(requestIds.size(), outcomes.size());
}

}  // namespace
}  // namespace qor::enginetest

namespace qor::enginetest {
namespace {

struct Placement {
    std::string slot;
    std::int64_t position = 0;
    void encode(platform::KeyedEncodingContainer& c) const {
        c.encode("slot", slot);
        c.encode("position", position);
    }
};

struct Unencodable {
    void encode(platform::KeyedEncodingContainer&) const { throw std::runtime_error("no JSON form"); }
};

TEST(AdRequestTest, EachRequestHasItsOwnIdAndAContextOnlyWhenItEncodes) {
    const AdRequest first;
    const AdRequest second;
    EXPECT_TRUE(testing::isUpperCaseUUID(first.id()));
    EXPECT_NE(first.id(), second.id());
    EXPECT_FALSE(first.context().has_value());

    const AdRequest placed(Placement{"feed", 3});
    ASSERT_TRUE(placed.context().has_value());
    EXPECT_EQ(*placed.context(), JSON::with(Placement{"feed", 3}));
    EXPECT_EQ(placed.context()->toAny().tryDictionary()->size(), 2U);
    EXPECT_FALSE(AdRequest(std::optional<Placement>()).context().has_value());

    const AdRequest broken{Unencodable{}};
    EXPECT_FALSE(broken.context().has_value());
    EXPECT_TRUE(testing::isUpperCaseUUID(broken.id()));
}

}  // namespace
}  // namespace qor::enginetest
