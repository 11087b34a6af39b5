#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <QORUniversalSDK/Platform/Foundation/HTTPHeaders.h>
#include <QORUniversalSDK/Platform/Foundation/URLResponse.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor::platform {

class QOR_EXPORT HTTPURLResponse : public URLResponse {
public:
    // Fields repeated in the answer are joined with ", " under the first spelling
    // of their name; mimeType and textEncodingName come from "Content-Type".
    HTTPURLResponse(URL url, int statusCode, HTTPHeaderFields headerFields);

    int statusCode() const { return statusCode_; }
    const HTTPHeaderFields& allHeaderFields() const { return headerFields_; }
    std::optional<std::string> value(std::string_view forHTTPHeaderField) const;

private:
    HTTPURLResponse(URL url, int statusCode, HTTPHeaderFields mergedFields, int);

    int statusCode_;
    HTTPHeaderFields headerFields_;
};

}  // namespace qor::platform
