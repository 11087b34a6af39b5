#include "testing/AdNetworkDocuments.h"

namespace qor::testing {

const std::string& realisticContainerJSON() {
    static const std::string text = R"({
  "id": 12,
  "name": "Demo app",
  "status": "active",
  "url": "https://demo.example",
  "first_party": true,
  "configurationID": "ignored",
  "core": {"url": "https://core.example/bid", "name": "core", "domain": "core.example", "type": "ssp"},
  "dsps": [
    {"id": 3, "name": "Alpha", "credential": {"apiKey": "k-3"}, "domain": "alpha.example", "status": "on",
     "priority": 1, "bidding_url": "https://alpha.example/bid", "direct_deal": 0, "header_bidding": 1},
    {"id": 4, "name": "Beta", "bidding_url": "https://beta.example/bid"},
    {"id": 5, "bidding_url": "https://gamma.example/bid", "priority": 3}
  ],
  "inventories": [
    {"id": 101, "cpm": 2, "format": "banner", "merge": "none", "name": "Home banner", "status": "on",
     "type": "display", "floor_price": 0.5, "position_id": 1, "click_rate": 3, "fill_rate": 90,
     "ads_default": null,
     "tracker_template": {"id": "t1", "click_image": "https://t/i.png", "click_url": "https://t/c",
                          "code": "<img>", "name": "default", "price": 0, "type": "image"},
     "dsps": [{"id": 3, "name": "Alpha", "direct_deal": 0, "header_bidding": 1},
              {"id": 4, "direct_deal": 1}],
     "metadata": {"background_color": "#FFFFFF", "extension": "x", "loop": 0, "pass_back": "<div>house ad</div>",
                  "width": 320, "height": 50, "responsive": true, "ad_close": true, "ad_close_delay": 3}},
    {"id": 102, "format": "video", "dsps": [{"id": 5, "header_bidding": 0}],
     "ads_default": {"id": "default", "seatbid": [{"bid": [{"id": "d1", "impid": "i", "price": 0}]}]},
     "metadata": {"background_color": "#000000", "width": 480, "height": 360, "skip": 1, "skip_min": 5,
                  "skip_after": 5, "start_delay": 0, "linearity": 1, "min_bitrate": 300, "max_bitrate": 1500,
                  "min_duration": 5, "max_duration": 30, "mines": ["video/mp4", "video/webm"],
                  "protocols": [2, 3, 7]}},
    {"id": 103, "format": "native-ads",
     "metadata": {"background_color": "#FAFAFA", "width": 300, "height": 250,
                  "assets": [{"type": "icon", "required": true, "w": 80, "h": 80, "mimes": ["image/png"]},
                             {"type": "img", "w": 1200, "h": 627, "width_min": 600, "height_min": 314},
                             {"type": "title", "required": 1, "length": 90},
                             {"type": "desc", "length": 140},
                             {"type": "ctatext"},
                             {"type": "sponsored"},
                             {"type": "video", "protocols": [2, 3], "min_duration": 10},
                             {"type": "rating"}, {"type": "price", "length": 8}, {"type": "displayurl"},
                             {"type": "unknown"}, 1, "x"]}}
  ],
  "capping": {"blacklist": 0, "second": 0, "minute": 10, "hour": 100, "day": 1000}
})";
    return text;
}

namespace {

std::string bidJSON(std::size_t seat, std::size_t index) {
    const std::string id = std::to_string(seat) + "-" + std::to_string(index);
    return R"({"id": "bid-)" + id + R"(", "impid": "7C1D6A2E-3F4B-4C5D-8E9F-0A1B2C3D4E5F", "price": )" +
           std::to_string(0.25 + static_cast<double>(seat) * 0.1 + static_cast<double>(index) * 0.05) + R"(,
      "nurl": "https://dsp.example/win?id=)" +
           id + R"(&price=${AUCTION_PRICE}",
      "burl": "https://dsp.example/bill?id=)" +
           id + R"(", "lurl": "https://dsp.example/loss?id=)" + id + R"(",
      "adm": "<div class=\"ad\"><a href=\"https://advertiser.example/landing\"><img src=\"https://cdn.example/creative/)" +
           id +
           R"(.png\" width=\"320\" height=\"50\"></a><script>window.qor && qor.ready('{{REQUEST_ID}}');</script></div>",
      "adid": "ad-)" +
           id + R"(", "adomain": ["advertiser.example"], "bundle": "io.advertiser.app",
      "iurl": "https://cdn.example/preview.png", "cid": "campaign-9", "crid": "creative-)" +
           id + R"(",
      "cat": ["IAB1", "IAB1-2"], "attr": [1, 12], "api": 5, "protocol": 3, "qamediarating": 0,
      "language": "en", "dealid": "deal-1", "w": 320, "h": 50, "wratio": 32, "hratio": 5, "epx": 300,
      "ext": {"prebid": {"targeting": {"hb_pb": "0.50", "hb_bidder": "alpha", "hb_size": "320x50"},
                         "cache": {"key": "k", "url": "https://cache.example/k", "bids": {"url": "https://cache.example/b", "cacheId": "c-)" +
           id + R"("}},
                         "meta": {"advertiserId": 4242}, "type": "banner"},
              "context": {"placement": "home", "slot": "top"},
              "vade": "https://track.example/v?r={{REQUEST_ID}}", "nvade": "https://track.example/nv",
              "vuade": "https://track.example/uv"}})";
}

}  // namespace

std::string bidResponseJSON(std::size_t seatBids) {
    std::string text =
        R"({"id": "5B3F2C1A-8D4E-4F6A-9B7C-0D1E2F3A4B5C", "bidid": "resp-1", "cur": "USD", "seatbid": [)";
    for (std::size_t seat = 0; seat < seatBids; ++seat) {
        if (seat > 0) text += ",";
        text += R"({"seat": "seat-)" + std::to_string(seat) + R"(", "group": 0, "bid": [)" + bidJSON(seat, 0) + "," +
                bidJSON(seat, 1) + "]}";
    }
    text += "]}";
    return text;
}

}  // namespace qor::testing
