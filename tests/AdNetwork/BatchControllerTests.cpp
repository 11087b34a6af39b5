// Auction events reaching a loopback collection server: the envelope and its events, the wait
// after the latest recording, the size threshold, unsent-only measurement, uploads that fail,
// events that cannot be encoded and recordings from several threads.
#include <atomic>
#include <chrono>
#include <limits>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "AdNetwork/AdNetworkApiClient.h"
#include "AdNetwork/BatchRecorder.h"
#include "AdNetwork/PostBidRequest.h"
#include "AdNetworkTestSupport.h"
#include "Analytics/PostBatchRequest.h"
#include "Core/SDKLogCapture.h"
#include "Models/OpenRTB/ImpressionBuilder.h"
#include "Networking/Client/Session/Session.h"
#include "Platform/Support/DeviceProfile.h"
#include "testing/CollectionServer.h"
#include "testing/MainLoopPump.h"
#include "testing/ScopedEnvironment.h"

namespace qor::testing {
namespace {

using namespace std::chrono_literals;

class BatchControllerTest : public ::testing::Test {
protected:
    BatchControllerTest()
        : collection_(CollectionServer::makeHTTP()), endpoint_("QOR_COLLECTION_URL", collection_->collectionURL()) {
        Session::setSharedInstance(Session::makeDefault());
    }
    ~BatchControllerTest() override { platform::resetDeviceProfile(); }

    std::shared_ptr<BatchRecorder> recorder(std::chrono::nanoseconds delay = 200ms, std::size_t threshold = 512000) {
        return BatchRecorder::make({delay, threshold}, makeBatchContext());
    }

    static AdData::BidWinner winner(std::string markup = "<div/>") {
        return AdData::BidWinner{"bid", "imp", 1.5F, std::move(markup), 3, "Alpha", false, 12, 101};
    }

    static void record(BatchRecorder& controller, const std::string& requestId, AdData data = AdData(winner())) {
        controller.addBatch(BatchType::bidWinner, "key", requestId, std::move(data), "anon");
    }

    std::vector<Json> envelopes() const {
        std::vector<Json> all;
        for (const auto& body : collection_->receivedBodies()) all.push_back(Json::parse(body));
        return all;
    }

    static std::vector<std::string> requestIds(const Json& envelope) {
        std::vector<std::string> ids;
        for (const auto& event : envelope["batch"]) ids.push_back(event["requestId"]);
        return ids;
    }

    // Pumps until every upload has completed.
    // Generous limits: the waits end as soon as the condition holds, and a loaded machine can
    // take seconds to serve many envelopes.
    static bool settle(BatchRecorder& controller) {
        return pumpMainUntil([&] { return controller.inFlightCount() == 0; }, 30s);
    }

    std::unique_ptr<CollectionServer> collection_;
    ScopedEnvironment endpoint_;
};

// The wait is longer than a second, so the first and the latest recording, and the latest
// recording and the upload, fall in different seconds: "sentAt" tells which it was taken from.
TEST_F(BatchControllerTest, OneEnvelopeAfterTheLatestRecordingCarriesEveryEventInOrder) {
    const auto controller = recorder(1100ms);
    record(*controller, "r1");
    pumpMainFor(550ms);
    controller->addBatch(BatchType::bidError, "key", "r2",
                         AdData(AdData::BidError{"r2", std::nullopt, std::nullopt, "04", "NO_CONTENT", false, {}}),
                         "anon");
    pumpMainFor(550ms);
    controller->addBatch(BatchType::bidRequest, "key", "r3", std::nullopt, "anon");
    pumpMainFor(550ms);
    EXPECT_EQ(collection_->receivedCount(), 0U);  // each recording restarted the wait

    ASSERT_TRUE(pumpMainUntil([&] { return collection_->receivedCount() == 1; }));
    ASSERT_TRUE(settle(*controller));
    pumpMainFor(400ms);
    ASSERT_EQ(collection_->receivedCount(), 1U);

    const auto request = collection_->receivedRequests().front();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, CollectionServer::collectionPath);
    EXPECT_EQ(request.header("Accept"), "application/json");
    EXPECT_EQ(request.header("Cache-Control"), "private, no-store, no-cache, must-revalidate");
    EXPECT_EQ(request.header("Content-Type"), "text/plain");
    EXPECT_FALSE(request.header("Authorization").has_value());

