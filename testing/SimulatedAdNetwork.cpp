#include "testing/SimulatedAdNetwork.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <ctime>
#include <utility>

namespace qor::testing {
namespace {

using Json = nlohmann::ordered_json;

// A 1x1 transparent PNG.
constexpr unsigned char kPixelPNG[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00,
    0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00,
    0x00, 0x00, 0x0A, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0x00, 0x01, 0x00, 0x00, 0x05, 0x00, 0x01,
    0x0D, 0x0A, 0x2D, 0xB4, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82,
};

constexpr const char* kEnvironments[] = {"test", "staging", "production"};

Json platformJSON(const PlatformSpec& platform) {
    Json json;
    json["id"] = platform.id;
    if (platform.name) json["name"] = *platform.name;
    if (platform.biddingURL) json["bidding_url"] = *platform.biddingURL;
    if (platform.directDeal) json["direct_deal"] = *platform.directDeal;
    if (platform.headerBidding) json["header_bidding"] = *platform.headerBidding;
    return json;
}

Json inventoryJSON(const InventorySpec& inventory) {
    Json json;
    json["id"] = inventory.id;
    if (inventory.format) json["format"] = *inventory.format;
    if (!inventory.omitPlatforms) {
        json["dsps"] = Json::array();
        for (const auto& platform : inventory.platforms) json["dsps"].push_back(platformJSON(platform));
    }
    Json metadata;
    metadata["background_color"] = "#FFFFFF";
    metadata["width"] = inventory.width;
    metadata["height"] = inventory.height;
    if (inventory.passBack) metadata["pass_back"] = *inventory.passBack;
    const Json extra = Json::parse(inventory.metadataExtra);
    for (auto member = extra.begin(); member != extra.end(); ++member) metadata[member.key()] = member.value();
    json["metadata"] = std::move(metadata);
    json["name"] = "unit-" + std::to_string(inventory.id);
    json["status"] = "active";
    if (inventory.floorPrice) json["floor_price"] = *inventory.floorPrice;
    return json;
}

// The first impression's id of a bid request, or "imp" when the body does not say.
std::pair<std::string, std::string> requestAndImpressionIDs(const std::string& body) {
    const auto parsed = Json::parse(body, nullptr, false);
    std::string requestID = "request";
    std::string impressionID = "imp";
    if (parsed.is_object()) {
        if (auto id = parsed.find("id"); id != parsed.end() && id->is_string()) requestID = *id;
        if (auto imp = parsed.find("imp"); imp != parsed.end() && imp->is_array() && !imp->empty()) {
            const auto& first = imp->front();
            if (auto id = first.find("id"); id != first.end() && id->is_string()) impressionID = *id;
        }
    }
    return {requestID, impressionID};
}

}  // namespace

// MARK: BidAnswer

BidAnswer BidAnswer::bid(double price, std::string markup) {
    return bids({{BidSpec{price, std::move(markup), std::nullopt, std::nullopt}}});
}

BidAnswer BidAnswer::bids(std::vector<std::vector<BidSpec>> seatBids) {
    BidAnswer answer;
    answer.kind = Kind::bids;
    answer.seatBids = std::move(seatBids);
    return answer;
}

BidAnswer BidAnswer::noContent() {
    BidAnswer answer;
    answer.kind = Kind::noContent;
    answer.status = 204;
    return answer;
}

BidAnswer BidAnswer::failure(int status) {
    BidAnswer answer;
    answer.kind = Kind::status;
    answer.status = status;
    return answer;
}

BidAnswer BidAnswer::garbage() {
    BidAnswer answer;
    answer.kind = Kind::garbage;
    return answer;
}

BidAnswer BidAnswer::emptyBody() {
    BidAnswer answer;
    answer.kind = Kind::emptyBody;
    return answer;
}

BidAnswer BidAnswer::after(std::chrono::milliseconds wait) const {
    BidAnswer copy = *this;
    copy.delay = wait;
    return copy;
}

BidAnswer BidAnswer::chunked(std::size_t bytesPerWrite, std::chrono::milliseconds pause,
                             std::size_t leadingBlanks) const {
    BidAnswer copy = *this;
    copy.bytesPerWrite = std::max<std::size_t>(bytesPerWrite, 1);
    copy.pause = pause;
    copy.leadingBlanks = leadingBlanks;
    return copy;
}

// MARK: BidEndpoint

BidEndpoint::BidEndpoint(const TestCertificate& certificate, std::int64_t id, std::string name, bool keepAlive)
    : id_(id),
      name_(std::move(name)),
      server_(LoopbackServer::makeHTTPS(certificate, LoopbackServer::Options{.keepAlive = keepAlive})) {
    server_->route("POST", "/bid", [this](const RecordedRequest& request) { return respond(request); });
}

BidEndpoint::~BidEndpoint() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    stopping_.notify_all();
    server_.reset();
}

