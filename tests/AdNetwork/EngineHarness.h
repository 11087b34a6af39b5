#pragma once

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "AdNetwork/AdNetwork.h"
#include "AdNetwork/AdNetworkApiClient.h"
#include "AdNetwork/QOR.h"
#include "Core/SDKLogCapture.h"
#include "Networking/Client/Session/Session.h"
#include "Platform/Dispatch/Thread.h"
#include "Platform/Foundation/Bundle.h"
#include "testing/MainLoopPump.h"
#include "testing/SimulatedAdNetwork.h"
#include "testing/TestAppHome.h"
#include "testing/TextShapes.h"

namespace qor::enginetest {

using testing::BidAnswer;
using testing::BidSpec;
using testing::ContainerSpec;
using testing::SimulatedAdNetwork;
using Json = nlohmann::json;

inline platform::PlistDictionary appInfo() {
    return platform::PlistDictionary{{"CFBundleIdentifier", "io.qor.engine-tests"},
                                     {"CFBundleShortVersionString", "2.0.1"},
                                     {"CFBundleVersion", "7"}};
}

// What one ad request came to, and where and how often its completion ran.
struct Outcome {
    std::optional<Result<Bid>> result;
    int calls = 0;
    bool onMainThread = false;
    bool beforeReturn = false;  // the completion ran before the entry returned

    bool done() const { return calls > 0; }
    const Bid& bid() const { return result->value(); }
    std::string errorText() const {
        return result && result->isFailure() ? result->error().errorDescription().value_or("")
                                             : std::string("<no error>");
    }
};

// A fresh app home and a simulated ad network; the SDK started against it with its default
// container. Every test leaves no request running behind it.
class EngineTest : public ::testing::Test {
public:
    static constexpr const char* key = "engine-key";

    void SetUp() override {
        platform::Bundle::main()->setInfoDictionary(appInfo());
        network_ = SimulatedAdNetwork::start();
        Session::setSharedInstance(Session::makeDefault());
    }

    void TearDown() override {
        auto session = Session::sharedInstance();
        testing::pumpMainUntil([&] { return session->delegate()->taskCount() == 0; }, std::chrono::seconds(5));
        testing::pumpMainFor(std::chrono::milliseconds(5));
        QOR::setEnvironment(QOR::Environment::production);
        network_.reset();
    }

    SimulatedAdNetwork& network() { return *network_; }

    // Starts with the key and waits until the container is in place.
    void startWith(const ContainerSpec& plan, const std::string& adKey = key) {
        network().serveContainer(adKey, plan);
        QOR::start(std::make_shared<QOR::Config>("analytics-key", adKey));
        // A start on a machine loaded by sanitizers and parallel tests can take several seconds.
        ASSERT_TRUE(
            testing::pumpMainUntil([] { return QOR::adNetworkContainer().has_value(); }, std::chrono::seconds(20)));
    }
    void startWithDefaultContainer() { startWith(network().defaultContainer()); }

    // Runs the request and pumps until its completion ran.
    Outcome run(const std::function<void(AdNetworkApiClient::BidCompletion)>& request) {
        auto outcome = std::make_shared<Outcome>();
        auto returned = std::make_shared<bool>(false);
        request([outcome, returned](const Result<Bid>& result) {
            outcome->result = result;
            outcome->calls += 1;
            outcome->onMainThread = platform::Thread::isMainThread();
            outcome->beforeReturn = !*returned;
        });
        *returned = true;
        EXPECT_TRUE(testing::pumpMainUntil([&] { return outcome->done(); }, std::chrono::seconds(10)));
        testing::pumpMainFor(std::chrono::milliseconds(20));  // a second call would show here
        return *outcome;
    }

    Outcome banner(std::int64_t unit = SimulatedAdNetwork::bannerUnit, std::optional<FrameSize> size = std::nullopt,
                   AdType type = AdType::banner) {
        return run([&](auto completion) {
            AdNetworkApiClient::shared().requestBannerAd(unit, size, type, AdRequest(), std::move(completion));
        });
    }

    // Every endpoint silent but these: demand endpoint i answers answers[i]; the core answers `core`.
    void script(const std::vector<BidAnswer>& answers, const BidAnswer& core = BidAnswer::noContent()) {
        for (std::size_t i = 0; i < network().demandCount(); ++i) {
            network().demand(i).answer(i < answers.size() ? answers[i] : BidAnswer::noContent());
        }
        network().core().answer(core);
    }

    // The auction events of one request that reached the collection endpoint, once at least
    // `count` of them have: the recorder posts them 5 s after its latest recording.
    std::vector<Json> auctionEvents(const std::string& requestId, std::size_t count) {
        std::vector<Json> events;
        const auto arrived = [&] {
            events.clear();
            for (const auto& body : network().collection().receivedBodies()) {
                const auto envelope = Json::parse(body);
                if (envelope.value("typeSDK", "") != "adnetwork") continue;
                for (const auto& event : envelope["batch"]) {
                    if (event["requestId"] == requestId) events.push_back(event);
                }
            }
            return events.size() >= count;
        };
        EXPECT_TRUE(testing::pumpMainUntil(arrived, std::chrono::seconds(10))) << events.size() << " events";
        return events;
    }

    std::size_t bidRequestsReceived() {
        std::size_t count = network().core().receivedCount();
        for (std::size_t i = 0; i < network().demandCount(); ++i) count += network().demand(i).receivedCount();
        return count;
    }

private:
    testing::TestAppHome home_{"qor-engine"};
    std::unique_ptr<SimulatedAdNetwork> network_;
};

}  // namespace qor::enginetest
