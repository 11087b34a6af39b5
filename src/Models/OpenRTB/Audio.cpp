#include "Models/OpenRTB/Audio.h"

namespace qor {

void Audio::encode(KeyedEncodingContainer& c) const {
    c.encode("mines", mines);
    c.encodeIfPresent("minduration", minDuration);
    c.encodeIfPresent("maxduration", maxDuration);
    c.encode("protocols", protocols);
    c.encodeIfPresent("startdelay", startDelay);
    c.encodeIfPresent("sequence", sequence);
    c.encodeIfPresent("battr", blockedAttributes);
    c.encodeIfPresent("maxextended", maxExtended);
    c.encodeIfPresent("minbitrate", minBitrate);
    c.encodeIfPresent("maxbitrate", maxBitrate);
    c.encodeIfPresent("delivery", deliveryMethod);
    c.encodeIfPresent("companionad", companionAds);
    c.encodeIfPresent("api", apis);
    c.encodeIfPresent("companiontype", companionTypes);
    c.encodeIfPresent("maxseq", maxSequence);
    c.encodeIfPresent("feed", feed);
    c.encodeIfPresent("stitched", stitched);
    c.encodeIfPresent("nvol", volumeMode);
    c.encodeIfPresent("ext", ext);
}

Audio Audio::decode(const KeyedDecodingContainer& c) {
    Audio a;
    a.mines = c.decode<std::vector<std::string>>("mines");
    a.minDuration = c.decodeIfPresent<std::int64_t>("minduration");
    a.maxDuration = c.decodeIfPresent<std::int64_t>("maxduration");
    a.protocols = c.decode<std::vector<VideoProtocol>>("protocols");
    a.startDelay = c.decodeIfPresent<VideoStartDelay>("startdelay");
    a.sequence = c.decodeIfPresent<std::int64_t>("sequence");
    a.blockedAttributes = c.decodeIfPresent<std::vector<CreativeAttribute>>("battr");
    a.maxExtended = c.decodeIfPresent<std::int64_t>("maxextended");
    a.minBitrate = c.decodeIfPresent<std::int64_t>("minbitrate");
    a.maxBitrate = c.decodeIfPresent<std::int64_t>("maxbitrate");
    a.deliveryMethod = c.decodeIfPresent<std::vector<DeliveryMethod>>("delivery");
    a.companionAds = c.decodeIfPresent<std::vector<Banner>>("companionad");
    a.apis = c.decodeIfPresent<std::vector<ApiFramework>>("api");
    a.companionTypes = c.decodeIfPresent<std::vector<CompanionType>>("companiontype");
    a.maxSequence = c.decodeIfPresent<std::int64_t>("maxseq");
    a.feed = c.decodeIfPresent<FeedType>("feed");
    a.stitched = c.decodeIfPresent<std::int64_t>("stitched");
    a.volumeMode = c.decodeIfPresent<VolumeMode>("nvol");
    a.ext = c.decodeIfPresent<std::string>("ext");
    return a;
}

}  // namespace qor
