#include "AdNetwork/PostBidRequest.h"

#include <mutex>
#include <stdexcept>
#include <string_view>
#include <unordered_map>

#include "Core/EncodeToDictionary.h"
#include "Platform/Foundation/JSONEncoder.h"
#include "Platform/Foundation/JSONSerialization.h"

namespace qor {
namespace {

// Every bid request goes to one of the container's few endpoints, auction after auction: each
// URL is parsed once rather than once per post. The table is emptied when it reaches a bound, so
// containers that keep changing their endpoints cannot make it grow. (The entry type is this
// file's own, so the table's code stays out of the library's exported symbols.)
struct ParsedEndpointURL {
    std::optional<platform::URL> url;  // nothing: not an absolute URL with a host
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
    if (!url || !url->scheme() || !url->host() || url->host()->empty()) url.reset();
    const std::lock_guard lock(mutex);
    if (parsed->size() >= kMostKept) parsed->clear();
    parsed->emplace(text, ParsedEndpointURL{url});
    return url;
}

// The elements of a list written as JSON text, once an answer is read a bid at a time.
class ListText {
public:
    template <class Record>
    void add(const Record& element) {
        separate();
        platform::JSONEncoder().encodeAppending(element, text_);
    }
    void addText(std::string_view element) {
        separate();
        text_ += element;
    }

    // The record's own text with the elements as its list under `key`: the record's members are
    // written in its order around the list, which it writes empty.
    template <class Record>
    std::string placedIn(const Record& withEmptyList, std::string_view key) && {
        const platform::JSONEncoder encoder;
        const platform::Any record = encoder.encodeToAny(withEmptyList);
        std::string before = "{";
        std::string after;
        std::string* out = &before;
        for (const auto& [name, value] : record.asDictionary()) {
            if (out != &before || before.size() > 1) *out += ',';
            encoder.encodeAppending(name, *out);
            *out += ':';
            if (name == key && out == &before) {
                before += '[';
                out = &after;
                after += ']';
            } else {
                encoder.encodeAppending(value, *out);
            }
        }
        if (out != &after) throw std::logic_error("a record left out the list its elements were written for");
        after += '}';
        text_.insert(0, before);
        text_ += after;
        return std::move(text_);
    }

private:
    void separate() {
        if (!text_.empty()) text_ += ',';
    }

    std::string text_;
};

const Bid* lastBidOf(const std::vector<SeatBid>& seats) {
    const Bid* last = nullptr;
    for (const auto& seat : seats) {
        if (!seat.bids.empty()) last = &seat.bids.back();
    }
    return last;
}

}  // namespace

// Bids are kept as records until there are more than kMostKeptBids; from then on every seat and
// bid is written as soon as it is read (those kept so far first) and let go of, all but the last
// bid of a seat.
ReceivedBidResponse ReceivedBidResponse::decode(const KeyedDecodingContainer& c) {
    std::optional<Bid> lastBid;
    std::size_t bids = 0;
    std::vector<SeatBid> kept;
    std::optional<ListText> seats;  // once written
    BidResponse response = BidResponse::decode(c, [&](const KeyedDecodingContainer& seatBid) {
        std::vector<Bid> keptBids;
        std::optional<ListText> writtenBids;
        std::optional<Bid> seatLast;
        SeatBid seat = SeatBid::decode(seatBid, [&](const KeyedDecodingContainer& one) {
            Bid bid = Bid::decode(one);
            if (!seats && ++bids > kMostKeptBids) {
                seats.emplace();
                for (const auto& earlier : kept) seats->add(earlier);
                if (const Bid* last = lastBidOf(kept)) lastBid = *last;
                kept = {};
            }
            if (!seats) {
                keptBids.push_back(std::move(bid));
                return;
            }
            if (!writtenBids) {
                writtenBids.emplace();
                for (const auto& earlier : keptBids) writtenBids->add(earlier);
                keptBids = {};
            }
            writtenBids->add(bid);
            seatLast = std::move(bid);
        });
        if (!seats) {
            seat.bids = std::move(keptBids);
            kept.push_back(std::move(seat));
            return;
        }
        seats->addText(std::move(writtenBids).value_or(ListText()).placedIn(seat, "bid"));
        if (seatLast) lastBid = std::move(seatLast);
    });
    if (seats) {
        return {std::move(lastBid),
                AdData(AdData::EncodedBidResponse{std::move(*seats).placedIn(response, "seatbid")})};
    }
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
