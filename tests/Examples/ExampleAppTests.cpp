#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "AuctionSummary.h"
#include "testing/ChildProcess.h"
#include "testing/FileHelpers.h"
#include "testing/SimulatedAdNetwork.h"
#include "testing/TempDirectory.h"

namespace qor::example {
namespace {

using namespace std::chrono_literals;
using testing::BidAnswer;
using testing::BidSpec;

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

TEST(ExampleSummary, TellsWhyEachEndpointLost) {
    Inventory unit;
    unit.floorPrice = 0.5F;
    const auto offering = [](const std::string& price) {
        return R"({"id":"r","seatbid":[{"bid":[{"id":"b1","impid":"i","price":0.1},{"id":"b2","impid":"i","price":)" +
               price + "}]}]}";
    };
    struct Case {
        std::optional<int> status;
        std::string body;
        std::optional<double> winningPrice;
        std::string why;
    };
    const Case cases[] = {
        {std::nullopt, "", 2.0, "no answer: Could not connect"},
        {204, "", 2.0, "no bid (204)"},
        {500, "bidder failure", 2.0, "failed with HTTP 500"},
        {200, "<html>not a bid response", 2.0, "unreadable answer (not a bid response)"},
        {200, R"({"id":"r","seatbid":[]})", 2.0, "no bid"},
        {200, offering("0.25"), 2.0, "bid 0.25, under the unit's floor 0.50"},
        {200, offering("1.5"), 2.0, "outbid: bid 1.50"},  // its best bid counts
        {200, offering("2"), 2.0, "tied at 2.00; the earlier endpoint of the unit won"},
        {200, offering("2.5"), 2.0, "bid 2.50, more than the winner"},
        {200, offering("1.5"), std::nullopt, "bid 1.50, yet nobody won"},
    };
    for (const auto& c : cases) {
        Exchange answer{"POST", "https://bidder.test/bid", "{}", c.status, c.body, c.status ? "" : "Could not connect"};
        EXPECT_EQ(whyLost(answer, unit, c.winningPrice), c.why) << c.body;
    }
    EXPECT_EQ(priceText(1.005), "1.00");
}

TEST(ExampleSummary, ReadsEachAuctionFromTheWireAndTheAcceptedAuctionEvents) {
    Container container;
    container.core.url = "https://core.test/bid";
    container.core.name = "core";
    DemandSidePlatform alpha;
    alpha.id = 3;
    alpha.name = "dsp-alpha";
    alpha.url = "https://alpha.test/bid";
    DemandSidePlatform beta = alpha;
    beta.id = 4;
    beta.name = "dsp-beta";
    beta.url = "https://beta.test/bid";
    container.platforms = {alpha, beta};
    Inventory unit;
    unit.id = 101;
    unit.format = "banner";
    unit.floorPrice = 0.1F;
    unit.platforms = {alpha, beta};
    container.inventories = {unit};

    const auto answer = [](const std::string& id, const std::string& price, const std::string& markup) {
        return R"({"id":"R1","seatbid":[{"bid":[{"id":")" + id + R"(","impid":"i","price":)" + price + R"(,"adm":")" +
               markup + R"("}]}]})";
    };
    const std::string request = R"({"id":"R1","imp":[]})";
    const std::string collection = "https://collect.test/v1/b";
    const std::string envelope =
        R"({"writeKey":"k","typeSDK":"adnetwork","batch":[)"
        R"({"name":"bidRequest","requestId":"R1","context":{}},)"
        R"({"name":"bidWinner","requestId":"R1","context":{"adData":{"id":"b-beta","price":2.4}}},)"
        R"({"name":"bidWinner","requestId":"R0","context":{"adData":{"id":"x","price":9}}}]})";
    const std::vector<Exchange> wire = {
        {"GET", "https://ip.test/", "", 200, "{}", ""},  // before the ad's stretch
        // Finished out of the unit's order; the markup fetch is no tracker.
        {"POST", "https://beta.test/bid", request, 200, answer("b-beta", "2.4", "https://markup.test/p.html"), ""},
        {"POST", "https://core.test/bid", request, 200, answer("b-core", "0.05", "<b>core</b>"), ""},
        {"POST", "https://alpha.test/bid", request, 500, "bidder failure", ""},
        {"GET", "https://markup.test/p.html", "", 200, "<p>page</p>", ""},
        {"GET", "https://trackers.test/seen?rid=R1", "", 404, "gone", ""},
        {"POST", collection, envelope, 200, "ok", ""},
        {"POST", collection, envelope, 500, "", ""},  // not accepted: its events count once
        {"POST", collection, R"({"batch":[{"name":"bidWinner"}]})", 200, "", ""},  // an analytics batch
    };
    const auto events = acceptedAuctionEvents(wire, collection);
    ASSERT_EQ(events.size(), 3U);

    ShownAd ad;
    ad.unit = 101;
    ad.firstExchange = 1;
    ad.endExchange = 6;
    const auto summary = summarizeAuction(ad, wire, container, events);
    EXPECT_EQ(summary.requestId, "R1");
    EXPECT_EQ(summary.winner, "dsp-beta");  // the event names no endpoint: its bid id does
    EXPECT_EQ(summary.price, 2.4);
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(summary.losers,
              (Pairs{{"dsp-alpha", "failed with HTTP 500"}, {"core", "bid 0.05, under the unit's floor 0.10"}}));
    EXPECT_EQ(summary.trackers, (Pairs{{"https://trackers.test/seen?rid=R1", "404"}}));
    EXPECT_EQ(summary.eventCounts, (std::map<std::string, int>{{"bidRequest", 1}, {"bidWinner", 1}}));
    EXPECT_EQ(summary.problems, std::vector<std::string>{"tracker https://trackers.test/seen?rid=R1 answered 404"});

    // A stretch without bid requests, a unit the container lacks, an auction with no winner event.
    ad.endExchange = 1;
    EXPECT_EQ(summarizeAuction(ad, wire, container, events).problems,
              std::vector<std::string>{"no bid request went out"});
    ad.unit = 999;
    EXPECT_EQ(summarizeAuction(ad, wire, container, events).problems,
              std::vector<std::string>{"the container has no unit 999"});
    ad.unit = 101;
    ad.endExchange = 6;
    const auto unknown = summarizeAuction(ad, wire, container, {});
    EXPECT_FALSE(unknown.winner);
    EXPECT_EQ(unknown.losers.size(), 3U);
    EXPECT_EQ(unknown.problems.front(), "no winner among the accepted auction events");
}

