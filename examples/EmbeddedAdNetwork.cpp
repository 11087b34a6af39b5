#include "EmbeddedAdNetwork.h"

#include <nlohmann/json.hpp>

#include <chrono>

namespace qor::example {
namespace {

using std::chrono::milliseconds;
using testing::BidAnswer;
using testing::BidSpec;
using Json = nlohmann::json;

// Small self-contained ads, readable in a browser once the servers are gone.

// A banner fills its 320x50 slot and no more: two lines of 16 px on the left, the link on the
// right, all inside the box it declares.
std::string bannerMarkup(const std::string& look) {
    return "<div style=\"box-sizing:border-box;width:320px;height:50px;overflow:hidden;display:flex;"
           "align-items:center;justify-content:space-between;padding:0 12px;font:13px/16px sans-serif;"
           "background:#1f4e79;color:#fff\"><span><b>" +
           look +
           "</b><br>won at {{AUCTION_PRICE}}</span>"
           "<a style=\"color:#ffd966\" href=\"https://advertiser.example/offer\" target=\"_blank\">See the "
           "offer</a></div>";
}

// A full-screen page's close control: tapping it posts the close message to the SDK's bridge,
// as a JSON text (the SDK ignores an object posted instead).
constexpr const char* kCloseControl =
    "<button id=\"close\" style=\"position:absolute;top:8px;right:8px;font:16px sans-serif\">Close</button>"
    "<script>document.getElementById(\"close\").onclick = function () {"
    " window.webkit.messageHandlers.bridge.postMessage('{\"action\":\"close_ad\"}'); };</script>";

// A full-screen ad: the look, the price, the request and the link, with its close control.
std::string fullScreenMarkup(const std::string& look) {
    return "<div style=\"position:relative;font-family:sans-serif;background:#1f4e79;color:#fff;padding:48px "
           "16px;text-align:center\">"
           "<b>" +
           look +
           "</b><br>won at {{AUCTION_PRICE}}<br><small>request {{REQUEST_ID}}</small>"
           "<br><a style=\"color:#ffd966\" href=\"https://advertiser.example/offer\" target=\"_blank\">See the "
           "offer</a>" +
           kCloseControl + "</div>";
}

// The unit's pass-back: the app's own promotion, full-screen too.
std::string passBackMarkup() {
    return "<div style=\"position:relative;font-family:sans-serif;background:#555;color:#fff;padding:48px 16px;"
           "text-align:center\"><b>The app's own promotion</b><br>shown when no bid reaches the floor" +
           std::string(kCloseControl) + "</div>";
}

}  // namespace

EmbeddedAdNetwork::EmbeddedAdNetwork(const std::string& containerKey)
    : network_(testing::SimulatedAdNetwork::start({.demandCount = 2})) {
    auto plan = network_->defaultContainer();
    plan.inventories.at(1).platforms.at(0).directDeal = 1;  // dsp-alpha has a direct deal on the interstitial unit
    testing::InventorySpec firstView = network_->defaultContainer().inventories.at(1);
    firstView.id = adUnitOf(AdFormat::firstView);
    firstView.width = 375;
    firstView.height = 667;
    firstView.passBack = passBackMarkup();
    plan.inventories.push_back(firstView);
    network_->serveContainer(containerKey, plan);
}

const std::vector<Scene>& EmbeddedAdNetwork::scenes() {
    static const std::vector<Scene> scenes{
        {AdFormat::banner, "an open auction: the highest bid wins"},
        {AdFormat::interstitial, "a direct deal decides alone, whatever the open bids"},
        {AdFormat::firstView, "no bid reaches the floor: the unit's pass-back is shown"},
        {AdFormat::native, "an open auction for a native ad, which the user taps"},
        {AdFormat::video, "an open auction for a video ad, one endpoint answering nonsense"},
        {AdFormat::banner, "nobody bids: \"No available Ad\""},
    };
    return scenes;
}

std::string EmbeddedAdNetwork::viewableTracker(AdFormat format) {
    return network_->trackerURL("/" + std::string(formatName(format)) + "/viewable") + "?rid={{REQUEST_ID}}";
}

BidAnswer EmbeddedAdNetwork::webAd(AdFormat format, double price, const std::string& look) {
    const auto markup = format == AdFormat::banner ? bannerMarkup(look) : fullScreenMarkup(look);
    return BidAnswer::bids({{BidSpec{price, markup, viewableTracker(format), std::nullopt}}});
}

BidAnswer EmbeddedAdNetwork::nativeAd(double price, const std::string& title) {
    const std::string path = "/native/" + std::to_string(static_cast<int>(price * 100));
    const Json markup = {
        {"ver", "1.2"},
        {"assets",
         {{{"id", 3}, {"title", {{"text", title}, {"len", title.size()}}}},
          {{"id", 2}, {"img", {{"url", network_->imageURL(path + "/main.png")}, {"w", 300}, {"h", 250}}}},
          {{"id", 1}, {"img", {{"url", network_->imageURL(path + "/icon.png")}, {"w", 64}, {"h", 64}}}},
          {{"id", 4}, {"data", {{"value", "Fresh beans, roasted this week."}}}},
          {{"id", 5}, {"data", {{"value", "Order now"}}}}}},
        {"link",
         {{"url", "https://advertiser.example/coffee"},
          {"clicktrackers", {network_->trackerURL("/native/click") + "?rid={{REQUEST_ID}}"}}}},
        {"eventtrackers",
         {{{"event", 1}, {"method", 1}, {"url", network_->trackerURL("/native/impression") + "?rid={{REQUEST_ID}}"}}}},
    };
    return BidAnswer::bids({{BidSpec{price, markup.dump(), viewableTracker(AdFormat::native), std::nullopt}}});
}

void EmbeddedAdNetwork::script(std::size_t scene) {
    auto& alpha = network_->demand(0);
    auto& beta = network_->demand(1);
    auto& core = network_->core();
    switch (scene) {
        case 0: {
            // The winner's markup is a URL on the markup server: the SDK fetches the page first.
            const auto page = network_->markupURL("/banner/page.html", bannerMarkup("Banner from dsp-beta"));
            alpha.answer(webAd(AdFormat::banner, 1.20, "Banner from dsp-alpha").after(milliseconds(30)));
            beta.answer(BidAnswer::bids({{BidSpec{2.40, page, viewableTracker(AdFormat::banner), std::nullopt}}})
                            .after(milliseconds(120)));
            core.answer(BidAnswer::noContent());
            return;
        }
        case 1:
            alpha.answer(webAd(AdFormat::interstitial, 1.20, "Interstitial from dsp-alpha").after(milliseconds(150)));
            beta.answer(webAd(AdFormat::interstitial, 2.50, "Interstitial from dsp-beta").after(milliseconds(20)));
            core.answer(webAd(AdFormat::interstitial, 0.90, "Interstitial from the core"));
            return;
        case 2:
            alpha.answer(BidAnswer::failure(500).after(milliseconds(10)));
            beta.answer(webAd(AdFormat::firstView, 0.05, "First view from dsp-beta").after(milliseconds(80)));
            core.answer(BidAnswer::noContent());
            return;
        case 3:
            alpha.answer(nativeAd(1.60, "Coffee, delivered").after(milliseconds(40)));
            beta.answer(nativeAd(1.10, "Tea, delivered").after(milliseconds(90)));
            core.answer(BidAnswer::noContent());
            return;
        case 4: {
            const std::string vast =
                R"(<VAST version="4.0"><Ad id="example"><InLine><AdTitle>Example video</AdTitle></InLine></Ad></VAST>)";
            alpha.answer(BidAnswer::bid(4.00, network_->markupURL("/video/alpha.xml", vast)).after(milliseconds(60)));
            beta.answer(BidAnswer::bid(4.50, network_->markupURL("/video/beta.xml", vast)).after(milliseconds(200)));
            core.answer(BidAnswer::garbage());
            return;
        }
        default:
            alpha.answer(BidAnswer::noContent().after(milliseconds(20)));
            beta.answer(BidAnswer::bids({}));
            core.answer(BidAnswer::noContent());
            return;
    }
}

std::vector<testing::BidEndpoint*> EmbeddedAdNetwork::endpoints() const {
    std::vector<testing::BidEndpoint*> all{&network_->core()};
    for (std::size_t index = 0; index < network_->demandCount(); ++index) all.push_back(&network_->demand(index));
    return all;
}

EmbeddedAdNetwork::Mark EmbeddedAdNetwork::mark() const {
    Mark mark;
    for (const auto* endpoint : endpoints()) mark.push_back(endpoint->answered().size());
    return mark;
}

std::vector<std::pair<std::size_t, testing::AnsweredBidRequest>> EmbeddedAdNetwork::answered(
    const Stretch& load) const {
    std::vector<std::pair<std::size_t, testing::AnsweredBidRequest>> answered;
    const auto all = endpoints();
    for (std::size_t index = 0; index < all.size(); ++index) {
        const auto records = all[index]->answered();
        for (auto at = load.from.at(index); at < load.to.at(index) && at < records.size(); ++at) {
            answered.emplace_back(index, records[at]);
        }
    }
    return answered;
}

std::map<std::string, std::vector<PostedEvent>> EmbeddedAdNetwork::postedEvents() const {
    std::map<std::string, std::vector<PostedEvent>> events;
    for (const auto& post : collectionPosts()) {
        const auto envelope = Json::parse(post.body, nullptr, false);
        if (!envelope.is_object() || envelope.value("typeSDK", "") != "adnetwork") continue;
        for (const auto& event : envelope.value("batch", Json::array())) {
            if (!event.is_object()) continue;
            const auto data = event.value("context", Json::object()).value("adData", Json::object());
            events[event.value("requestId", "")].push_back({event.value("name", ""), data.value("id", ""),
                                                            data.value("error_code", ""),
                                                            post.status >= 200 && post.status < 300});
        }
    }
    return events;
}

NetworkSeen EmbeddedAdNetwork::seen(const Stretch& load, UnitSeen& unit) const {
    NetworkSeen seen;
    const auto all = endpoints();
    for (const auto& [index, request] : answered(load)) {
        if (seen.requestId.empty()) seen.requestId = request.requestId;
        for (auto& endpoint : unit.endpoints) {
            if (endpoint.id == all[index]->id()) endpoint.answers.push_back(request.answer);
        }
    }
    if (!seen.requestId.empty()) seen.events = postedEvents()[seen.requestId];
    for (const auto& hit : network_->trackerHits()) {
        seen.trackerHits.push_back(hit.path + (hit.query.empty() ? "" : "?" + hit.query));
    }
    return seen;
}

bool EmbeddedAdNetwork::auctionEventsPosted(const std::vector<Stretch>& loads) const {
    const auto events = postedEvents();
    for (const auto& load : loads) {
        const auto requests = answered(load);
        if (requests.empty()) continue;
        const auto found = events.find(requests.front().second.requestId);
        if (found == events.end()) return false;
        std::size_t sent = 0;
        std::size_t answers = 0;
        for (const auto& event : found->second) {
            sent += event.name == "bidRequest" ? 1 : 0;
            answers += event.name == "bidResponse" || (event.name == "bidError" && event.errorCode == "00") ? 1 : 0;
        }
        if (sent < requests.size() || answers < requests.size()) return false;
    }
    return true;
}

std::vector<testing::CollectionServer::AnsweredPost> EmbeddedAdNetwork::collectionPosts() const {
    return network_->collection().answeredPosts();
}

}  // namespace qor::example
