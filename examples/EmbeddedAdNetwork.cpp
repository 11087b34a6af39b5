#include "EmbeddedAdNetwork.h"

#include <chrono>

namespace qor::example {
namespace {

using std::chrono::milliseconds;
using testing::BidAnswer;
using testing::BidSpec;

// A small self-contained ad, readable in a browser once the servers are gone.
std::string webMarkup(const std::string& look) {
    return "<div style=\"font-family:sans-serif;background:#1f4e79;color:#fff;padding:16px;text-align:center\">"
           "<b>" +
           look +
           "</b><br>won at {{AUCTION_PRICE}}<br><small>request {{REQUEST_ID}}</small>"
           "<br><a style=\"color:#ffd966\" href=\"https://advertiser.example/offer\" target=\"_blank\">See the "
           "offer</a></div>";
}

}  // namespace

EmbeddedAdNetwork::EmbeddedAdNetwork(const std::string& containerKey)
    : network_(testing::SimulatedAdNetwork::start({.demandCount = 2})) {
    auto plan = network_->defaultContainer();
    testing::InventorySpec firstView = plan.inventories.at(1);  // shaped like the interstitial unit
    firstView.id = adUnitOf(AdFormat::firstView);
    firstView.width = 375;
    firstView.height = 667;
    plan.inventories.push_back(firstView);
    network_->serveContainer(containerKey, plan);
}

std::string EmbeddedAdNetwork::viewableTracker(AdFormat format) {
    return network_->trackerURL("/" + std::string(formatName(format)) + "/viewable") + "?rid={{REQUEST_ID}}";
}

BidAnswer EmbeddedAdNetwork::webAd(AdFormat format, double price, const std::string& look) {
    return BidAnswer::bids({{BidSpec{price, webMarkup(look), viewableTracker(format), std::nullopt}}});
}

BidAnswer EmbeddedAdNetwork::nativeAd(double price, const std::string& title) {
    const std::string path = "/native/" + std::to_string(static_cast<int>(price * 100));
    const std::string markup = R"({"ver":"1.2","assets":[)"
                               R"({"id":3,"title":{"text":")" +
                               title + R"(","len":)" + std::to_string(title.size()) +
                               R"(}},)"
                               R"({"id":2,"img":{"url":")" +
                               network_->imageURL(path + "/main.png") +
                               R"(","w":300,"h":250}},)"
                               R"({"id":1,"img":{"url":")" +
                               network_->imageURL(path + "/icon.png") +
                               R"(","w":64,"h":64}},)"
                               R"({"id":4,"data":{"value":"Fresh beans, roasted this week."}},)"
                               R"({"id":5,"data":{"value":"Order now"}}],)"
                               R"("link":{"url":"https://advertiser.example/coffee","clicktrackers":[")" +
                               network_->trackerURL("/native/click") +
                               R"(?rid={{REQUEST_ID}}"]},)"
                               R"("eventtrackers":[{"event":1,"method":1,"url":")" +
                               network_->trackerURL("/native/impression") + R"(?rid={{REQUEST_ID}}"}]})";
    return BidAnswer::bids({{BidSpec{price, markup, viewableTracker(AdFormat::native), std::nullopt}}});
}

void EmbeddedAdNetwork::scriptAnswers(AdFormat format) {
    auto& alpha = network_->demand(0);
    auto& beta = network_->demand(1);
    auto& core = network_->core();
    switch (format) {
        case AdFormat::banner: {
            // The winner's markup is a URL on the markup server: the SDK fetches the page first.
            const auto page = network_->markupURL("/banner/page.html", webMarkup("Banner from dsp-beta"));
            alpha.answer(webAd(format, 1.20, "Banner from dsp-alpha").after(milliseconds(30)));
            beta.answer(BidAnswer::bids({{BidSpec{2.40, page, viewableTracker(format), std::nullopt}}})
                            .after(milliseconds(120)));
            core.answer(BidAnswer::noContent());
            return;
        }
        case AdFormat::interstitial:
            alpha.answer(webAd(format, 3.10, "Interstitial from dsp-alpha").after(milliseconds(150)));
            beta.answer(webAd(format, 0.05, "Interstitial from dsp-beta").after(milliseconds(20)));
            core.answer(webAd(format, 0.90, "Interstitial from the core"));
            return;
        case AdFormat::firstView:
            alpha.answer(BidAnswer::failure(500).after(milliseconds(10)));
            beta.answer(webAd(format, 1.75, "First view from dsp-beta").after(milliseconds(80)));
            core.answer(webAd(format, 2.05, "First view from the core"));
            return;
        case AdFormat::native:
            alpha.answer(nativeAd(1.60, "Coffee, delivered").after(milliseconds(40)));
            beta.answer(nativeAd(1.10, "Tea, delivered").after(milliseconds(90)));
            core.answer(BidAnswer::noContent());
            return;
        case AdFormat::video: {
            const std::string vast =
                R"(<VAST version="4.0"><Ad id="example"><InLine><AdTitle>Example video</AdTitle></InLine></Ad></VAST>)";
            alpha.answer(BidAnswer::bid(4.00, network_->markupURL("/video/alpha.xml", vast)).after(milliseconds(60)));
            beta.answer(BidAnswer::bid(4.50, network_->markupURL("/video/beta.xml", vast)).after(milliseconds(200)));
            core.answer(BidAnswer::garbage());
            return;
        }
    }
}

}  // namespace qor::example