    const Json envelope = envelopes().front();
    EXPECT_EQ(keysOfObject(envelope), (std::set<std::string>{"writeKey", "batch", "sentAt", "typeSDK"}));
    EXPECT_EQ(envelope["writeKey"], "key@ios");
    EXPECT_EQ(envelope["typeSDK"], "adnetwork");
    EXPECT_EQ(requestIds(envelope), (std::vector<std::string>{"r1", "r2", "r3"}));
    EXPECT_EQ(envelope["sentAt"], envelope["batch"][2]["timestamp"]);  // the latest recording's
    EXPECT_NE(envelope["sentAt"], envelope["batch"][0]["timestamp"]);

    const Json& first = envelope["batch"][0];
    EXPECT_EQ(first["anonymousId"], "anon");
    EXPECT_EQ(first["name"], "bidWinner");
    EXPECT_EQ(first["type"], "track");
    EXPECT_EQ(first["writeKey"], "key@ios");
    EXPECT_EQ(first["timestamp"].get<std::string>().size(), 19U);
    EXPECT_EQ(first["context"]["adData"]["dsp_name"], "Alpha");
    EXPECT_EQ(envelope["batch"][1]["context"]["adData"]["error_reason"], "NO_CONTENT");
    EXPECT_FALSE(envelope["batch"][2]["context"].contains("adData"));
    EXPECT_EQ(first["context"]["app"], envelope["batch"][2]["context"]["app"]);  // the context captured once
    EXPECT_EQ(controller->pendingCount(), 0U);
}

// One event whose list encodes to exactly this many bytes.
std::string markupForListLength(const BatchRecorder& controller, std::size_t length) {
    Batch probe = controller.makeBatch(BatchType::bidWinner, "key@ios", "r", "anon");
    probe.fillBatchAdData(BatchType::bidWinner,
                          AdData(AdData::BidWinner{"bid", "imp", 1.5F, std::string(), 3, "Alpha", false, 12, 101}));
    const std::size_t base = platform::JSONEncoder{}.encodeToString(std::vector<Batch>{probe}).size();
    return std::string(length - base, 'a');
}

// The shared recorder as shipped: a list that encodes to 512000 bytes is posted at once, one
// byte less waits five seconds. Its events keep the context it captured when it was made, though
// the language and the time zone change between them.
TEST_F(BatchControllerTest, TheSharedRecorderPostsAtTheThresholdOrFiveSecondsAfterTheLatestRecording) {
    const auto shared = BatchRecorder::shared();
    // The one an app reaches through the public class.
    EXPECT_EQ(BatchController::shared().get(), static_cast<BatchController*>(shared.get()));
    // Events another test left in it go out within five seconds.
    ASSERT_TRUE(pumpMainUntil([&] { return shared->pendingCount() + shared->inFlightCount() == 0; }, 15s));
    const std::size_t before = collection_->receivedCount();

    record(*shared, "r", AdData(winner(markupForListLength(*shared, 512000))));
    EXPECT_EQ(shared->pendingCount(), 0U);
    ASSERT_TRUE(collection_->waitForPosts(before + 1));
    EXPECT_GT(collection_->receivedBodies().back().size(), 512000U);

    platform::updateDeviceProfile([](platform::DeviceProfile& profile) {
        profile.preferredLanguages = {"vi-VN"};
        profile.timeZoneIdentifier = "Pacific/Chatham";
    });
    const auto recordedAt = std::chrono::steady_clock::now();
    record(*shared, "r", AdData(winner(markupForListLength(*shared, 512000 - 1))));
    EXPECT_EQ(shared->pendingCount(), 1U);
    ASSERT_TRUE(pumpMainUntil([&] { return collection_->receivedCount() == before + 2; }, 8s));
    EXPECT_GE(collection_->receivedRequests().back().arrivedAt - recordedAt, 5s);
    ASSERT_TRUE(settle(*shared));

    for (const auto& envelope : envelopes()) {
        EXPECT_EQ(envelope["batch"][0]["context"]["locale"], shared->context().locale);
        EXPECT_EQ(envelope["batch"][0]["context"]["timezone"], shared->context().timezone);
    }
}

// A bid request event weighs exactly what the whole event encodes to: at the threshold it goes
// out at once, one byte under it waits.
TEST_F(BatchControllerTest, ABidRequestEventWeighsWhatItEncodesTo) {
    BidRequest request = AdNetworkApiClient::shared().buildBidRequest(std::nullopt);
    request.user.id = "anon \"quoted\" / \u00e9";
    request.impression.front().ext = extensionForEndpoint("core", 12, 101);

    const auto probeOwner = recorder(5s);
    Batch probe = probeOwner->makeBatch(BatchType::bidRequest, "key@ios", "r", "anon");
    probe.fillBatchAdData(BatchType::bidRequest, AdData(request));
    const std::size_t length = platform::JSONEncoder{}.encodeToString(std::vector<Batch>{probe}).size();

    const auto below = recorder(5s, length + 1);
    below->addBatch(BatchType::bidRequest, "key", "r", AdData(request), "anon");
    EXPECT_EQ(below->pendingCount(), 1U);
    // A payload that is not the kind's record is left out.
    below->addBatch(BatchType::bidResponse, "key", "r", AdData(request), "anon");
    EXPECT_EQ(below->pendingCount(), 0U);  // the second event's brackets and comma crossed it

    const auto at = recorder(5s, length);
    at->addBatch(BatchType::bidRequest, "key", "r", AdData(request), "anon");
    EXPECT_EQ(at->pendingCount(), 0U);
    ASSERT_TRUE(collection_->waitForPosts(2));
    ASSERT_TRUE(settle(*below));
    ASSERT_TRUE(settle(*at));
    const auto all = envelopes();
    ASSERT_EQ(all.size(), 2U);
    const auto sentFirst = all[0]["batch"].size() == 2 ? 0 : 1;
    EXPECT_EQ(all[sentFirst]["batch"][0]["context"]["adData"]["user"]["id"], request.user.id);
    EXPECT_FALSE(all[sentFirst]["batch"][1]["context"].contains("adData"));
    EXPECT_EQ(all[1 - sentFirst]["batch"].size(), 1U);
}

TEST_F(BatchControllerTest, PostingAtOnceCancelsThePendingWaitAndOnlyUnsentEventsAreMeasured) {
    const auto controller = recorder(200ms, 3000);
    record(*controller, "small");
    record(*controller, "big", AdData(winner(std::string(3000, 'b'))));  // crosses the threshold
    ASSERT_TRUE(collection_->waitForPosts(1));
    pumpMainFor(400ms);  // the wait armed by "small" must not post again
    EXPECT_EQ(collection_->receivedCount(), 1U);
    EXPECT_EQ(requestIds(envelopes()[0]), (std::vector<std::string>{"small", "big"}));

    // In flight and still unanswered: a later recording measures and sends only itself.
    collection_->holdAnswers();
    record(*controller, "big2", AdData(winner(std::string(3000, 'c'))));
    ASSERT_TRUE(collection_->waitForPosts(2));
    record(*controller, "after");
    EXPECT_EQ(controller->pendingCount(), 1U);
    EXPECT_EQ(controller->inFlightCount(), 1U);
    ASSERT_TRUE(pumpMainUntil([&] { return collection_->receivedCount() == 3; }));
    collection_->releaseAnswers();
    ASSERT_TRUE(settle(*controller));
    const auto all = envelopes();
    EXPECT_EQ(requestIds(all[1]), std::vector<std::string>{"big2"});
    EXPECT_EQ(requestIds(all[2]), std::vector<std::string>{"after"});
}

// A bid response of one bid made long by its customdata, a bid's adomain list and its seat's ext.
BidResponse longAnswer() {
    Bid bid("bid", "imp", 1.0F, "<div/>");
    bid.advertiserDomains = std::vector<std::string>(2000, "advertiser.example");
    SeatBid seat;
    seat.bids = {bid};
    seat.seat = "Alpha";
    seat.ext = std::string(30000, 'e');
    BidResponse response;
    response.id = "older";
    response.seatBids = std::vector<SeatBid>{seat};
    response.customData = std::string(30000, 'c');
    return response;
}

// Two auctions recording at once, the older one's answer last: their events go out in the order
// recorded under the latest recording's "sentAt". The answer weighs what its event encodes to,
// whatever makes it long: with it the list comes to the threshold and goes out at once, one byte
// under the threshold it waits for the wait after the latest recording.
TEST_F(BatchControllerTest, AuctionsRecordingAtOnceGoOutInRecordingOrderAndEveryByteCounts) {
    struct Step {
        BatchType type;
        std::string requestId;
        std::optional<AdData> data;
    };
    const std::vector<Step> steps = {{BatchType::bidRequest, "older", std::nullopt},
                                     {BatchType::bidRequest, "younger", std::nullopt},
                                     {BatchType::bidWinner, "younger", AdData(winner())},
                                     {BatchType::bidResponse, "older", AdData(longAnswer())}};
    const auto probeOwner = recorder(5s);
    std::vector<Batch> probes;
    for (const auto& step : steps) {
        probes.push_back(probeOwner->makeBatch(step.type, "key@ios", step.requestId, "anon"));
        probes.back().fillBatchAdData(step.type, step.data);
    }
    const std::size_t length = platform::JSONEncoder{}.encodeToString(probes).size();

    const auto at = recorder(5s, length);
    const auto below = recorder(1500ms, length + 1);
    const auto add = [&](std::size_t from, std::size_t to) {
        for (const auto& controller : {at, below}) {
            for (std::size_t i = from; i < to; ++i) {
                controller->addBatch(steps[i].type, "key", steps[i].requestId, steps[i].data, "anon");
            }
        }
    };
    add(0, 1);
    pumpMainFor(1100ms);  // the first recording and the latest fall in different seconds
    add(1, steps.size());
    EXPECT_EQ(at->pendingCount(), 0U);
    ASSERT_TRUE(collection_->waitForPosts(1));
    EXPECT_EQ(below->pendingCount(), 4U);
    ASSERT_TRUE(pumpMainUntil([&] { return collection_->receivedCount() == 2; }));
    ASSERT_TRUE(settle(*at));
    ASSERT_TRUE(settle(*below));
    for (const auto& envelope : envelopes()) {
        EXPECT_EQ(requestIds(envelope), (std::vector<std::string>{"older", "younger", "younger", "older"}));
        EXPECT_EQ(envelope["batch"][3]["context"]["adData"]["customdata"].get<std::string>().size(), 30000U);
        EXPECT_EQ(envelope["sentAt"], envelope["batch"][3]["timestamp"]);
        EXPECT_NE(envelope["sentAt"], envelope["batch"][0]["timestamp"]);
    }
}

TEST_F(BatchControllerTest, AFailedUploadIsNotRetriedAndItsEventsAreGone) {
    collection_->answerAlways(500, "Internal error");
    const auto controller = recorder(100ms);
    record(*controller, "r1");
    ASSERT_TRUE(pumpMainUntil([&] { return collection_->receivedCount() == 1; }));
    ASSERT_TRUE(settle(*controller));
    record(*controller, "r2");
    ASSERT_TRUE(pumpMainUntil([&] { return collection_->receivedCount() == 2; }));
    ASSERT_TRUE(settle(*controller));
    pumpMainFor(300ms);
    EXPECT_EQ(collection_->receivedCount(), 2U);
    EXPECT_EQ(requestIds(envelopes()[1]), std::vector<std::string>{"r2"});
}

// A bid request whose ad request context nests `depth` arrays.
BidRequest bidRequestWithContextDepth(std::size_t depth) {
    JSON context = 1;
    for (std::size_t level = 0; level < depth; ++level) context = JSON(JSON::Array{std::move(context)});
    return AdNetworkApiClient::shared().buildBidRequest(context);
}

// An event that cannot be encoded, or whose text would not read back inside its envelope, is
// reported and dropped alone: the events beside it are posted. An envelope that cannot be
// converted anyway is never posted without its events.
TEST_F(BatchControllerTest, AnEventThatCannotBePostedIsReportedAndDroppedAlone) {
    const auto controller = recorder(100ms);
    test::SDKLogCapture log;
    AdData::BidWinner broken = winner();
    broken.price = std::numeric_limits<float>::infinity();
    record(*controller, "infinite", AdData(broken));
    EXPECT_EQ(controller->pendingCount(), 0U);  // waits for the recording to be measured
    ASSERT_EQ(log.lines().size(), 1U);
    EXPECT_EQ(log.lines()[0].rfind("Encode Batch Error: ", 0), 0U) << log.lines()[0];

    // The bid request itself is sent to the bidders at these depths, but its event sits six
    // containers deeper in an envelope: 506 is the deepest context an envelope can carry.
    for (const std::size_t depth : {507U, 510U}) {
        ASSERT_NE(PostBidRequest::Body::make(bidRequestWithContextDepth(depth))->json, nullptr);
    }
    record(*controller, "before");
    controller->addBatch(BatchType::bidRequest, "key", "deep-510", AdData(bidRequestWithContextDepth(510)), "anon");
    controller->addBatch(BatchType::bidRequest, "key", "deepest", AdData(bidRequestWithContextDepth(506)), "anon");
    controller->addBatch(BatchType::bidRequest, "key", "deep-507", AdData(bidRequestWithContextDepth(507)), "anon");
    record(*controller, "after");
    EXPECT_EQ(controller->pendingCount(), 3U);
    ASSERT_EQ(log.lines().size(), 3U);
    for (const auto& line : log.lines()) EXPECT_EQ(line.rfind("Encode Batch Error: ", 0), 0U) << line;

    ASSERT_TRUE(pumpMainUntil([&] { return collection_->receivedCount() == 1; }));
    ASSERT_TRUE(settle(*controller));
    EXPECT_EQ(requestIds(envelopes()[0]), (std::vector<std::string>{"before", "deepest", "after"}));

    // An envelope built around such an event fails as a request that cannot be encoded.
    BatchRequest envelope;
    envelope.writeKey = "key@ios";
    envelope.batches.push_back(controller->makeBatch(BatchType::bidRequest, "key@ios", "deep", "anon"));
    envelope.batches.back().fillBatchAdData(BatchType::bidRequest, AdData(bidRequestWithContextDepth(507)));
    std::optional<Result<std::string>> outcome;
    Session::sharedInstance()->send(PostBatchRequest::carrying(std::move(envelope)),
                                    CallbackQueue::currentMainOrAsync{},
                                    [&](const Result<std::string>& result) { outcome = result; });
    ASSERT_TRUE(pumpMainUntil([&] { return outcome.has_value(); }));
    ASSERT_TRUE(outcome->isFailure());
    const auto* failed = outcome->error().as<QORSDKError::requestFailed>();
    ASSERT_NE(failed, nullptr) << outcome->error().description();
    EXPECT_NE(failed->reason.as<QORSDKError::RequestErrorReason::jsonEncodingFailed>(), nullptr);
    EXPECT_EQ(collection_->receivedCount(), 1U);
}

// The texts that go on the wire are encoded once and are, byte for byte, what converting the
// record to parameters and writing those again made: the bid body beside its dictionary round
// trip, and the envelope the recorder posts beside the same events converted as one envelope.
// Realistic values with what a round trip could change: key order, slashes, quotes, control
// characters and other scripts, fractions, exponents, large and negative numbers, -0, nesting.
TEST_F(BatchControllerTest, TheBidBodyAndTheEnvelopeAreTheBytesTheParameterConversionWrote) {
    const auto context = JSON::fromAny(platform::JSONSerialization::jsonObject(std::string_view(R"({
        "page": "https://news.example/a/b?x=1&y=\"q\"", "tags": ["sport", "caf\u00e9", "\u65e5\u672c", "tab\tnew\nline\u0001"],
        "score": 0.1, "ratio": 1.5, "tiny": 1e-7, "large": 6.02214076e23, "id": 12345678901234567, "neg": -42,
        "precise": 0.12345678901234567890123, "huge": 18446744073709551616000, "flag": true, "none": null, "nested": {"deep": [[[1, 2.5]]], "z": {}}
    })")));
    BidRequest request = AdNetworkApiClient::shared().buildBidRequest(context);
    request.user.id = "anon \"quoted\" / \u00e9";
    request.impression.front().ext = extensionForEndpoint("core", 12, 101);
    request.impression.front().banner = bannerForSize(ImpressionSize{320, 50});
    const auto parameters = encodeBidRequestToDictionary(request);
    ASSERT_TRUE(parameters.has_value());
    const auto body = PostBidRequest::Body::make(request);
    ASSERT_NE(body->json, nullptr);
    EXPECT_EQ(platform::stringFromData(*body->json), platform::JSONSerialization::string(platform::Any(*parameters)));

    const auto response = platform::JSONDecoder().decode<BidResponse>(platform::dataFromString(R"({
        "id": "resp-1", "cur": "USD", "seatbid": [{"seat": "alpha", "bid": [{"id": "b1", "impid": "1",
        "price": 2.75, "nurl": "https://win.example/n?p=${AUCTION_PRICE}", "adm": "<div class=\"ad\">caf\u00e9</div><script>a<\/script>",
        "adomain": ["alpha.example"], "w": 320, "h": 50}, {"id": "b2", "impid": "1", "price": 0.0001},
        {"id": "b3", "impid": "1", "price": -0.0, "w": 9223372036854775807}]}]
    })"));
    const auto recording = recorder(100ms);
    recording->addBatch(BatchType::bidRequest, "key", "r1", AdData(request), "anon \u00e9");
    recording->addBatch(BatchType::bidResponse, "key", "r1", AdData(response), "anon \u00e9");
    recording->addBatch(BatchType::bidWinner, "key", "r1",
                        AdData(winner("<a href=\"https://x.example/\">\u00e9</a>\r\n")), "anon \u00e9");
    recording->addBatch(BatchType::bidError, "key", "r1",
                        AdData(AdData::BidError{"r1", 7, "Beta/\"b\"", "00", "timed out", true, {101, 102}}), "anon");
    recording->addBatch(BatchType::bidRequest, "key", "r1", std::nullopt, "anon");
    ASSERT_TRUE(pumpMainUntil([&] { return collection_->receivedCount() == 1; }));
    ASSERT_TRUE(settle(*recording));
    const std::string posted = collection_->receivedBodies().front();

    // The same events, stamped as they were, converted the way a whole envelope is.
    const Json sent = Json::parse(posted);
    BatchRequest envelope;
    envelope.writeKey = "key@ios";
    envelope.sentAt = sent["sentAt"];
    const std::vector<std::pair<BatchType, std::optional<AdData>>> events{
        {BatchType::bidRequest, AdData(request)},
        {BatchType::bidResponse, AdData(response)},
        {BatchType::bidWinner, AdData(winner("<a href=\"https://x.example/\">\u00e9</a>\r\n"))},
        {BatchType::bidError, AdData(AdData::BidError{"r1", 7, "Beta/\"b\"", "00", "timed out", true, {101, 102}})},
        {BatchType::bidRequest, std::nullopt}};
    ASSERT_EQ(sent["batch"].size(), events.size());
    for (std::size_t i = 0; i < events.size(); ++i) {
        const auto& [type, data] = events[i];
        Batch event = recording->makeBatch(type, "key@ios", "r1", i < 3 ? "anon \u00e9" : "anon");
        event.timestamp = sent["batch"][i]["timestamp"];
        event.fillBatchAdData(type, data);
        envelope.batches.push_back(std::move(event));
    }
    const auto converted = Session::sharedInstance()->buildURLRequest(PostBatchRequest::carrying(envelope));
    ASSERT_TRUE(converted.httpBody().has_value());
    EXPECT_EQ(posted, platform::stringFromData(*converted.httpBody()));
}

TEST_F(BatchControllerTest, RecordingsFromSeveralThreadsGoOutEachExactlyOnce) {
    const auto controller = recorder(100ms, 20000);
    constexpr int threads = 4;
    constexpr int perThread = 40;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&controller, t] {
            for (int i = 0; i < perThread; ++i) {
                record(*controller, std::to_string(t) + "-" + std::to_string(i), AdData(winner(std::string(200, 'x'))));
            }
        });
    }
    record(*controller, "main");
    for (auto& worker : workers) worker.join();

    std::map<std::string, int> seen;
    const auto countSeen = [&] {
        seen.clear();
        for (const auto& envelope : envelopes()) {
            for (const auto& id : requestIds(envelope)) ++seen[id];
        }
        return seen.size() == threads * perThread + 1;
    };
    ASSERT_TRUE(pumpMainUntil(countSeen, 30s));
    ASSERT_TRUE(settle(*controller));
    pumpMainFor(300ms);
    countSeen();
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(threads * perThread + 1));
    for (const auto& [id, count] : seen) EXPECT_EQ(count, 1) << id;
    EXPECT_GT(collection_->receivedCount(), 1U);  // the threshold split them
    // Handed over in bursts, recorded in order: within an envelope each thread's events keep
    // the order that thread recorded them in.
    for (const auto& envelope : envelopes()) {
        std::map<std::string, int> latest;
        for (const auto& id : requestIds(envelope)) {
            const auto dash = id.find('-');
            if (dash == std::string::npos) continue;
            const int index = std::stoi(id.substr(dash + 1));
            const auto [entry, first] = latest.try_emplace(id.substr(0, dash), index);
            if (!first) {
                EXPECT_LT(entry->second, index) << id;
                entry->second = index;
            }
        }
    }
}

}  // namespace
}  // namespace qor::testing
