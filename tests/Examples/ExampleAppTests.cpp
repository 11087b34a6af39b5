#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "Judgement.h"
#include "testing/ChildProcess.h"
#include "testing/FileHelpers.h"
#include "testing/SimulatedAdNetwork.h"
#include "testing/TempDirectory.h"

namespace qor::example {
namespace {

using namespace std::chrono_literals;
using testing::BidAnswer;
using testing::BidSpec;
using Problems = std::vector<std::string>;

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

BidAnswer bid(double price, const std::string& id) {
    return BidAnswer::bids({{BidSpec{price, "<p>ad</p>", "https://trackers.test/seen?rid={{REQUEST_ID}}", id}}});
}

// What an auction of the three endpoints posted: a request and an answer event each, then its end.
std::vector<PostedEvent> events(const std::string& end, const std::string& winner = "", bool accepted = true) {
    std::vector<PostedEvent> posted;
    for (int endpoint = 0; endpoint < 3; ++endpoint) {
        posted.push_back({"bidRequest", "", "", accepted});
        posted.push_back({"bidResponse", "", "", accepted});
    }
    if (!end.empty()) posted.push_back({end, winner, end == "bidError" ? "04" : "", accepted});
    return posted;
}

// What a unit of dsp-alpha, dsp-beta and the core with the floor 0.10 came to, and how the app
// and the collection endpoint saw it.
struct Unit {
    bool directDeal = false;  // dsp-alpha's
    bool passBack = false;
};

AdSeen seenOf(std::vector<BidAnswer> answers, Unit unit, LoadSeen load, std::optional<std::vector<PostedEvent>> posted,
              bool trackerHit = true) {
    AdSeen seen{std::move(load), {true, true, 0.1F, unit.passBack, {}}, std::nullopt};
    seen.unit.endpoints = {{3, "dsp-alpha", unit.directDeal, {}}, {4, "dsp-beta", false, {}}, {-1, "core", false, {}}};
    for (std::size_t i = 0; i < answers.size(); ++i) seen.unit.endpoints[i].answers = {answers[i]};
    if (posted) seen.network = NetworkSeen{"R1", *posted, {trackerHit ? "/seen?rid=R1" : "/seen?rid=R0"}};
    return seen;
}

TEST(ExampleJudgement, LoadsAreJudgedByTheAuctionRulesAndOnlyRealFaultsAreProblems) {
    const LoadSeen shown{AdFormat::banner, 101, 1, std::nullopt, true, false, "shown"};
    const LoadSeen noAd{AdFormat::banner, 101, 1, "No available Ad", false, false, "failed"};
    const LoadSeen twice{AdFormat::banner, 101, 2, std::nullopt, true, false, "shown"};
    const LoadSeen never{AdFormat::banner, 101, 0, std::nullopt, false, false, "no answer"};
    const Unit open;
    const Unit deal{true, false};
    const auto none = BidAnswer::noContent();
    const auto problems = [](const AdSeen& seen) { return judgeLoad(seen).problems; };

    // As the rules say: the first direct deal decides alone, whatever the open bids; a bid under
    // the floor loses; with no bid left the pass-back, else "No available Ad".
    const auto directDeal = seenOf({bid(1.2, "a"), bid(2.5, "b"), none}, deal, shown, events("bidWinner", "a"));
    EXPECT_EQ(problems(directDeal), Problems{});
    EXPECT_EQ(problems(seenOf({bid(0.09, "a"), bid(0.1, "b"), BidAnswer::failure(500)}, open, shown,
                              events("bidWinner", "b"))),
              Problems{});
    EXPECT_EQ(problems(seenOf({bid(0.05, "a"), bid(3.0, "b"), none}, {true, true}, shown, events(""))), Problems{});
    EXPECT_EQ(problems(seenOf({none, none, none}, open, noAd, events("bidError"))), Problems{});
    EXPECT_EQ(problems(seenOf({}, deal, noAd, std::nullopt)), Problems{});  // another network: not seen

    // Real faults.
    EXPECT_EQ(problems(seenOf({bid(1.2, "a"), bid(2.5, "b"), none}, deal, shown, events("bidWinner", "b"))),
              Problems{"the SDK recorded bid b as the winner; the rules give dsp-alpha at 1.20"});
    EXPECT_EQ(problems(seenOf({bid(1.0, "a"), none, none}, open, twice, events("bidWinner", "a"))),
              Problems{"the load reached its delegate 2 times"});
    EXPECT_EQ(problems(seenOf({}, open, twice, std::nullopt)), Problems{"the load reached its delegate 2 times"});
    EXPECT_EQ(problems(seenOf({none, none, none}, open, never, events("bidError"))),
              Problems{"the load never reached its delegate"});
    EXPECT_EQ(problems(seenOf({none, bid(2.5, "b"), none}, open, noAd, events("bidWinner", "b"))),
              Problems{"failed with \"No available Ad\", yet dsp-beta at 2.50 is a winning bid"});
    EXPECT_EQ(problems(seenOf({none, none, none}, open, shown, events("bidError"))),
              Problems{"an ad was loaded, yet no bid passed and the unit has no pass-back"});
    EXPECT_EQ(
        problems(seenOf({bid(1.0, "a"), none, none}, open, shown, events("bidWinner", "a"), false)),
        Problems{"the viewable tracker of the shown ad was not fired (https://trackers.test/seen?rid={{REQUEST_ID}})"});
    EXPECT_EQ(problems(seenOf({bid(1.0, "a"), none, none}, open, shown, events("bidWinner", "a", false))),
              Problems{"7 auction events were refused by the collection endpoint"});
    EXPECT_EQ(problems(seenOf({none, none, none}, open, noAd, std::vector<PostedEvent>{})),
              (Problems{"the collection endpoint got 0 bidRequest events for 3 bid requests",
                        "the collection endpoint got 0 bidResponse or \"00\" bidError events for 3 bid requests",
                        "no \"04\" bid error reached the collection endpoint"}));
    // An SDK that skips the auction and fails as if nobody bid: every endpoint of the container
    // it did not ask is named, the core included, but not dsp-beta, to which the container gives
    // no bidding URL, nor any endpoint of a unit that does not serve the format.
    const auto platform = [](std::int64_t id, std::optional<std::string> name, std::optional<std::string> url) {
        DemandSidePlatform listed;
        listed.id = id;
        listed.name = std::move(name);
        listed.url = std::move(url);
        return listed;
    };
    Container container;
    container.core.url = "https://core.test/bid";
    container.platforms = {{platform(3, {}, "https://a.test/bid"), platform(4, {}, {})}};
    container.inventories.resize(1);
    container.inventories[0].id = 101;
    container.inventories[0].format = "banner";
    container.inventories[0].platforms = {{platform(3, "dsp-alpha", {}), platform(4, "dsp-beta", {})}};
    const AdSeen skipped{noAd, unitOf(container, 101, AdFormat::banner), NetworkSeen{}};
    EXPECT_EQ(problems(skipped), (Problems{"the endpoint dsp-alpha was not asked for a bid",
                                           "the endpoint core was not asked for a bid"}));
    EXPECT_EQ(problems({noAd, unitOf(container, 101, AdFormat::video), NetworkSeen{}}), Problems{});

    // What the summary says of the direct deal, endpoint by endpoint.
    using Lines = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(
        judgeLoad(directDeal).lines,
        (Lines{{"rule", "the direct deal dsp-alpha decides alone: dsp-alpha at 1.20 wins, whatever the open bids"},
               {"dsp-alpha", "bid 1.20 (direct deal): wins"},
               {"dsp-beta", "bid 2.50: not considered, the direct deal decides alone"},
               {"core", "no bid (204)"},
               {"events", "bidRequest 3, bidResponse 3, bidWinner 1: all accepted"},
               {"trackers", "viewable fired"}}));
    // A unit the container lacks is refused, whatever network it is.
    AdSeen missing{noAd, {}, std::nullopt};
    missing.load.failure = "Couldn't find any inventory in container";
    EXPECT_EQ(problems(missing), Problems{});
    missing.load = shown;
    EXPECT_EQ(problems(missing), Problems{"an ad was loaded for a unit the container does not offer for this format"});
}

TEST(ExampleJudgement, AnalyticsBatchesAreJudgedPerKind) {
    const auto batch = [](const std::string& types, int status) {
        return testing::CollectionServer::AnsweredPost{R"({"writeKey":"k","batch":[)" + types + "]}", status};
    };
    const std::string all =
        R"({"type":"track"},{"type":"identify"},{"type":"screen"},{"type":"group"},{"type":"alias"})";
    const std::vector<std::string> sent{"track", "identify", "screen", "group", "alias", "track"};
    AnalyticsSeen seen{sent, std::vector{batch(all, 200), batch(R"({"type":"track"})", 200)}, {"OK"}};
    seen.posts->push_back({R"({"writeKey":"k","typeSDK":"adnetwork","batch":[{},{}]})", 200});
    const auto verdict = judgeAnalytics(seen);
    EXPECT_EQ(verdict.problems, Problems{});
    ASSERT_EQ(verdict.lines.size(), 7U);
    EXPECT_EQ(verdict.lines[0],
              (std::pair<std::string, std::string>{"track", "sent 2, accepted 2 events in 2 batches"}));
    EXPECT_EQ(verdict.lines[4], (std::pair<std::string, std::string>{"alias", "sent 1, accepted 1 event in 1 batch"}));
    EXPECT_EQ(verdict.lines[5].second, "2 auction events accepted in 1 envelope");

    // A refused batch, and so a kind that never got through.
    seen.posts = {batch(all, 200), batch(R"({"type":"alias"})", 500)};
    seen.posts->front().body =
        batch(R"({"type":"track"},{"type":"identify"},{"type":"screen"},{"type":"group"})", 200).body;
    EXPECT_EQ(judgeAnalytics(seen).problems,
              (Problems{"the collection endpoint refused an analytics batch of 1 events (HTTP 500)",
                        "no alias event reached the collection endpoint"}));
    // Another network's endpoint: the SDK's console tells how each upload went.
    seen.posts.reset();
    seen.uploadResults = {"OK", "responseFailed(reason: invalidHTTPStatusAPIError(code: 500))"};
    EXPECT_EQ(judgeAnalytics(seen).problems,
              Problems{"an analytics upload failed: responseFailed(reason: invalidHTTPStatusAPIError(code: 500))"});
    seen.uploadResults.clear();
    EXPECT_EQ(judgeAnalytics(seen).problems, Problems{"the SDK reported no analytics upload"});
}

// Runs the built example with a simulated ad network of the test's own named by the deployment
// variables, which the network sets while it lives: to the example it is another network.
class ExampleAppTest : public ::testing::Test {
protected:
    // The web units only (banner, interstitial and a first-view unit with a pass-back), where
    // dsp-alpha may be a direct deal.
    void serveWebUnits(bool directDeal = false) {
        auto plan = network->defaultContainer();
        plan.inventories.resize(2);
        for (auto& unit : plan.inventories) unit.platforms[0].directDeal = directDeal ? 1 : 0;
        auto firstView = plan.inventories[1];
        firstView.id = adUnitOf(AdFormat::firstView);
        firstView.passBack = "<p>pass-back</p>";
        plan.inventories.push_back(firstView);
        network->serveContainer("example-ad-key", plan);
    }

