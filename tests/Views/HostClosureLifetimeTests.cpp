// What an app hands over with a load (a completion, a delegate, and whatever they hold) is let go
// of on the main thread, where it ran, for every format: never on whichever of the SDK's threads
// happened to hold its last copy. An app that keeps no reference to a loader has its delegate
// destroyed there too.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "NativeFormatHarness.h"
#include "Views/InterstitialAd.h"
#include "Views/NativeAdLoader.h"
#include "Views/VideoAdLoader.h"

namespace qor::nativetest {
namespace {

// How many of one kind of probe died, and how many of them off the main thread.
struct Deaths {
    std::atomic<int> all{0};
    std::atomic<int> offMain{0};
};

// Held by one closure or delegate alone: it dies with the last copy of what holds it.
class Probe {
public:
    explicit Probe(std::shared_ptr<Deaths> deaths) : deaths_(std::move(deaths)) {}
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;
    ~Probe() {
        deaths_->offMain += platform::Thread::isMainThread() ? 0 : 1;
        deaths_->all += 1;
    }

private:
    std::shared_ptr<Deaths> deaths_;
};

// Keeps each ad it is handed (nothing for a failure).
class ProbeNativeDelegate : public NativeAdLoaderDelegate {
public:
    ProbeNativeDelegate(std::shared_ptr<Deaths> deaths, std::vector<std::shared_ptr<NativeAd>>& ads)
        : probe_(std::make_shared<Probe>(std::move(deaths))), ads_(ads) {}
    void nativeAdLoader(std::int64_t /*unit*/, const std::shared_ptr<NativeAd>& ad) override { ads_.push_back(ad); }
    void nativeAdLoader(std::int64_t /*unit*/, const QORSDKError& /*error*/) override { ads_.push_back(nullptr); }

private:
    std::shared_ptr<Probe> probe_;
    std::vector<std::shared_ptr<NativeAd>>& ads_;
};

class ProbeVideoDelegate : public VideoAdLoaderDelegate {
public:
    ProbeVideoDelegate(std::shared_ptr<Deaths> deaths, int& calls)
        : probe_(std::make_shared<Probe>(std::move(deaths))), calls_(calls) {}
    void videoAdLoader(std::int64_t /*unit*/, const std::string& /*tag*/) override { ++calls_; }
    void videoAdLoader(std::int64_t /*unit*/, const QORSDKError& /*error*/) override { ++calls_; }

private:
    std::shared_ptr<Probe> probe_;
    int& calls_;
};

using HostClosureLifetimeTest = NativeFormatTest;

TEST_F(HostClosureLifetimeTest, EveryFormatLetsGoOfWhatTheAppHandedOverOnTheMainThread) {
    startWithDefaultContainer();
    constexpr int loads = 25;
    // Runs `load` for each of the loads, one after the other, each until it reported (`done` counts
    // the reports); then waits for every probe of the kind to die.
    const auto run = [&](const std::string& kind, const std::function<void(std::shared_ptr<Deaths>, int&)>& load) {
        SCOPED_TRACE(kind);
        const auto deaths = std::make_shared<Deaths>();
        int done = 0;
        for (int i = 0; i < loads; ++i) {
            load(deaths, done);
            ASSERT_TRUE(testing::pumpMainUntil([&] { return done == i + 1; }, std::chrono::seconds(10)));
        }
        ASSERT_TRUE(testing::pumpMainUntil([&] { return deaths->all == loads; }, std::chrono::seconds(10)));
        EXPECT_EQ(deaths->offMain, 0) << "of " << loads << " " << kind << " probes";
    };

    script({BidAnswer::bid(1.0)});
    run("banner completion", [](std::shared_ptr<Deaths> deaths, int& done) {
        AdNetworkApiClient::shared().requestBannerAd(
            SimulatedAdNetwork::bannerUnit, std::nullopt, AdType::banner, AdRequest(),
            [probe = std::make_shared<Probe>(std::move(deaths)), &done](const Result<Bid>&) { ++done; });
    });
    run("interstitial completion", [](std::shared_ptr<Deaths> deaths, int& done) {
        InterstitialAd::loadAd(
            std::nullopt, std::nullopt, SimulatedAdNetwork::interstitialUnit, std::nullopt, std::nullopt,
            [probe = std::make_shared<Probe>(std::move(deaths)), &done](
                const std::shared_ptr<InterstitialAd>&, const std::optional<FullScreenAdError>&) { ++done; });
    });
    script({BidAnswer::bid(2.0, "https://vast.example.test/tag.xml")});
    run("video loader's delegate", [](std::shared_ptr<Deaths> deaths, int& done) {
        const auto loader = VideoAdLoader::make(SimulatedAdNetwork::videoUnit, std::nullopt);
        loader->setDelegate(std::make_shared<ProbeVideoDelegate>(std::move(deaths), done));
        loader->loadAd(AdRequest());
    });

    // Each native ad names an image of its own, so that every image below is downloaded.
    std::vector<std::shared_ptr<NativeAd>> ads;
    run("native loader's delegate", [&](std::shared_ptr<Deaths> deaths, int& done) {
        const auto path = "/main-" + std::to_string(ads.size()) + ".png";
        answerNative(nativeMarkup(Json::array({{{"id", 2}, {"img", {{"url", imageURL(path)}}}}})));
        const auto loader = NativeAdLoader::make(SimulatedAdNetwork::nativeUnit);
        loader->setDelegate(std::make_shared<ProbeNativeDelegate>(std::move(deaths), ads));
        loader->loadNativeAd(AdRequest());
        ASSERT_TRUE(testing::pumpMainUntil([&] { return ads.size() == static_cast<std::size_t>(done + 1); },
                                           std::chrono::seconds(10)));
        ++done;
    });
    ASSERT_EQ(ads.size(), static_cast<std::size_t>(loads));
    std::size_t next = 0;
    run("native image completion", [&](std::shared_ptr<Deaths> deaths, int& done) {
        ASSERT_NE(ads[next], nullptr);
        ads[next++]->getMainImage([probe = std::make_shared<Probe>(std::move(deaths)), &done](const auto& result) {
            EXPECT_TRUE(result.isSuccess());
            ++done;
        });
    });
}

}  // namespace
}  // namespace qor::nativetest
