#pragma once

#include <exception>
#include <optional>
#include <string>

#include "Platform/Foundation/URL.h"

namespace qor::platform {

// A transport failure of a URL load: no usable answer arrived. HTTP status codes
// are not errors; they arrive in the response.
class URLError : public std::exception {
public:
    enum class Code : int {
        unknown = -1,
        cancelled = -999,
        badURL = -1000,
        timedOut = -1001,
        unsupportedURL = -1002,
        cannotFindHost = -1003,
        cannotConnectToHost = -1004,
        networkConnectionLost = -1005,
        httpTooManyRedirects = -1007,
        resourceUnavailable = -1008,
        notConnectedToInternet = -1009,
        badServerResponse = -1011,
        cannotDecodeContentData = -1016,
        fileDoesNotExist = -1100,
        noPermissionsToReadFile = -1102,
        dataLengthExceedsMaximum = -1103,
        secureConnectionFailed = -1200,
        serverCertificateUntrusted = -1202,
        clientCertificateRejected = -1205,
        cannotOpenFile = -3000,
    };

    URLError(Code code, std::string localizedDescription, std::optional<URL> failingURL = std::nullopt);

    Code code() const { return code_; }
    const std::string& localizedDescription() const { return localizedDescription_; }
    const std::optional<URL>& failingURL() const { return failingURL_; }
    const char* what() const noexcept override { return localizedDescription_.c_str(); }

private:
    Code code_;
    std::string localizedDescription_;
    std::optional<URL> failingURL_;
};

}  // namespace qor::platform
