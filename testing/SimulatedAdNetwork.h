#pragma once

#include <pthread.h>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "testing/CollectionServer.h"
#include "testing/IPEchoServer.h"
#include "testing/LoopbackServer.h"
#include "testing/ScopedEnvironment.h"
#include "testing/TestCertificate.h"

namespace qor::testing {

// One bid of a scripted answer. "{{AUCTION_PRICE}}" and "{{REQUEST_ID}}" in the markup or the
// viewable URL travel as they are, for the SDK to fill in.
struct BidSpec {
    double price = 1.0;
    std::string markup = "<div class=\"ad\">ad</div>";
    std::optional<std::string> viewableURL;
    std::optional<std::string> id;  // "bid-" and a counter when absent
};

// What a bid endpoint answers to each bid request.
struct BidAnswer {
    enum class Kind {
        bids,       // 200 with a bid response holding `seatBids`
        noContent,  // 204, empty body
        status,     // `status` with a short text body
        garbage,    // 200 with a body that is not JSON
        emptyBody,  // 200 with an empty body
    };
    Kind kind = Kind::bids;
    std::vector<std::vector<BidSpec>> seatBids;  // one inner list per seat bid
    std::optional<std::string> customData;       // the answer's "customdata"
    int status = 200;
    std::chrono::milliseconds delay{0};  // before the head goes out
    // When set, the body goes out with chunked coding (no length announced), `bytesPerWrite` at
    // a time with `pause` between writes, after `leadingBlanks` blanks (which JSON allows).
    std::size_t bytesPerWrite = 0;
    std::chrono::milliseconds pause{0};
    std::size_t leadingBlanks = 0;

    static BidAnswer bid(double price, std::string markup = "<div class=\"ad\">ad</div>");
    static BidAnswer bids(std::vector<std::vector<BidSpec>> seatBids);
    static BidAnswer noContent();
    static BidAnswer failure(int status = 500);
    static BidAnswer garbage();
    static BidAnswer emptyBody();
    BidAnswer after(std::chrono::milliseconds wait) const;
    BidAnswer chunked(std::size_t bytesPerWrite, std::chrono::milliseconds pause, std::size_t leadingBlanks = 0) const;
};

// The text a bid endpoint named `seatName` answers a bid-holding answer with, for a bid request
// of these ids (every bid's id as given, "" when absent).
std::string bidResponseText(const BidAnswer& answer, const std::string& seatName, const std::string& requestID,
                            const std::string& impressionID);

// One bid request as a bid endpoint answered it.
struct AnsweredBidRequest {
    std::string requestId;  // the bid request's "id"
    BidAnswer answer;       // as scripted, every bid's id filled in as it went out
};

// One bid request as an endpoint answered it, on the steady clock, for benchmarks that split
// an exchange's time between client and server.
struct AnsweredBid {
    std::chrono::steady_clock::time_point received;  // the whole request had been read
    std::chrono::steady_clock::time_point due;       // received + the scripted delay
    std::chrono::steady_clock::time_point answered;  // the answer was let go to be written
    int remotePort = 0;
    std::string body;
};

// A bid endpoint on loopback (TLS): answers POST /bid with its script, echoing the request's id
// and first impression id, and records every request and its answer.
class BidEndpoint {
public:
    // With `keepAlive` the endpoint keeps connections open for further requests, as a production
    // bidder does.
    BidEndpoint(const TestCertificate& certificate, std::int64_t id, std::string name, bool keepAlive = false);
    ~BidEndpoint();
    BidEndpoint(const BidEndpoint&) = delete;
    BidEndpoint& operator=(const BidEndpoint&) = delete;

    std::int64_t id() const { return id_; }
    const std::string& name() const { return name_; }
    std::string url() const;  // the bidding URL
    LoopbackServer& server() { return *server_; }

    // The answer to every request from now on.
    void answer(BidAnswer answer);
    // The answers to the next requests, in the order they arrive; the last one answers every
    // request after them.
    void answerInTurn(std::vector<BidAnswer> answers);
    // The bodies of the bid requests received so far.
    std::vector<std::string> receivedBodies() const;
    std::size_t receivedCount() const { return server_->requestCount(); }
    // Every bid request answered so far, in the order answered.
    std::vector<AnsweredBidRequest> answered() const;

    // While on, every answered request is kept as an AnsweredBid until taken.
    void recordAnswers(bool on);
    std::vector<AnsweredBid> takeAnswers();
    // While on, every answer asks the client to close its connection ("Connection: close"), so
    // that each request comes on a new one even where the server keeps connections open.
    void closeConnections(bool on);
    // The CPU time used so far by the server threads that have answered this endpoint's requests
    // (their whole lives: reading, TLS and writing included).
    std::chrono::nanoseconds servingCPUTime() const;

private:
    ScriptedResponse respond(const RecordedRequest& request);
    ScriptedResponse makeResponse(const BidAnswer& answer, const RecordedRequest& request);

