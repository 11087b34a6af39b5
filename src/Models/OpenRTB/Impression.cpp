#include "Models/OpenRTB/Impression.h"

namespace qor {

void Impression::Extension::VormelixAd::encode(KeyedEncodingContainer& c) const {
    c.encodeIfPresent("header_bids", headerBids);
    c.encodeIfPresent("container_id", containerID);
    c.encodeIfPresent("inventory_id", inventoryID);
}

Impression::Extension::VormelixAd Impression::Extension::VormelixAd::decode(const KeyedDecodingContainer& c) {
    VormelixAd ad;
    ad.headerBids = c.decodeIfPresent<std::vector<std::string>>("header_bids");
    ad.containerID = c.decodeIfPresent<std::int64_t>("container_id");
    ad.inventoryID = c.decodeIfPresent<std::int64_t>("inventory_id");
    return ad;
}

void Impression::Extension::encode(KeyedEncodingContainer& c) const {
    c.encodeIfPresent("prebid", preBid);
    c.encodeIfPresent("vomadn", vormelixAds);
}

Impression::Extension Impression::Extension::decode(const KeyedDecodingContainer& c) {
    Extension ext;
    ext.preBid = c.decodeIfPresent<PreBid>("prebid");
    ext.vormelixAds = c.decodeIfPresent<VormelixAd>("vomadn");
    return ext;
}

void Impression::encode(KeyedEncodingContainer& c) const {
    c.encode("id", id);
    c.encodeIfPresent("metric", metric);
    c.encodeIfPresent("banner", banner);
    c.encodeIfPresent("video", video);
    c.encodeIfPresent("audio", audio);
    c.encodeIfPresent("native", native);
    c.encodeIfPresent("pmp", pmp);
    c.encodeIfPresent("displaymanager", displayManager);
    c.encodeIfPresent("displaymanagerver", displayManagerVersion);
    c.encodeIfPresent("instl", interstitial);
    c.encodeIfPresent("tagid", tagId);
    c.encodeIfPresent("bidfloor", bidFloor);
    c.encodeIfPresent("bidfloorcur", bidFloorCurrency);
    c.encodeIfPresent("clickbrowser", clickBrowser);
    c.encode("secure", secure);
    c.encodeIfPresent("iframebuster", iframeBuster);
    c.encodeIfPresent("exp", expire);
    c.encodeIfPresent("ext", ext);
}

Impression Impression::decode(const KeyedDecodingContainer& c) {
    Impression imp;
    imp.id = c.decode<std::string>("id");
    imp.metric = c.decodeIfPresent<std::vector<Metric>>("metric");
    imp.banner = c.decodeIfPresent<Banner>("banner");
    imp.video = c.decodeIfPresent<Video>("video");
    imp.audio = c.decodeIfPresent<Audio>("audio");
    imp.native = c.decodeIfPresent<Native>("native");
    imp.pmp = c.decodeIfPresent<PrivateMarketplace>("pmp");
    imp.displayManager = c.decodeIfPresent<std::string>("displaymanager");
    imp.displayManagerVersion = c.decodeIfPresent<std::string>("displaymanagerver");
    imp.interstitial = c.decodeIfPresent<std::int64_t>("instl");
    imp.tagId = c.decodeIfPresent<std::string>("tagid");
    imp.bidFloor = c.decodeIfPresent<std::int64_t>("bidfloor");
    imp.bidFloorCurrency = c.decodeIfPresent<std::string>("bidfloorcur");
    imp.clickBrowser = c.decodeIfPresent<std::int64_t>("clickbrowser");
    imp.secure = c.decode<std::int64_t>("secure");
    imp.iframeBuster = c.decodeIfPresent<std::vector<std::string>>("iframebuster");
    imp.expire = c.decodeIfPresent<std::int64_t>("exp");
    imp.ext = c.decodeIfPresent<Extension>("ext");
    return imp;
}

}  // namespace qor