std::string BidEndpoint::url() const { return server_->url("/bid"); }

void BidEndpoint::answer(BidAnswer answer) { answerInTurn({std::move(answer)}); }

void BidEndpoint::answerInTurn(std::vector<BidAnswer> answers) {
    if (answers.empty()) answers.push_back(BidAnswer::noContent());
    std::lock_guard lock(mutex_);
    answers_ = std::move(answers);
}

std::vector<std::string> BidEndpoint::receivedBodies() const {
    std::vector<std::string> bodies;
    for (const auto& request : server_->requests()) bodies.push_back(request.bodyString());
    return bodies;
}

std::vector<AnsweredBidRequest> BidEndpoint::answered() const {
    std::lock_guard lock(mutex_);
    return answered_;
}

void BidEndpoint::recordAnswers(bool on) {
    std::lock_guard lock(mutex_);
    recordingAnswers_ = on;
    if (!on) recordedAnswers_.clear();
}

std::vector<AnsweredBid> BidEndpoint::takeAnswers() {
    std::lock_guard lock(mutex_);
    return std::exchange(recordedAnswers_, {});
}

void BidEndpoint::closeConnections(bool on) {
    std::lock_guard lock(mutex_);
    closingConnections_ = on;
}

std::chrono::nanoseconds BidEndpoint::servingCPUTime() const {
    std::lock_guard lock(mutex_);
    std::chrono::nanoseconds total{0};
    for (const pthread_t thread : servingThreads_) {
        clockid_t clock{};
        timespec used{};
        if (pthread_getcpuclockid(thread, &clock) != 0 || clock_gettime(clock, &used) != 0) continue;
        total += std::chrono::seconds(used.tv_sec) + std::chrono::nanoseconds(used.tv_nsec);
    }
    return total;
}

ScriptedResponse BidEndpoint::respond(const RecordedRequest& request) {
    // The delay runs from the request's arrival: the answer is made first, then held until then,
    // so that the time an endpoint takes is the delay it was given and nothing more.
    std::unique_lock lock(mutex_);
    auto answer = answers_.front();
    if (answers_.size() > 1) answers_.erase(answers_.begin());
    const auto received = std::chrono::steady_clock::now();
    const auto due = received + answer.delay;
    for (auto& seat : answer.seatBids) {
        for (auto& bid : seat) {
            if (!bid.id) bid.id = name_ + "-bid-" + std::to_string(++bidCounter_);
        }
    }
    auto response = makeResponse(answer, request);
    if (closingConnections_) response.headers.emplace_back("Connection", "close");
    answered_.push_back({requestAndImpressionIDs(request.bodyString()).first, answer});
    if (answer.delay.count() > 0) stopping_.wait_until(lock, due, [this] { return stopped_; });
    if (answer.bytesPerWrite > 0) {
        response.body.insert(response.body.begin(), answer.leadingBlanks, ' ');
        response.chunked = true;
        response.chunkCount = (response.body.size() + answer.bytesPerWrite - 1) / answer.bytesPerWrite;
        response.delayBetweenChunks = answer.pause;
    }
    if (recordingAnswers_) {
        recordedAnswers_.push_back(
            {received, due, std::chrono::steady_clock::now(), request.remotePort, request.bodyString()});
        const pthread_t self = pthread_self();
        const auto known = std::find_if(servingThreads_.begin(), servingThreads_.end(),
                                        [self](pthread_t thread) { return pthread_equal(thread, self) != 0; });
        if (known == servingThreads_.end()) servingThreads_.push_back(self);
    }
    return response;
}

