#include "AdNetwork/PostBidRequest.h"

#include "Platform/Foundation/JSONSerialization.h"

namespace qor {

std::shared_ptr<const PostBidRequest::Body> PostBidRequest::Body::make(const BidRequest& request) {
    auto body = std::make_shared<Body>();
    body->parameters = encodeBidRequestToDictionary(request, body->requestLength);
    if (body->parameters) {
        try {
            body->json = std::make_shared<const platform::Data>(
                platform::JSONSerialization::data(platform::Any(*body->parameters)));
        } catch (...) {
            // Left to the JSON parameter encoder, which reports the failure when the post is built.
        }
    }
    return body;
}

PostBidRequest::PostBidRequest(std::string url, BidRequest request)
    : url_(std::move(url)), request_(std::move(request)), body_(Body::make(request_)) {}

PostBidRequest::PostBidRequest(std::string url, BidRequest request, std::shared_ptr<const Body> body)
    : url_(std::move(url)), request_(std::move(request)), body_(std::move(body)) {}

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
