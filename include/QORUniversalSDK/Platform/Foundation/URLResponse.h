#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <QORUniversalSDK/Platform/Foundation/URL.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor::platform {

// The metadata of an answer. Answers of HTTP(S) loads are HTTPURLResponse; other
// schemes (file URLs) give a plain URLResponse, which callers tell apart with
// std::dynamic_pointer_cast.
class QOR_EXPORT URLResponse {
public:
    URLResponse(std::optional<URL> url, std::optional<std::string> mimeType, std::int64_t expectedContentLength,
                std::optional<std::string> textEncodingName);
    virtual ~URLResponse() = default;

    const std::optional<URL>& url() const { return url_; }
    const std::optional<std::string>& mimeType() const { return mimeType_; }
    // -1 when the length is not known.
    std::int64_t expectedContentLength() const { return expectedContentLength_; }
    const std::optional<std::string>& textEncodingName() const { return textEncodingName_; }

private:
    std::optional<URL> url_;
    std::optional<std::string> mimeType_;
    std::int64_t expectedContentLength_;
    std::optional<std::string> textEncodingName_;
};

}  // namespace qor::platform
