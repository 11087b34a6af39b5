#include "AdNetwork/PostBidRequest.h"

#include "Core/EncodeToDictionary.h"
#include "Platform/Foundation/JSONEncoder.h"
#include "Platform/Foundation/JSONSerialization.h"

namespace qor {

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

std::optional<platform::URL> PostBidRequest::baseURL() const {
    auto url = platform::URL::make(url_);
    if (!url || !url->scheme() || !url->host() || url->host()->empty()) return std::nullopt;
    return url;
}

}  // namespace qor
