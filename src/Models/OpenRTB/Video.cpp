#include "Models/OpenRTB/Video.h"

namespace qor {

void Video::encode(KeyedEncodingContainer& c) const {
    c.encode("mimes", mimes);
    c.encodeIfPresent("minduration", minDuration);
    c.encodeIfPresent("maxduration", maxDuration);
    c.encodeIfPresent("protocols", protocols);
    c.encodeIfPresent("w", width);
    c.encodeIfPresent("h", height);
    c.encodeIfPresent("startdelay", startDelay);
    c.encodeIfPresent("placement", placement);
    c.encodeIfPresent("linearity", linearity);
    c.encodeIfPresent("skip", skip);
    c.encodeIfPresent("skipmin", skipMin);
    c.encodeIfPresent("skipAfter", skipAfter);
    c.encodeIfPresent("sequence", sequence);
    c.encodeIfPresent("battr", blockedAttributes);
    c.encodeIfPresent("maxextended", maxExtended);
    c.encodeIfPresent("minbitrate", minBitrate);
    c.encodeIfPresent("maxbitrate", maxBitrate);
    c.encodeIfPresent("boxingallowed", boxingAllowed);
    c.encodeIfPresent("playbackmethod", playbackMethod);
    c.encodeIfPresent("playbackend", playbackEnd);
    c.encodeIfPresent("delivery", deliveryMethod);
    c.encodeIfPresent("pos", position);
    c.encodeIfPresent("companionad", companionAds);
    c.encodeIfPresent("api", apis);
    c.encodeIfPresent("companiontypes", companionTypes);
}

Video Video::decode(const KeyedDecodingContainer& c) {
    Video v;
    v.mimes = c.decode<std::vector<std::string>>("mimes");
    v.minDuration = c.decodeIfPresent<std::int64_t>("minduration");
    v.maxDuration = c.decodeIfPresent<std::int64_t>("maxduration");
    v.protocols = c.decodeIfPresent<std::vector<VideoProtocol>>("protocols");
    v.width = c.decodeIfPresent<std::int64_t>("w");
    v.height = c.decodeIfPresent<std::int64_t>("h");
    v.startDelay = c.decodeIfPresent<std::int64_t>("startdelay");
    v.placement = c.decodeIfPresent<Placement>("placement");
    v.linearity = c.decodeIfPresent<std::int64_t>("linearity");
    v.skip = c.decodeIfPresent<std::int64_t>("skip");
    v.skipMin = c.decodeIfPresent<std::int64_t>("skipmin");
    v.skipAfter = c.decodeIfPresent<std::int64_t>("skipAfter");
    v.sequence = c.decodeIfPresent<std::int64_t>("sequence");
    v.blockedAttributes = c.decodeIfPresent<std::vector<CreativeAttribute>>("battr");
    v.maxExtended = c.decodeIfPresent<std::int64_t>("maxextended");
    v.minBitrate = c.decodeIfPresent<std::int64_t>("minbitrate");
    v.maxBitrate = c.decodeIfPresent<std::int64_t>("maxbitrate");
    v.boxingAllowed = c.decodeIfPresent<std::int64_t>("boxingallowed");
    v.playbackMethod = c.decodeIfPresent<std::vector<PlaybackMethod>>("playbackmethod");
    v.playbackEnd = c.decodeIfPresent<std::int64_t>("playbackend");
    v.deliveryMethod = c.decodeIfPresent<std::vector<DeliveryMethod>>("delivery");
    v.position = c.decodeIfPresent<AdPosition>("pos");
    v.companionAds = c.decodeIfPresent<std::vector<Banner>>("companionad");
    v.apis = c.decodeIfPresent<std::vector<ApiFramework>>("api");
    v.companionTypes = c.decodeIfPresent<std::vector<CompanionType>>("companiontypes");
    return v;
}

}  // namespace qor
