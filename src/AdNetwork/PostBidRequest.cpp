#include "AdNetwork/PostBidRequest.h"

namespace qor {

PostBidRequest::PostBidRequest(std::string url, BidRequest request)
    : url_(std::move(url)), request_(std::move(request)), body_(encodeBidRequestToDictionary(request_)) {}

std::optional<platform::URL> PostBidRequest::baseURL() const {
    auto url = platform::URL::make(url_);
    if (!url || !url->scheme() || !url->host() || url->host()->empty()) return std::nullopt;
    return url;
}

}  // namespace qor
