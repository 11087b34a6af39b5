#include "Models/OpenRTB/Bid.h"

namespace qor {

void Bid::Extension::encode(KeyedEncodingContainer& c) const {
    c.encodeIfPresent("prebid", preBid);
    c.encodeIfPresent("context", context);
    c.encodeIfPresent("vade", viewable);
    c.encodeIfPresent("nvade", notViewable);
    c.encodeIfPresent("vuade", undeterminedViewable);
}

Bid::Extension Bid::Extension::decode(const KeyedDecodingContainer& c) {
    Extension e;
    e.preBid = c.decodeIfPresent<PreBid>("prebid");
    e.context = c.decodeIfPresent<std::map<std::string, std::string>>("context");
    e.viewable = c.decodeIfPresent<std::string>("vade");
    e.notViewable = c.decodeIfPresent<std::string>("nvade");
    e.undeterminedViewable = c.decodeIfPresent<std::string>("vuade");
    return e;
}

void Bid::encode(KeyedEncodingContainer& c) const {
    c.encode("id", id);
    c.encode("impid", impressionID);
    c.encode("price", price);
    c.encodeIfPresent("nurl", winURL);
    c.encodeIfPresent("burl", billURL);
    c.encodeIfPresent("lurl", lossURL);
    c.encodeIfPresent("adm", adMarkup);
    c.encodeIfPresent("adid", preloadedAdID);
    c.encodeIfPresent("adomain", advertiserDomains);
    c.encodeIfPresent("bundle", bundle);
    c.encodeIfPresent("iurl", imageURL);
    c.encodeIfPresent("cid", campaignID);
    c.encodeIfPresent("crid", creativeID);
    c.encodeIfPresent("tactic", tacticID);
    c.encodeIfPresent("cat", categories);
    c.encodeIfPresent("attr", attributes);
    c.encodeIfPresent("api", api);
    c.encodeIfPresent("protocol", videoProtocol);
    // The ad network's spellings: "qamediarating" and "epx".
    c.encodeIfPresent("qamediarating", mediaRating);
    c.encodeIfPresent("language", language);
    c.encodeIfPresent("dealid", dealID);
    c.encodeIfPresent("w", width);
    c.encodeIfPresent("h", height);
    c.encodeIfPresent("wratio", widthRatio);
    c.encodeIfPresent("hratio", heightRatio);
    c.encodeIfPresent("epx", expired);
    c.encodeIfPresent("ext", ext);
}

Bid Bid::decode(const KeyedDecodingContainer& c) {
    Bid b;
    b.id = c.decode<std::string>("id");
    b.impressionID = c.decode<std::string>("impid");
    b.price = c.decode<float>("price");
    b.winURL = c.decodeIfPresent<std::string>("nurl");
    b.billURL = c.decodeIfPresent<std::string>("burl");
    b.lossURL = c.decodeIfPresent<std::string>("lurl");
    b.adMarkup = c.decodeIfPresent<std::string>("adm");
    b.preloadedAdID = c.decodeIfPresent<std::string>("adid");
    b.advertiserDomains = c.decodeIfPresent<std::vector<std::string>>("adomain");
    b.bundle = c.decodeIfPresent<std::string>("bundle");
    b.imageURL = c.decodeIfPresent<std::string>("iurl");
    b.campaignID = c.decodeIfPresent<std::string>("cid");
    b.creativeID = c.decodeIfPresent<std::string>("crid");
    b.tacticID = c.decodeIfPresent<std::string>("tactic");
    b.categories = c.decodeIfPresent<std::vector<std::string>>("cat");
    b.attributes = c.decodeIfPresent<std::vector<CreativeAttribute>>("attr");
    b.api = c.decodeIfPresent<ApiFramework>("api");
    b.videoProtocol = c.decodeIfPresent<VideoProtocol>("protocol");
    b.mediaRating = c.decodeIfPresent<MediaRating>("qamediarating");
    b.language = c.decodeIfPresent<std::string>("language");
    b.dealID = c.decodeIfPresent<std::string>("dealid");
    b.width = c.decodeIfPresent<std::int64_t>("w");
    b.height = c.decodeIfPresent<std::int64_t>("h");
    b.widthRatio = c.decodeIfPresent<std::int64_t>("wratio");
    b.heightRatio = c.decodeIfPresent<std::int64_t>("hratio");
    b.expired = c.decodeIfPresent<std::int64_t>("epx");
    b.ext = c.decodeIfPresent<Extension>("ext");
    return b;
}

}  // namespace qor