ScriptedResponse BidEndpoint::makeResponse(const BidAnswer& answer, const RecordedRequest& request) {
    switch (answer.kind) {
        case BidAnswer::Kind::noContent:
            return ScriptedResponse::text(204, "");
        case BidAnswer::Kind::status:
            return ScriptedResponse::text(answer.status, "bidder failure");
        case BidAnswer::Kind::garbage:
            return ScriptedResponse::text(200, "<html>not a bid response", "application/json");
        case BidAnswer::Kind::emptyBody:
            return ScriptedResponse::text(200, "", "application/json");
        case BidAnswer::Kind::bids:
            break;
    }
    const auto [requestID, impressionID] = requestAndImpressionIDs(request.bodyString());
    return ScriptedResponse::text(200, bidResponseText(answer, name_, requestID, impressionID), "application/json");
}

std::string bidResponseText(const BidAnswer& answer, const std::string& seatName, const std::string& requestID,
                            const std::string& impressionID) {
    Json response;
    response["id"] = requestID;
    response["seatbid"] = Json::array();
    for (const auto& seat : answer.seatBids) {
        Json bids = Json::array();
        for (const auto& bid : seat) {
            Json json;
            json["id"] = bid.id.value_or("");
            json["impid"] = impressionID;
            json["price"] = bid.price;
            json["adm"] = bid.markup;
            if (bid.viewableURL) json["ext"] = Json{{"vade", *bid.viewableURL}};
            bids.push_back(std::move(json));
        }
        response["seatbid"].push_back(Json{{"bid", std::move(bids)}, {"seat", seatName}});
    }
    response["cur"] = "USD";
    if (answer.customData) response["customdata"] = *answer.customData;
    return response.dump();
}

// MARK: Container text

std::string containerJSON(const ContainerSpec& plan) {
    Json json;
    json["id"] = plan.id;
    json["core"] = Json{{"url", plan.coreURL}, {"name", "core"}, {"domain", "core.qor.test"}, {"type", "core"}};
    json["inventories"] = Json::array();
    for (const auto& inventory : plan.inventories) json["inventories"].push_back(inventoryJSON(inventory));
    if (!plan.omitPlatforms) {
        json["dsps"] = Json::array();
        for (const auto& platform : plan.platforms) json["dsps"].push_back(platformJSON(platform));
    }
    json["name"] = "simulated container";
    json["status"] = "active";
    json["first_party"] = true;
    json["capping"] = Json{{"blacklist", plan.blacklist}, {"second", 0}, {"minute", 0}, {"hour", 0}, {"day", 0}};
    return json.dump();
}

// MARK: SimulatedAdNetwork

std::unique_ptr<SimulatedAdNetwork> SimulatedAdNetwork::start(Options options) {
    return std::unique_ptr<SimulatedAdNetwork>(new SimulatedAdNetwork(options));
}

SimulatedAdNetwork::SimulatedAdNetwork(Options options)
    : certificate_(std::make_unique<TestCertificate>(std::vector<std::string>{"localhost", "*.qor.test"})),
      containers_(LoopbackServer::makeHTTPS(*certificate_)),
      core_(std::make_unique<BidEndpoint>(*certificate_, -1, "core", options.keepAliveBidders)),
      trackers_(LoopbackServer::makeHTTPS(*certificate_)),
      markup_(LoopbackServer::makeHTTPS(*certificate_)),
      collection_(CollectionServer::makeHTTPS(*certificate_)),
      ipEcho_(IPEchoServer::makeHTTPS(*certificate_)) {
    static const char* const names[] = {"dsp-alpha", "dsp-beta", "dsp-gamma", "dsp-delta", "dsp-epsilon"};
    for (std::size_t index = 0; index < options.demandCount; ++index) {
        std::string name = index < std::size(names) ? names[index] : "dsp-" + std::to_string(index + 1);
        demand_.push_back(std::make_unique<BidEndpoint>(*certificate_, static_cast<std::int64_t>(index + 3),
                                                        std::move(name), options.keepAliveBidders));
    }
    auto set = [this](const char* name, std::string value) {
        variables_.push_back(std::make_unique<ScopedEnvironment>(name, std::move(value)));
    };
    set("QOR_AD_NETWORK_TEST_URL", baseURL("test"));
    set("QOR_AD_NETWORK_STAGING_URL", baseURL("staging"));
    set("QOR_AD_NETWORK_PRODUCTION_URL", baseURL("production"));
    set("QOR_COLLECTION_URL", collection_->collectionURL());
    set("QOR_IP_ECHO_URL", ipEcho_->baseURL());
    set("QOR_CA_FILE", certificate_->caFilePath());
    // Trackers named by the IPv6 loopback address reach the same server.
    const std::string trackerPort = std::to_string(trackers_->port());
    set("QOR_CONNECT_TO",
        std::string(trackerHost) + ":443:127.0.0.1:" + trackerPort + ",[::1]:443:127.0.0.1:" + trackerPort);
}