// Runs the built example with a simulated ad network of the test's own named by the deployment
// variables, which the network sets while it lives.
class ExampleAppTest : public ::testing::Test {
protected:
    // The web units only (banner, interstitial and a first-view unit): one script fits every ad.
    void serveWebUnits() {
        auto plan = network->defaultContainer();
        plan.inventories.resize(2);
        auto firstView = plan.inventories[1];
        firstView.id = adUnitOf(AdFormat::firstView);
        plan.inventories.push_back(firstView);
        network->serveContainer("example-ad-key", plan);
    }

    testing::ChildOutcome run() {
        return testing::runProgram({QOR_EXAMPLE_PROGRAM, pages().string()},
                                   {{"QOR_APP_HOME", folder.file("home").string()}}, 60s);
    }
    std::filesystem::path pages() const { return folder.file("pages"); }

    std::unique_ptr<testing::SimulatedAdNetwork> network = testing::SimulatedAdNetwork::start({.demandCount = 2});
    testing::TempDirectory folder{"qor-example-run"};
};

TEST_F(ExampleAppTest, UsesTheDeploymentsServersShowsWhatTheContainerOffersAndReportsEachAuction) {
    serveWebUnits();
    const auto tracker = network->trackerURL("/seen") + "?r={{REQUEST_ID}}";
    network->demand(0).answer(BidAnswer::bids({{BidSpec{1.5, "<p>ad at {{AUCTION_PRICE}}</p>", tracker, {}}}}));
    network->demand(1).answer(BidAnswer::noContent().after(50ms));
    network->core().answer(BidAnswer::failure(500));

    const auto outcome = run();
    ASSERT_EQ(outcome.exitCode, 0) << outcome.output;
    const auto& output = outcome.output;

    // The container came from our servers, for the Info.plist's ad-network key.
    ASSERT_EQ(network->containerRequests().size(), 1U);
    EXPECT_EQ(network->containerRequests()[0].path, "/production/container/example-ad-key");
    // Three ads, each auctioned by every endpoint and each firing its viewable tracker.
    EXPECT_EQ(network->demand(0).receivedCount(), 3U);
    EXPECT_EQ(network->demand(1).receivedCount(), 3U);
    EXPECT_EQ(network->core().receivedCount(), 3U);
    EXPECT_EQ(network->trackerHits().size(), 3U);

    for (const auto* part : {"banner (unit 101): shown", "interstitial (unit 102): presented full-screen",
                             "first-view (unit 105): presented full-screen", "video: the container offers no unit 103",
                             "native: the container offers no unit 104", "Every step succeeded: 3 ads shown."}) {
        EXPECT_NE(output.find(part), std::string::npos) << part << "\n" << output;
    }
    EXPECT_EQ(occurrences(output, "winner   dsp-alpha at 1.50"), 3U) << output;
    EXPECT_EQ(occurrences(output, "lost     dsp-beta: no bid (204)"), 3U);
    EXPECT_EQ(occurrences(output, "lost     core: failed with HTTP 500"), 3U);
    EXPECT_EQ(occurrences(output, "tracker  https://trackers.qor.test/seen?r="), 3U);
    EXPECT_EQ(occurrences(output, " -> 200"), occurrences(output, " -> "));

    // Each web ad's page is on disk, with the price filled in.
    for (const auto* name : {"banner", "interstitial", "first-view"}) {
        EXPECT_NE(testing::readFile(pages() / (std::string(name) + ".html")).find("<p>ad at 1.5</p>"),
                  std::string::npos)
            << name;
    }
    // The collection endpoint got the analytics batch and the auction events, a winner per ad.
    std::size_t winners = 0;
    std::size_t analytics = 0;
    for (const auto& body : network->collection().receivedBodies()) {
        winners += occurrences(body, R"("name":"bidWinner")");
        analytics += occurrences(body, R"("typeSDK":"adnetwork")") == 0 ? 1 : 0;
    }
    EXPECT_EQ(winners, 3U);
    EXPECT_GE(analytics, 1U);
}

TEST_F(ExampleAppTest, ExitsNonZeroNamingEveryStepThatFailed) {
    serveWebUnits();  // every endpoint stays silent
    const auto outcome = run();
    EXPECT_EQ(outcome.exitCode, 1) << outcome.output;
    for (const auto* part :
         {"Failed steps:", "banner: failed: No available Ad", "interstitial: failed to load: No available Ad",
          "first-view: no winner among the accepted auction events"}) {
        EXPECT_NE(outcome.output.find(part), std::string::npos) << part << "\n" << outcome.output;
    }
    EXPECT_FALSE(std::filesystem::exists(pages() / "banner.html"));
}

}  // namespace
}  // namespace qor::example
