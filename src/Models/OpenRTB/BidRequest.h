#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Core/EncodeToDictionary.h"
#include "Core/JSON.h"
#include "Models/OpenRTB/ApplicationInfo.h"
#include "Models/OpenRTB/Device.h"
#include "Models/OpenRTB/Impression.h"
#include "Models/OpenRTB/OpenRTBCoding.h"
#include "Models/OpenRTB/User.h"

namespace qor {

// The request's supply-chain source. The transaction id is mandatory; there is no "ext".
struct Source {
    std::string transactionID;
    std::optional<std::int64_t> finalDecision;
    std::optional<std::string> paymentChainID;

    // A source with a freshly drawn transaction id (an upper-case UUID).
    static Source withFreshTransactionID();

    void encode(KeyedEncodingContainer& c) const {
        c.encodeIfPresent("fd", finalDecision);
        c.encode("tid", transactionID);
        c.encodeIfPresent("pchain", paymentChainID);
    }

    static Source decode(const KeyedDecodingContainer& c) {
        Source s;
        s.finalDecision = c.decodeIfPresent<std::int64_t>("fd");
        s.transactionID = c.decode<std::string>("tid");
        s.paymentChainID = c.decodeIfPresent<std::string>("pchain");
        return s;
    }

    bool operator==(const Source&) const = default;
};

// Regulations; "ext" is a plain string.
struct Regs {
    std::optional<std::int64_t> coppa;
    std::optional<std::string> ext;

    void encode(KeyedEncodingContainer& c) const {
        c.encodeIfPresent("coppa", coppa);
        c.encodeIfPresent("ext", ext);
    }

    static Regs decode(const KeyedDecodingContainer& c) {
        Regs r;
        r.coppa = c.decodeIfPresent<std::int64_t>("coppa");
        r.ext = c.decodeIfPresent<std::string>("ext");
        return r;
    }

    bool operator==(const Regs&) const = default;
};

// One auction's request, posted to every demand endpoint of an ad unit. App traffic only (no
// "site"); app, device, user and source are always present.
struct BidRequest {
    // The request's "ext": the app's own context value, passed to every endpoint untouched. A JSON
    // null context is sent as null and reads back as absent.
    struct Extension {
        std::optional<JSON> context;

        void encode(KeyedEncodingContainer& c) const { c.encodeIfPresent("context", context); }

        static Extension decode(const KeyedDecodingContainer& c) {
            return Extension{c.decodeIfPresent<JSON>("context")};
        }

        bool operator==(const Extension&) const = default;
    };

    std::string id;
    std::vector<Impression> impression;
    ApplicationInfo app;
    Device device;
    User user;
    std::optional<std::int64_t> test;
    std::optional<std::int64_t> auctionType;
    std::optional<std::int64_t> maximumTime;
    std::optional<std::vector<std::string>> whiteListSeatIDs;
    std::optional<std::vector<std::string>> blockedListSeatIDs;
    std::optional<std::int64_t> allImpressions;
    std::optional<std::vector<std::string>> currencies;
    std::optional<std::vector<std::string>> whiteListLanguages;
    std::optional<std::vector<std::string>> blockedCategories;
    std::optional<std::vector<std::string>> blockedAdvertiserDomains;
    std::optional<std::vector<std::string>> blockedApps;
    // Every request made without a source gets its own transaction id.
    Source source = Source::withFreshTransactionID();
    std::optional<Regs> regs;
    std::optional<Extension> ext;

    void encode(KeyedEncodingContainer& c) const;
    static BidRequest decode(const KeyedDecodingContainer& c);

    bool operator==(const BidRequest&) const = default;
};

// The bid request as the parameters of its post.
std::optional<platform::AnyDictionary> encodeBidRequestToDictionary(const BidRequest& request);
// The same, also telling the length of the bid request's compact JSON text.
std::optional<platform::AnyDictionary> encodeBidRequestToDictionary(const BidRequest& request,
                                                                    std::size_t& encodedLength);

}  // namespace qor
