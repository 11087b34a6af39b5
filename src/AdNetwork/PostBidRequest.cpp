#include "AdNetwork/PostBidRequest.h"

#include <mutex>
#include <string_view>
#include <unordered_map>

#include "AdNetwork/BidResponseTextWriter.h"
#include "Core/EncodeToDictionary.h"
#include "Platform/Foundation/JSONEncoder.h"
#include "Platform/Foundation/JSONSerialization.h"
#include "Platform/Net/RemoteReach.h"

namespace qor {
namespace {

// Every bid request goes to one of the container's few endpoints, auction after auction: each
// URL is parsed once rather than once per post. The table is emptied when it reaches a bound, so
// containers that keep changing their endpoints cannot make it grow. (The entry type is this
// file's own, so the table's code stays out of the library's exported symbols.)
struct ParsedEndpointURL {
    std::optional<platform::URL> url;  // nothing: not an http or https URL with a host
};

std::optional<platform::URL> parsedEndpointURL(const std::string& text) {
    constexpr std::size_t kMostKept = 64;
    static std::mutex mutex;
    static auto* parsed = new std::unordered_map<std::string, ParsedEndpointURL>();
    {
        const std::lock_guard lock(mutex);
        if (const auto found = parsed->find(text); found != parsed->end()) return found->second.url;
    }
    auto url = platform::URL::make(text);
    // A container naming another scheme (a local file, above all) gets no send at all.
    if (!url || !platform::net::isWebURL(*url) || !url->host() || url->host()->empty()) url.reset();
    const std::lock_guard lock(mutex);
    if (parsed->size() >= kMostKept) parsed->clear();
    parsed->emplace(text, ParsedEndpointURL{url});
    return url;
}

const Bid* lastBidOf(const std::vector<SeatBid>& seats) {
    const Bid* last = nullptr;
    for (const auto& seat : seats) {
        if (!seat.bids.empty()) last = &seat.bids.back();
    }
    return last;
}

}  // namespace

// Bids are kept as records until there are more than kMostKeptBids; from then on every bid and
// seat is handed to the event's writer as soon as it is read (those kept so far first) and let go
// of, all but the last bid of a seat.
ReceivedBidResponse ReceivedBidResponse::decode(const KeyedDecodingContainer& c) {
    std::optional<Bid> lastBid;
    std::size_t bids = 0;
    std::vector<SeatBid> kept;
    std::optional<BidResponseTextWriter> writer;  // once the answer is found long
    BidResponse response = BidResponse::decode(c, [&](const KeyedDecodingContainer& seatBid) {
        std::vector<Bid> keptBids;
        std::optional<Bid> seatLast;
        SeatBid seat = SeatBid::decode(seatBid, [&](const KeyedDecodingContainer& one) {
            Bid bid = Bid::decode(one);
            if (!writer && ++bids > kMostKeptBids) {
                writer.emplace();
                if (const Bid* last = lastBidOf(kept)) lastBid = *last;
                for (auto& earlier : kept) {
                    for (const auto& earlierBid : earlier.bids) writer->addBid(earlierBid);
                    earlier.bids = {};
                    writer->endSeat(earlier);
                }
                kept = {};
                for (const auto& earlier : keptBids) writer->addBid(earlier);
                keptBids = {};
            }
            if (!writer) {
                keptBids.push_back(std::move(bid));
                return;
            }
            writer->addBid(bid);
            seatLast = std::move(bid);
        });
        if (!writer) {
            seat.bids = std::move(keptBids);
            kept.push_back(std::move(seat));
            return;
        }
        writer->endSeat(seat);
        if (seatLast) lastBid = std::move(seatLast);
    });
    if (writer) return {std::move(lastBid), AdData(std::move(*writer).finish(response))};
    if (const Bid* last = lastBidOf(kept)) lastBid = *last;
    if (response.seatBids) response.seatBids = std::move(kept);
    return {std::move(lastBid), AdData(std::move(response))};
}

// One encode, taken as its members read back would be written (numbers and nesting are what
// reading could change or refuse); a bid request that fails either way has no body.
std::shared_ptr<const PostBidRequest::Body> PostBidRequest::Body::make(const BidRequest& request) {
    auto body = std::make_shared<Body>();
    try {
        const std::string text = readBackText(platform::JSONEncoder().encodeToString(request), 0);
        body->json = std::make_shared<const platform::Data>(platform::dataFromString(text));
    } catch (...) {
        body->json = nullptr;
    }
    return body;
}

PostBidRequest::PostBidRequest(std::string url, const BidRequest& request)
    : url_(std::move(url)), body_(Body::make(request)) {}

PostBidRequest::PostBidRequest(std::string url, std::shared_ptr<const Body> body)
    : url_(std::move(url)), body_(std::move(body)) {}

std::optional<Parameters> PostBidRequest::parameters() const {
    if (!body_->json) return std::nullopt;
    auto parsed = platform::JSONSerialization::jsonObject(*body_->json);
    if (auto* dictionary = parsed.tryDictionary()) return std::move(*dictionary);
    return std::nullopt;
}

std::optional<RequestAdapterList> PostBidRequest::suffixAdapters() const {
    const double whole = timeout();
    return RequestAdapterList{std::make_shared<AnyRequestAdapter>([whole](platform::URLRequest request) {
        request.setTimeoutIntervalForResource(whole);
        request.setMaximumResponseLength(maximumAnswerLength);
        return request;
    })};
}

std::optional<platform::URL> PostBidRequest::baseURL() const { return parsedEndpointURL(url_); }

}  // namespace qor
