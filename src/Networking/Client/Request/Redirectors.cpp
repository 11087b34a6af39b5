#include "Networking/Client/Request/Redirectors.h"

#include "Core/UTF8.h"
#include "Networking/Client/QORSDKError.h"
#include "Networking/Client/Request/APIErrorRecords.h"
#include "Platform/Foundation/JSONDecoder.h"

namespace qor {

bool RefreshTokenRedirector::shouldApply(const AnyRequest&, const platform::Data&, const HTTPResponse& response) {
    return response->statusCode() == 401;
}

void RefreshTokenRedirector::redirect(const AnyRequest&, const platform::Data&, const HTTPResponse&,
                                      RedirectorDone done) {
    done(ResponsePipelineRedirectorAction::continue_());
}

bool BadHTTPStatusRedirector::shouldApply(const AnyRequest&, const platform::Data&, const HTTPResponse& response) {
    const int status = response->statusCode();
    return status < validLower || status >= validUpper;
}

void BadHTTPStatusRedirector::redirect(const AnyRequest&, const platform::Data& data, const HTTPResponse& response,
                                       RedirectorDone done) {
    platform::JSONDecoder decoder;
    decoder.keyDecodingStrategy = platform::KeyDecodingStrategy::convertFromSnakeCase;
    const auto rawString = utf8String(data);

    const auto stopWith = [&](std::optional<APIError> apiError) {
        using Reason = QORSDKError::ResponseErrorReason;
        const QORSDKError error(QORSDKError::responseFailed{Reason::invalidHTTPStatusAPIError{
            Reason::APIErrorDetail(response->statusCode(), std::move(apiError), response, rawString)}});
        done(ResponsePipelineRedirectorAction::stop(error));
    };

    // Each known form in turn; a form that does not decode gives way to the next. The stop runs
    // once, outside the tries: what it throws (the completion's own exception) leaves this function.
    std::optional<APIError> apiError;
    try {
        const auto auth = decoder.decode<InternalAuthError>(data);
        apiError = APIError(auth.error, auth.errorDescription);
    } catch (...) {
    }
    if (!apiError) {
        try {
            const auto api = decoder.decode<InternalAPIError>(data);
            apiError = APIError(api.message, std::nullopt);
        } catch (...) {
        }
    }
    stopWith(std::move(apiError));
}

}  // namespace qor
