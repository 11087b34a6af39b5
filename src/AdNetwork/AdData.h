#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "AdNetwork/AdNetworkCoding.h"
#include "Core/Overloaded.h"
#include "Models/OpenRTB/BidRequest.h"
#include "Models/OpenRTB/BidResponse.h"

namespace qor {

// The record of one auction step: the bid request posted to an endpoint, an endpoint's bid
// response, the auction's winner or a failure. It is written as the payload's own object with
// no tag naming the case; the event's name tells the kind.
struct AdData {
    struct BidWinner {
        std::string id;
        std::string impressionId;
        float price = 0;
        std::optional<std::string> adMarkup;
        std::optional<std::int64_t> dspId;
        std::optional<std::string> dspName;
        bool isHeaderBidding = false;
        std::int64_t containerId = 0;
        std::int64_t inventoryId = 0;

        void encode(KeyedEncodingContainer& c) const {
            c.encode("id", id);
            c.encode("imp_id", impressionId);
            c.encode("price", price);
            c.encodeIfPresent("adm", adMarkup);
            c.encodeIfPresent("dsp_id", dspId);
            c.encodeIfPresent("dsp_name", dspName);
            c.encode("is_header_bidding", isHeaderBidding);
            c.encode("container_id", containerId);
            c.encode("inventory_id", inventoryId);
        }

        bool operator==(const BidWinner&) const = default;
    };

    // "00": one endpoint's request failed; "04" with "NO_CONTENT": no bid was left.
    struct BidError {
        std::string bidRequestId;
        std::optional<std::int64_t> dspId;
        std::optional<std::string> dspName;
        std::string errorCode;
        std::string errorReason;
        bool isHeaderBidding = false;
        std::vector<std::int64_t> inventoryIds;

        void encode(KeyedEncodingContainer& c) const {
            // The collection endpoint's spelling of the key.
            c.encode("bid_reuqest_id", bidRequestId);
            c.encodeIfPresent("dsp_id", dspId);
            c.encodeIfPresent("dsp_name", dspName);
            c.encode("error_code", errorCode);
            c.encode("error_reason", errorReason);
            c.encode("is_header_bidding", isHeaderBidding);
            c.encode("inventory_ids", inventoryIds);
        }

        bool operator==(const BidError&) const = default;
    };

    // A bid response already written as its JSON text (an object), written as the response it
    // was made from: a long answer is written a bid at a time as it is read, so that its typed
    // bids are never all held at once (BidResponseTextWriter).
    struct EncodedBidResponse {
        std::string text;

        bool operator==(const EncodedBidResponse&) const = default;
    };

    using Payload = std::variant<BidRequest, BidResponse, BidWinner, BidError, EncodedBidResponse>;

    AdData(BidRequest request) : payload(std::move(request)) {}            // NOLINT: implicit from a payload
    AdData(BidResponse response) : payload(std::move(response)) {}         // NOLINT
    AdData(BidWinner winner) : payload(std::move(winner)) {}               // NOLINT
    AdData(BidError error) : payload(std::move(error)) {}                  // NOLINT
    AdData(EncodedBidResponse response) : payload(std::move(response)) {}  // NOLINT

    Payload payload;

    template <class T>
    const T* as() const {
        return std::get_if<T>(&payload);
    }

    void encode(KeyedEncodingContainer& c) const {
        std::visit(
            Overloaded{[&c](const EncodedBidResponse& response) {
                           c.encodeMembersText(std::string_view(response.text).substr(1, response.text.size() - 2));
                       },
                       [&c](const auto& value) { value.encode(c); }},
            payload);
    }

    bool operator==(const AdData&) const = default;
};

}  // namespace qor
