#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "AdNetwork/AdData.h"
#include "Models/OpenRTB/BidRequest.h"
#include "Models/OpenRTB/BidResponse.h"
#include "Networking/Client/Request/Request.h"

namespace qor {

// An endpoint's answer as the auction and its event take it: the last bid of its last seat that
// has one, and the payload of its bidResponse event. An answer of up to kMostKeptBids bids is
// kept whole as its record, which the event encodes later on the recorder's queue, off the
// answer's way. A longer one is read a bid at a time instead: each bid and seat is handed to the
// event's writer (BidResponseTextWriter) as soon as it is read and then let go of, all but the
// last bid, so that the answer's typed bids (2 KB each, however short their text) are never all
// held at once. Either way the event's text is the same, and so are the decoding's checks and
// failures.
struct ReceivedBidResponse {
    static constexpr std::size_t kMostKeptBids = 64;

    std::optional<Bid> lastBid;
    AdData event;

    static ReceivedBidResponse decode(const KeyedDecodingContainer& c);
};

// Posts one bid request as a JSON body to one endpoint's bidding URL, answered with a bid
// response. The body is the bid request's JSON text, encoded once when the record is made; a
// bid request that cannot be encoded, or whose text would not read back as JSON (nesting too
// deep), leaves the record without a body, and the sender fails that endpoint instead of
// posting it (encodingFailed() tells).
//
// An endpoint cannot hold the auction up: the time-out bounds the whole exchange from the send,
// a wait for a free connection and a slow trickle of bytes included, and an answer longer than
// maximumAnswerLength is refused before more of it is read. Either ends the post as a transport
// failure.
class PostBidRequest final : public Request<ReceivedBidResponse> {
public:
    // The body of one bid request in every form the post needs, made once: endpoints that are
    // sent the very same bid request share it instead of encoding it again each.
    struct Body {
        std::shared_ptr<const platform::Data> json;  // the posted text; nothing when it cannot be made

        static std::shared_ptr<const Body> make(const BidRequest& request);
    };

    PostBidRequest(std::string url, const BidRequest& request);
    // body must have been made from the bid request this post sends.
    PostBidRequest(std::string url, std::shared_ptr<const Body> body);

    // No real bid answer comes near it; a markup of this size is already far beyond any ad.
    static constexpr std::size_t maximumAnswerLength = 4 * 1024 * 1024;
    static constexpr double defaultTimeout = 30.0;

    AuthenticationMethod authenticationValue = AuthenticationMethod::none();
    HTTPMethod methodValue = HTTPMethod::post;
    ContentType contentTypeValue = ContentType::json;
    double timeoutValue = defaultTimeout;

    const std::string& url() const { return url_; }
    const std::shared_ptr<const Body>& body() const { return body_; }
    bool encodingFailed() const { return body_->json == nullptr; }

    HTTPMethod method() const override { return methodValue; }
    // The endpoint's URL; nothing when it is not an http or https URL with a host.
    std::optional<platform::URL> baseURL() const override;
    std::string path() const override { return {}; }
    // The body's members, read back from its text (only a caller that asks pays for it).
    std::optional<Parameters> parameters() const override;
    std::shared_ptr<const platform::Data> encodedJSONBody() const override { return body_->json; }
    AuthenticationMethod authentication() const override { return authenticationValue; }
    ContentType contentType() const override { return contentTypeValue; }
    double timeout() const override { return timeoutValue; }
    // After the default chain: the time-out also bounds the whole load, and the answer's length.
    std::optional<RequestAdapterList> suffixAdapters() const override;

private:
    std::string url_;
    std::shared_ptr<const Body> body_;
};

}  // namespace qor