SimulatedAdNetwork::~SimulatedAdNetwork() {
    // Servers first (their handlers read this object), then the variables.
    demand_.clear();
    core_.reset();
    containers_.reset();
    trackers_.reset();
    markup_.reset();
    collection_.reset();
    ipEcho_.reset();
    while (!variables_.empty()) variables_.pop_back();
}

std::string SimulatedAdNetwork::baseURL(std::string_view environment) const {
    return containers_->url("/" + std::string(environment) + "/");
}

ContainerSpec SimulatedAdNetwork::defaultContainer() const {
    ContainerSpec plan;
    plan.coreURL = core_->url();
    std::vector<PlatformSpec> unitPlatforms;
    for (const auto& endpoint : demand_) {
        plan.platforms.push_back(PlatformSpec{endpoint->id(), endpoint->name(), endpoint->url(), 0, 0});
        unitPlatforms.push_back(PlatformSpec{endpoint->id(), endpoint->name(), std::nullopt, 0, 0});
    }
    InventorySpec banner;
    banner.id = bannerUnit;
    banner.format = "banner";
    banner.platforms = unitPlatforms;
    banner.floorPrice = 0.1;

    InventorySpec interstitial = banner;
    interstitial.id = interstitialUnit;
    interstitial.height = 480;
    interstitial.metadataExtra = R"({"ad_close":true,"ad_close_delay":0})";

    InventorySpec video;
    video.id = videoUnit;
    video.format = "video";
    video.platforms = unitPlatforms;
    video.width = 480;
    video.height = 360;
    video.metadataExtra =
        R"({"mines":["video/mp4","video/webm"],"min_duration":5,"max_duration":30,"protocols":[2,3,7],)"
        R"("linearity":1,"skip":1,"skip_min":5,"skip_after":5,"start_delay":0,"min_bitrate":300,"max_bitrate":1500})";

    InventorySpec native;
    native.id = nativeUnit;
    native.format = "native-ads";
    native.platforms = unitPlatforms;
    native.width = 300;
    native.height = 250;
    native.metadataExtra =
        R"({"assets":[{"type":"title","required":true,"length":90},{"type":"img","required":1,"w":300,"h":250},)"
        R"({"type":"icon","required":0,"w":64,"h":64},{"type":"desc","length":140},{"type":"ctatext"}]})";

    plan.inventories = {banner, interstitial, video, native};
    return plan;
}

void SimulatedAdNetwork::serveContainer(const std::string& key, const ContainerSpec& plan) {
    serveContainerText(key, containerJSON(plan));
}

void SimulatedAdNetwork::serveContainerText(const std::string& key, std::string body, int status) {
    for (const char* environment : kEnvironments) {
        containers_->route("POST", "/" + std::string(environment) + "/container/" + key,
                           ScriptedResponse::text(status, body, "application/json"));
    }
}

std::string SimulatedAdNetwork::refusingURL() const {
    return "https://127.0.0.1:" + std::to_string(LoopbackServer::unusedPort()) + "/bid";
}

std::string SimulatedAdNetwork::trackerURL(const std::string& path, int status) {
    trackers_->route("GET", path, ScriptedResponse::text(status, status < 300 ? "tracked" : "tracker failure"));
    return "https://" + std::string(trackerHost) + path;
}

std::string SimulatedAdNetwork::markupURL(const std::string& path, std::string body, int status) {
    markup_->route("GET", path, ScriptedResponse::text(status, body, "text/html"));
    return markup_->url(path);
}

std::string SimulatedAdNetwork::imageURL(const std::string& path) {
    ScriptedResponse response;
    response.headers = {{"Content-Type", "image/png"}};
    response.body = Bytes(std::begin(kPixelPNG), std::end(kPixelPNG));
    markup_->route("GET", path, response);
    return markup_->url(path);
}

}  // namespace qor::testing
