#pragma once

#include "Networking/Client/Request/ResponsePipeline.h"

namespace qor {

// Meets a 401 on a token-authenticated request. There is no token-refresh flow, so it lets the
// road go on (the status check after it then reports the failure): a completion always runs.
class RefreshTokenRedirector final : public ResponsePipelineRedirector {
public:
    RefreshTokenRedirector() = default;
    bool shouldApply(const AnyRequest& request, const platform::Data& data, const HTTPResponse& response) override;
    void redirect(const AnyRequest& request, const platform::Data& data, const HTTPResponse& response,
                  RedirectorDone done) override;
};

// Ends a request whose status lies outside 200 to 299 with invalidHTTPStatusAPIError, carrying
// the decoded error body when it has one of the two known forms.
class BadHTTPStatusRedirector final : public ResponsePipelineRedirector {
public:
    BadHTTPStatusRedirector() = default;
    bool shouldApply(const AnyRequest& request, const platform::Data& data, const HTTPResponse& response) override;
    void redirect(const AnyRequest& request, const platform::Data& data, const HTTPResponse& response,
                  RedirectorDone done) override;

    // Accepted statuses: [validLower, validUpper).
    static constexpr int validLower = 200;
    static constexpr int validUpper = 300;
};

}  // namespace qor
