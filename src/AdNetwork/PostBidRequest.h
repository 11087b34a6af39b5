#pragma once

#include <optional>
#include <string>

#include "Models/OpenRTB/BidRequest.h"
#include "Models/OpenRTB/BidResponse.h"
#include "Networking/Client/Request/Request.h"

namespace qor {

// Posts one bid request as a JSON body to one endpoint's bidding URL, answered with a bid
// response. The body is the bid request's encoded members, built when the record is made; a
// bid request that cannot be encoded leaves the record without a body, and the sender fails
// that endpoint instead of posting it (encodingFailed() tells).
class PostBidRequest final : public Request<BidResponse> {
public:
    PostBidRequest(std::string url, BidRequest request);

    AuthenticationMethod authenticationValue = AuthenticationMethod::none();
    HTTPMethod methodValue = HTTPMethod::post;
    ContentType contentTypeValue = ContentType::json;

    const std::string& url() const { return url_; }
    const BidRequest& request() const { return request_; }
    bool encodingFailed() const { return !body_.has_value(); }

    HTTPMethod method() const override { return methodValue; }
    // The endpoint's URL; nothing when it is not an absolute URL with a host.
    std::optional<platform::URL> baseURL() const override;
    std::string path() const override { return {}; }
    std::optional<Parameters> parameters() const override { return body_; }
    AuthenticationMethod authentication() const override { return authenticationValue; }
    ContentType contentType() const override { return contentTypeValue; }

private:
    std::string url_;
    BidRequest request_;
    std::optional<Parameters> body_;
};

}  // namespace qor
