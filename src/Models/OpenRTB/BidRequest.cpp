#include "Models/OpenRTB/BidRequest.h"

#include "Platform/Foundation/UUID.h"

namespace qor {

Source Source::withFreshTransactionID() {
    Source source;
    source.transactionID = platform::UUID::make().uuidString();
    return source;
}

void BidRequest::encode(KeyedEncodingContainer& c) const {
    c.encode("id", id);
    c.encode("imp", impression);
    c.encode("app", app);
    c.encode("device", device);
    c.encode("user", user);
    c.encodeIfPresent("test", test);
    c.encodeIfPresent("at", auctionType);
    c.encodeIfPresent("tmax", maximumTime);
    c.encodeIfPresent("wseat", whiteListSeatIDs);
    c.encodeIfPresent("bseat", blockedListSeatIDs);
    c.encodeIfPresent("allimps", allImpressions);
    c.encodeIfPresent("cur", currencies);
    c.encodeIfPresent("wlang", whiteListLanguages);
    c.encodeIfPresent("bcat", blockedCategories);
    c.encodeIfPresent("badv", blockedAdvertiserDomains);
    c.encodeIfPresent("bapp", blockedApps);
    c.encode("source", source);
    c.encodeIfPresent("regs", regs);
    c.encodeIfPresent("ext", ext);
}

BidRequest BidRequest::decode(const KeyedDecodingContainer& c) {
    BidRequest r;
    r.id = c.decode<std::string>("id");
    r.impression = c.decode<std::vector<Impression>>("imp");
    r.app = c.decode<ApplicationInfo>("app");
    r.device = c.decode<Device>("device");
    r.user = c.decode<User>("user");
    r.test = c.decodeIfPresent<std::int64_t>("test");
    r.auctionType = c.decodeIfPresent<std::int64_t>("at");
    r.maximumTime = c.decodeIfPresent<std::int64_t>("tmax");
    r.whiteListSeatIDs = c.decodeIfPresent<std::vector<std::string>>("wseat");
    r.blockedListSeatIDs = c.decodeIfPresent<std::vector<std::string>>("bseat");
    r.allImpressions = c.decodeIfPresent<std::int64_t>("allimps");
    r.currencies = c.decodeIfPresent<std::vector<std::string>>("cur");
    r.whiteListLanguages = c.decodeIfPresent<std::vector<std::string>>("wlang");
    r.blockedCategories = c.decodeIfPresent<std::vector<std::string>>("bcat");
    r.blockedAdvertiserDomains = c.decodeIfPresent<std::vector<std::string>>("badv");
    r.blockedApps = c.decodeIfPresent<std::vector<std::string>>("bapp");
    r.source = c.decode<Source>("source");
    r.regs = c.decodeIfPresent<Regs>("regs");
    r.ext = c.decodeIfPresent<Extension>("ext");
    return r;
}

std::optional<platform::AnyDictionary> encodeBidRequestToDictionary(const BidRequest& request) {
    return encodeToDictionary(request);
}

std::optional<platform::AnyDictionary> encodeBidRequestToDictionary(const BidRequest& request,
                                                                    std::size_t& encodedLength) {
    return encodeToDictionary(request, encodedLength);
}

}  // namespace qor
