#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QORUniversalSDK/Models/OpenRTB/Bid.h>
#include <QORUniversalSDK/Models/OpenRTB/OpenRTBCoding.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

// Why an endpoint made no bid.
enum class NoBidReasonCode : std::int64_t {
    unknown = 0,
    technical = 1,
    invalid = 2,
    knowWebSpider = 3,
    suspectedNoHumanTraffic = 4,
    cloudDataCenterProxy = 5,
    unsupportedDevice = 6,
    blockedPublisher = 7,
    unmatchedUser = 8,
    dailyReaderCapMet = 9,
    dailyDomainCapMet = 10,
};

// The bids of one seat. Its "ext" is a plain string, not an object.
struct QOR_EXPORT SeatBid {
    std::vector<Bid> bids;
    std::optional<std::string> seat;
    std::optional<std::int64_t> group;
    std::optional<std::string> ext;

    void encode(KeyedEncodingContainer& c) const {
        c.encode("bid", bids);
        c.encodeIfPresent("seat", seat);
        c.encodeIfPresent("group", group);
        c.encodeIfPresent("ext", ext);
    }

    static SeatBid decode(const KeyedDecodingContainer& c) {
        std::vector<Bid> bids;
        SeatBid s = decode(c, [&bids](const KeyedDecodingContainer& bid) { bids.push_back(Bid::decode(bid)); });
        s.bids = std::move(bids);
        return s;
    }

    // As decode, with the same failures, but each bid's container goes to `bid` to be decoded
    // there as soon as it is read, and bids is left empty.
    static SeatBid decode(const KeyedDecodingContainer& c,
                          const std::function<void(const KeyedDecodingContainer&)>& bid) {
        SeatBid s;
        c.decodeEachRecord("bid", bid);
        s.seat = c.decodeIfPresent<std::string>("seat");
        s.group = c.decodeIfPresent<std::int64_t>("group");
        s.ext = c.decodeIfPresent<std::string>("ext");
        return s;
    }

    bool operator==(const SeatBid&) const = default;
};

// One endpoint's answer to a bid request. One malformed bid anywhere fails the whole answer; an
// "ext" of the answer is not kept.
struct QOR_EXPORT BidResponse {
    std::string id;
    std::optional<std::vector<SeatBid>> seatBids;
    std::optional<std::string> bidID;
    std::optional<std::string> currency;
    std::optional<std::string> customData;
    std::optional<NoBidReasonCode> noBidReasonCode;

    void encode(KeyedEncodingContainer& c) const {
        c.encode("id", id);
        c.encodeIfPresent("seatbid", seatBids);
        c.encodeIfPresent("bidid", bidID);
        c.encodeIfPresent("cur", currency);
        c.encodeIfPresent("customdata", customData);
        c.encodeIfPresent("nbr", noBidReasonCode);
    }

    static BidResponse decode(const KeyedDecodingContainer& c) {
        std::vector<SeatBid> seats;
        BidResponse r =
            decode(c, [&seats](const KeyedDecodingContainer& seat) { seats.push_back(SeatBid::decode(seat)); });
        if (r.seatBids) r.seatBids = std::move(seats);
        return r;
    }

    // As decode, with the same failures, but each seat bid's container goes to `seat` to be
    // decoded there as soon as it is read, and seatBids is an empty list when the answer has one.
    static BidResponse decode(const KeyedDecodingContainer& c,
                              const std::function<void(const KeyedDecodingContainer&)>& seat) {
        BidResponse r;
        r.id = c.decode<std::string>("id");
        if (c.decodeEachRecordIfPresent("seatbid", seat)) r.seatBids.emplace();
        r.bidID = c.decodeIfPresent<std::string>("bidid");
        r.currency = c.decodeIfPresent<std::string>("cur");
        r.customData = c.decodeIfPresent<std::string>("customdata");
        r.noBidReasonCode = c.decodeIfPresent<NoBidReasonCode>("nbr");
        return r;
    }

    bool operator==(const BidResponse&) const = default;
};

}  // namespace qor

template <>
struct qor::platform::EnumRawValues<qor::NoBidReasonCode> {
    using E = qor::NoBidReasonCode;
    static constexpr std::array cases{
        std::pair{E::unknown, std::int64_t{0}},
        std::pair{E::technical, std::int64_t{1}},
        std::pair{E::invalid, std::int64_t{2}},
        std::pair{E::knowWebSpider, std::int64_t{3}},
        std::pair{E::suspectedNoHumanTraffic, std::int64_t{4}},
        std::pair{E::cloudDataCenterProxy, std::int64_t{5}},
        std::pair{E::unsupportedDevice, std::int64_t{6}},
        std::pair{E::blockedPublisher, std::int64_t{7}},
        std::pair{E::unmatchedUser, std::int64_t{8}},
        std::pair{E::dailyReaderCapMet, std::int64_t{9}},
        std::pair{E::dailyDomainCapMet, std::int64_t{10}},
    };
};