    std::int64_t id_;
    std::string name_;
    std::unique_ptr<LoopbackServer> server_;
    mutable std::mutex mutex_;
    std::condition_variable stopping_;
    bool stopped_ = false;
    std::vector<BidAnswer> answers_{BidAnswer::noContent()};
    std::uint64_t bidCounter_ = 0;
    std::vector<AnsweredBidRequest> answered_;
    bool recordingAnswers_ = false;
    bool closingConnections_ = false;
    std::vector<AnsweredBid> recordedAnswers_;
    std::vector<pthread_t> servingThreads_;  // the server's pool threads live as long as it does
};

// A demand platform as the container lists it (top level) or an inventory refers to it.
struct PlatformSpec {
    std::int64_t id = 0;
    std::optional<std::string> name;
    std::optional<std::string> biddingURL;
    std::optional<int> directDeal;
    std::optional<int> headerBidding;
};

struct InventorySpec {
    std::int64_t id = 0;
    std::optional<std::string> format;
    std::vector<PlatformSpec> platforms;  // "dsps" of the inventory
    bool omitPlatforms = false;           // leave "dsps" out altogether
    int width = 320;
    int height = 50;
    std::optional<double> floorPrice;
    std::optional<std::string> passBack;
    std::string metadataExtra = "{}";  // a JSON object merged into "metadata"
};

struct ContainerSpec {
    std::int64_t id = 12;
    std::string coreURL;
    std::vector<PlatformSpec> platforms;  // "dsps" of the container
    bool omitPlatforms = false;
    std::vector<InventorySpec> inventories;
    int blacklist = 0;
};

// The container's JSON text for a description.
std::string containerJSON(const ContainerSpec& plan);

// A whole ad network on loopback, over TLS with a throw-away certificate authority:
// - a container server answering POST "<env>/container/<key>" for the keys a test serves, under
//   the base URLs "/test/", "/staging/" and "/production/";
// - a core bid endpoint and `demandCount` demand endpoints (BidEndpoint), silent (204) until
//   scripted;
// - a tracker server reached as https://trackers.qor.test (or https://[::1]) on the default
//   port, answering the paths handed out by trackerURL and recording every hit;
// - a markup and image server;
// - the collection endpoint and the IP-echo service.
// While it lives, the deployment variables (QOR_AD_NETWORK_*_URL, QOR_COLLECTION_URL,
// QOR_IP_ECHO_URL) and QOR_CA_FILE / QOR_CONNECT_TO point at it; a Session made afterwards
// reaches every server. Going out of scope stops the servers and restores the variables.
class SimulatedAdNetwork {
public:
    struct Options {
        std::size_t demandCount = 3;
        // Bid endpoints keep connections open (stopping them then waits for idle clients).
        bool keepAliveBidders = false;
    };

    static constexpr const char* trackerHost = "trackers.qor.test";
    static constexpr std::int64_t bannerUnit = 101;
    static constexpr std::int64_t interstitialUnit = 102;
    static constexpr std::int64_t videoUnit = 103;
    static constexpr std::int64_t nativeUnit = 104;

    static std::unique_ptr<SimulatedAdNetwork> start(Options options);
    static std::unique_ptr<SimulatedAdNetwork> start() { return start(Options{}); }
    ~SimulatedAdNetwork();
    SimulatedAdNetwork(const SimulatedAdNetwork&) = delete;
    SimulatedAdNetwork& operator=(const SimulatedAdNetwork&) = delete;

    // The base URL of an environment: "test", "staging" or "production".
    std::string baseURL(std::string_view environment) const;

    // A realistic container: the core endpoint, every demand endpoint in the container's list,
    // a banner unit (all demand endpoints), an interstitial unit, a video unit with video
    // metadata and a native unit with asset settings.
    ContainerSpec defaultContainer() const;
    // Serves the container for a key (in every environment), or raw text, or a failure status.
    void serveContainer(const std::string& key, const ContainerSpec& plan);
    void serveContainerText(const std::string& key, std::string body, int status = 200);
    // The container requests received, paths included (which environment, which key).
    std::vector<RecordedRequest> containerRequests() const { return containers_->requests(); }
    LoopbackServer& containerServer() { return *containers_; }

    BidEndpoint& core() { return *core_; }
    BidEndpoint& demand(std::size_t index) { return *demand_.at(index); }
    std::size_t demandCount() const { return demand_.size(); }
    // A bidding URL on which nothing listens.
    std::string refusingURL() const;

    // "https://trackers.qor.test" + path, answered with `status`; the query may carry anything.
    std::string trackerURL(const std::string& path, int status = 200);
    std::vector<RecordedRequest> trackerHits() const { return trackers_->requests(); }
    LoopbackServer& trackerServer() { return *trackers_; }
    bool waitForTrackerHits(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const {
        return trackers_->waitForRequests(count, timeout);
    }

    // A URL on the markup server that answers GET with the text (HTML markup, a VAST tag, ...).
    std::string markupURL(const std::string& path, std::string body, int status = 200);
    // A URL on the markup server that answers GET with a small PNG image.
    std::string imageURL(const std::string& path);
    LoopbackServer& markupServer() { return *markup_; }

    CollectionServer& collection() { return *collection_; }
    IPEchoServer& ipEcho() { return *ipEcho_; }
    const TestCertificate& certificate() const { return *certificate_; }

private:
    explicit SimulatedAdNetwork(Options options);

    std::unique_ptr<TestCertificate> certificate_;
    std::unique_ptr<LoopbackServer> containers_;
    std::unique_ptr<BidEndpoint> core_;
    std::vector<std::unique_ptr<BidEndpoint>> demand_;
    std::unique_ptr<LoopbackServer> trackers_;
    std::unique_ptr<LoopbackServer> markup_;
    std::unique_ptr<CollectionServer> collection_;
    std::unique_ptr<IPEchoServer> ipEcho_;
    std::vector<std::unique_ptr<ScopedEnvironment>> variables_;
};

}  // namespace qor::testing
