#include "AdNetwork/EngineHarness.h"
#include "Analytics/Analytics.h"
#include "Analytics/QORDestination.h"
#include "Views/AdView.h"
#include "Views/AdViewMarkup.h"

namespace qor::enginetest {
namespace {

using TrackerTest = EngineTest;

// Fires the tracker as a format does (its log line through trackerCompletion) and waits for
// the completion.
std::optional<Result<std::string>> fire(const std::string& url, AdTrackerType kind) {
    std::optional<Result<std::string>> outcome;
    AdNetworkApiClient::shared().fireTracker(url, [&](const Result<std::string>& result) {
        EXPECT_TRUE(platform::Thread::isMainThread());
        AdNetworkApiClient::trackerCompletion(kind, result);
        outcome = result;
    });
    testing::pumpMainUntil([&] { return outcome.has_value(); });
    return outcome;
}

TEST_F(TrackerTest, TrackersGoToHttpsOnTheDefaultPortEncodedOnceForAQuery) {
    startWithDefaultContainer();
    test::SDKLogCapture log;
    const std::string base = network().trackerURL("/v1/view");
    network().trackerURL("/");
    const std::string host = SimulatedAdNetwork::trackerHost;
    struct Case {
        std::string url;
        std::string query;  // as the tracker server received it
        std::string path = "/v1/view";
    };
    const std::vector<Case> cases = {
        {base + "?rid=REQ-1&w=a b", "rid=REQ-1&w=a%20b"},
        {base + "?n=caf\xc3\xa9", "n=caf%C3%A9"},
        {base + "?already=%41", "already=%2541"},  // an escape is encoded again
        // Scheme and port of the given URL are not used; the fragment is never sent.
        {"http://" + host + ":8080/v1/view?p=1#frag", "p=1"},
        {"https://" + host + "#frag", "", "/"},
        {"https://" + host + "/v1/view#a#b [c]", ""},
        // A bracketed host stays a host; brackets elsewhere are encoded.
        {"https://[::1]/v1/view?x=[1]", "x=%5B1%5D"},
        {"https://[::1]:8443/v1/view#frag", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        const auto before = network().trackerHits().size();
        const auto outcome = fire(c.url, AdTrackerType::viewable);
        ASSERT_TRUE(outcome.has_value());
        EXPECT_TRUE(outcome->isSuccess()) << outcome->error().description();
        ASSERT_EQ(network().trackerHits().size(), before + 1);
        const auto hit = network().trackerHits().back();
        EXPECT_EQ(hit.method, "GET");
        EXPECT_EQ(hit.path, c.path);
        EXPECT_EQ(hit.query, c.query);
        EXPECT_EQ(log.lines().back(), "[QORSDK] Perform viewable tracker success\n");
    }
}

TEST_F(TrackerTest, AFailedTrackerLogsTheErrorAndReachesNothingElse) {
    startWithDefaultContainer();
    test::SDKLogCapture log;
    const auto outcome = fire(network().trackerURL("/impression", 500), AdTrackerType::rendered);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_TRUE(outcome->isFailure());
    ASSERT_EQ(log.lines().size(), 1U);
    EXPECT_EQ(log.lines()[0].rfind("[QORSDK] Perform rendered Tracker failed: responseFailed", 0), 0U)
        << log.lines()[0];
    EXPECT_NE(log.lines()[0].find("500"), std::string::npos) << log.lines()[0];

    // A text without a host fails without a request.
    const auto before = network().trackerHits().size();
    const auto noHost = fire("/relative/only", AdTrackerType::clicked);
    ASSERT_TRUE(noHost.has_value());
    EXPECT_TRUE(noHost->isFailure());
    EXPECT_EQ(log.lines().back().rfind("[QORSDK] Perform clicked Tracker failed: requestFailed", 0), 0U);
    EXPECT_EQ(network().trackerHits().size(), before);

    // Text that cannot be percent-encoded is dropped: no request, no completion, no line.
    bool called = false;
    AdNetworkApiClient::shared().fireTracker("https://trackers.qor.test/\xff", [&](const auto&) { called = true; });
    testing::pumpMainFor(std::chrono::milliseconds(50));
    EXPECT_FALSE(called);
    EXPECT_EQ(log.lines().size(), 2U);
}

TEST_F(TrackerTest, MarkupIsFetchedFromItsURLUnchanged) {
    startWithDefaultContainer();
    const std::string html = "<div>price {{AUCTION_PRICE}} for {{REQUEST_ID}}</div>";
    const std::string url = network().markupURL("/creative/1", html) + "?cb=%41";
    std::optional<Result<std::string>> outcome;
    AdNetworkApiClient::shared().sendPassBack(url, [&](const Result<std::string>& result) { outcome = result; });
    ASSERT_TRUE(testing::pumpMainUntil([&] { return outcome.has_value(); }));
    ASSERT_TRUE(outcome->isSuccess());
    EXPECT_EQ(outcome->value(), html);
    EXPECT_EQ(network().markupServer().requests().back().query, "cb=%41");
}

TEST_F(TrackerTest, AWinningBidCarriesWhatTheFormatsFillIntoTheMacros) {
    startWithDefaultContainer();
    const std::string viewable = network().trackerURL("/vade") + "?rid={{REQUEST_ID}}";
    network().demand(0).answer(
        BidAnswer::bids({{BidSpec{1.25, "<p>{{AUCTION_PRICE}} {{REQUEST_ID}}</p>", viewable, std::nullopt}}}));
    const auto outcome = banner();
    ASSERT_TRUE(outcome.result->isSuccess());
    const Bid& bid = outcome.bid();
    EXPECT_EQ(bid.adMarkup, "<p>{{AUCTION_PRICE}} {{REQUEST_ID}}</p>");
    ASSERT_TRUE(bid.requestId.has_value());
    // What the web formats fill in: the price and the request id into the markup, the request
    // id into the viewable tracker they fire.
    EXPECT_EQ(substituteAdMarkup(*bid.adMarkup, *bid.requestId, bid.price), "<p>1.25 " + *bid.requestId + "</p>");
    test::SDKLogCapture log;
    fireViewableTracker(bid);
    ASSERT_TRUE(testing::pumpMainUntil([&] { return !log.lines().empty(); }));
    EXPECT_EQ(log.lines(), std::vector<std::string>{"[QORSDK] Perform viewable tracker success\n"});
    ASSERT_EQ(network().trackerHits().size(), 1U);
    EXPECT_EQ(network().trackerHits()[0].path, "/vade");
    EXPECT_EQ(network().trackerHits()[0].query, "rid=" + *bid.requestId);
}

// Servers reached over TLS may redirect, but never to plain HTTP: a bid endpoint, a viewable
// tracker's host and the collection endpoint (the analytics batch and the auction events) each
// answer with a redirect to a plain server on this host, and nothing reaches it.
TEST_F(TrackerTest, NoRedirectLeadsARequestOffTLS) {
    const auto plain = testing::LoopbackServer::makeHTTP();
    const auto movedTo = [&plain](int status, const std::string& path) {
        return [&plain, status, path](const testing::RecordedRequest&) {
            auto moved = testing::ScriptedResponse::text(status, "moved");
            moved.headers.emplace_back("Location", plain->url(path));
            return moved;
        };
    };
    startWithDefaultContainer();
    network().demand(0).answer(
        BidAnswer::bids({{BidSpec{1.0, "<p>ad</p>", network().trackerURL("/seen"), std::nullopt}}}));
    network().demand(1).server().route("POST", "/bid", movedTo(307, "/bid"));
    network().trackerServer().route("GET", "/seen", movedTo(302, "/seen"));
    network().collection().server().route("POST", testing::CollectionServer::collectionPath,
                                          movedTo(307, testing::CollectionServer::collectionPath));
    const auto outcome = banner();
    ASSERT_TRUE(outcome.result->isSuccess()) << outcome.errorText();
    test::SDKLogCapture log;
    fireViewableTracker(outcome.bid());
    QOR::track("Redirected");
    Analytics::sharedInstance()->find<QORDestination>()->flush();
    // The upload's own result line may come first: only the SDK's log lines are the tracker's.
    ASSERT_TRUE(testing::pumpMainUntil([&] { return !log.sdkLogLines().empty(); }));
    EXPECT_EQ(log.sdkLogLines()[0].rfind("[QORSDK] Perform viewable Tracker failed: ", 0), 0U) << log.sdkLogLines()[0];

    // The auction's events come 5 s after its last recording; the refused endpoint is among them
    // as a transport failure.
    std::optional<Json> envelope;
    bool batch = false;
    ASSERT_TRUE(testing::pumpMainUntil(
        [&] {
            for (const auto& body : network().collection().receivedBodies()) {
                auto posted = Json::parse(body);
                if (posted.value("typeSDK", "") == "adnetwork") envelope = posted;
                batch = batch || body.find("\"Redirected\"") != std::string::npos;
            }
            return envelope && batch;
        },
        std::chrono::seconds(15)));
    auto session = Session::sharedInstance();
    ASSERT_TRUE(testing::pumpMainUntil([&] { return session->delegate()->taskCount() == 0; }));
    EXPECT_EQ(plain->requestCount(), 0U);
    std::optional<Json> refused;
    for (const auto& event : (*envelope)["batch"]) {
        const auto& data = event["context"]["adData"];
        if (event["name"] == "bidError" && data.value("dsp_id", 0) == network().demand(1).id()) refused = data;
    }
    ASSERT_TRUE(refused);
    EXPECT_EQ((*refused)["error_code"], "00");
    EXPECT_EQ((*refused)["error_reason"], "Not yet implemented: ");
}

}  // namespace
}  // namespace qor::enginetest