    testing::ChildOutcome run() {
        return testing::runProgram({QOR_EXAMPLE_PROGRAM, pages().string()},
                                   {{"QOR_APP_HOME", folder.file("home").string()}}, 60s);
    }
    std::filesystem::path pages() const { return folder.file("pages"); }
    // The types of the analytics events the collection endpoint received.
    std::string analyticsTypes() const {
        std::string types;
        for (const auto& body : network->collection().receivedBodies()) {
            if (occurrences(body, R"("typeSDK":"adnetwork")") == 0) types += body;
        }
        return types;
    }

    std::unique_ptr<testing::SimulatedAdNetwork> network = testing::SimulatedAdNetwork::start({.demandCount = 2});
    testing::TempDirectory folder{"qor-example-run"};
};

TEST_F(ExampleAppTest, AgainstAnotherNetworkItJudgesWhatAnAppSeesAndExitsZeroWhenTheRulesHold) {
    // dsp-alpha is a direct deal on every unit: its 1.20 wins over dsp-beta's open 2.50.
    serveWebUnits(true);
    const auto tracker = network->trackerURL("/seen") + "?r={{REQUEST_ID}}";
    network->demand(0).answer(BidAnswer::bids({{BidSpec{1.2, "<p>ad at {{AUCTION_PRICE}}</p>", tracker, {}}}}));
    network->demand(1).answer(BidAnswer::bid(2.5).after(50ms));
    network->core().answer(BidAnswer::failure(500));

    const auto outcome = run();
    ASSERT_EQ(outcome.exitCode, 0) << outcome.output;
    const auto& output = outcome.output;
    // The container came from our servers, for the Info.plist's ad-network key.
    ASSERT_EQ(network->containerRequests().size(), 1U);
    EXPECT_EQ(network->containerRequests()[0].path, "/production/container/example-ad-key");
    // Three ads, each auctioned by every endpoint and each firing its viewable tracker; the
    // units the container lacks are refused, as they must be.
    EXPECT_EQ(network->demand(0).receivedCount(), 3U);
    EXPECT_EQ(network->core().receivedCount(), 3U);
    EXPECT_EQ(network->trackerHits().size(), 3U);
    for (const auto* part :
         {"1. banner, unit 101\n   outcome    shown in the app's screen",
          "2. interstitial, unit 102\n   outcome    presented full-screen",
          "3. first-view, unit 105\n   outcome    presented full-screen", "4. native, unit 104\n   outcome    failed: ",
          "   rule       the container has no unit 103: the SDK refuses the load",
          "dsp-alpha (direct deal), dsp-beta, core; another network's answers are not seen",
          "   upload     the SDK reports: OK", "5 loads: 3 shown, 2 without an ad. No PROBLEM"}) {
        EXPECT_NE(output.find(part), std::string::npos) << part << "\n" << output;
    }
    EXPECT_EQ(occurrences(output, "PROBLEM "), 0U) << output;
    // Each web ad's page is on disk, with the price filled in.
    for (const auto* name : {"1-banner", "2-interstitial", "3-first-view"}) {
        EXPECT_NE(testing::readFile(pages() / (std::string(name) + ".html")).find("<p>ad at 1.2</p>"),
                  std::string::npos)
            << name;
    }
    // The collection endpoint got the analytics events of all five kinds and a winner per ad.
    for (const auto* type : {R"("type":"track")", R"("type":"identify")", R"("type":"screen")", R"("type":"group")",
                             R"("type":"alias")"}) {
        EXPECT_NE(analyticsTypes().find(type), std::string::npos) << type;
    }
    std::size_t winners = 0;
    for (const auto& body : network->collection().receivedBodies())
        winners += occurrences(body, R"("name":"bidWinner")");
    EXPECT_EQ(winners, 3U);
}

TEST_F(ExampleAppTest, NoBidsAndAPassBackAreCorrectButARefusedUploadIsAProblem) {
    serveWebUnits();  // every endpoint stays silent
    network->collection().answerAlways(500, "collection down");
    const auto outcome = run();
    EXPECT_EQ(outcome.exitCode, 1) << outcome.output;
    for (const auto* part : {"1. banner, unit 101\n   outcome    failed: No available Ad",
                             "3. first-view, unit 105\n   outcome    presented full-screen",
                             "   PROBLEM    an analytics upload failed: ", "1 PROBLEM found"}) {
        EXPECT_NE(outcome.output.find(part), std::string::npos) << part << "\n" << outcome.output;
    }
    EXPECT_FALSE(std::filesystem::exists(pages() / "1-banner.html"));
    EXPECT_NE(testing::readFile(pages() / "3-first-view.html").find("<p>pass-back</p>"), std::string::npos);
}

// The box a page's creative declares for itself: the first element of the page's body, its
// inline width and height in pixels and whether it clips what would spill out. The web view is
// headless, so nothing lays the page out: the creative states its size.
struct DeclaredBox {
    int width = 0;
    int height = 0;
    bool clips = false;
};

std::optional<DeclaredBox> declaredBox(const std::string& page) {
    std::smatch style;
    if (!std::regex_search(page, style, std::regex(R"re(<body[^>]*>\s*<div style="([^"]*)")re"))) return std::nullopt;
    const std::string text = style[1];
    std::smatch width;
    std::smatch height;
    if (!std::regex_search(text, width, std::regex(R"((^|;)width:(\d+)px)")) ||
        !std::regex_search(text, height, std::regex(R"((^|;)height:(\d+)px)"))) {
        return std::nullopt;
    }
    return DeclaredBox{std::stoi(width[2]), std::stoi(height[2]), text.find("overflow:hidden") != std::string::npos};
}

// The example with its own network: each web ad is what its page says, a banner within its slot
// and a full-screen ad closed by the message its own close control posts.
TEST(ExampleOwnNetwork, ItsBannerFitsItsSlotAndItsFullScreenAdsCloseThroughTheirCloseControls) {
    testing::TempDirectory folder{"qor-example-own"};
    const auto outcome = testing::runProgram({QOR_EXAMPLE_PROGRAM, folder.file("pages").string()},
                                             {{"QOR_APP_HOME", folder.file("home").string()}}, 60s);
    ASSERT_EQ(outcome.exitCode, 0) << outcome.output;

    const auto banner = declaredBox(testing::readFile(folder.file("pages") / "1-banner.html"));
    EXPECT_TRUE(banner) << "the banner's creative declares no box";
    if (banner) {
        EXPECT_LE(banner->width, 320);
        EXPECT_LE(banner->height, 50);
        EXPECT_TRUE(banner->clips);
    }

    const std::string closeCall = R"(window.webkit.messageHandlers.bridge.postMessage('{"action":"close_ad"}'))";
    for (const auto* name : {"2-interstitial", "3-first-view"}) {
        const auto page = testing::readFile(folder.file("pages") / (std::string(name) + ".html"));
        EXPECT_NE(page.find("<button id=\"close\""), std::string::npos) << name;
        EXPECT_NE(page.find(closeCall), std::string::npos) << name;
    }
    // Both full-screen ads, the interstitial and the first view's pass-back, went by that message.
    EXPECT_EQ(occurrences(outcome.output,
                          "   outcome    presented full-screen; its close control's message "
                          R"({"action":"close_ad"} dismissed it)"
                          "\n"),
              2U)
        << outcome.output;
}

// The README's quick start against a simulated network of the test's own: the banner wins its
// auction, the event is recorded, and the README shows the file's lines as they are.
TEST(QuickStart, ShowsABannerRecordsItsEventAndIsTheREADMEsQuickStart) {
    const auto network = testing::SimulatedAdNetwork::start({.demandCount = 2});
    network->serveContainer("your-write-key", network->defaultContainer());
    network->demand(1).answer(BidAnswer::bid(1.5, "<p>quick start ad</p>"));
    testing::TempDirectory home{"qor-quickstart"};
    const auto outcome = testing::runProgram({QOR_QUICKSTART_PROGRAM}, {{"QOR_APP_HOME", home.path().string()}}, 60s);
    ASSERT_EQ(outcome.exitCode, 0) << outcome.output;
    EXPECT_NE(outcome.output.find("the banner shows an ad\n"), std::string::npos) << outcome.output;
    EXPECT_EQ(network->demand(0).receivedCount(), 1U);
    EXPECT_EQ(network->demand(1).receivedCount(), 1U);
    EXPECT_EQ(network->core().receivedCount(), 1U);
    std::size_t recorded = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home.path())) {
        if (entry.is_regular_file()) recorded += occurrences(testing::readFile(entry.path()), "Quick Start Opened");
    }
    EXPECT_EQ(recorded, 1U);

    const auto source = testing::readFile(QOR_SOURCE_DIR "/examples/quickstart/QuickStart.cpp");
    EXPECT_NE(testing::readFile(QOR_SOURCE_DIR "/README.md").find("```cpp\n" + source + "```\n"), std::string::npos)
        << "README.md's quick start is not examples/quickstart/QuickStart.cpp as it is";
}

}  // namespace
}  // namespace qor::example
