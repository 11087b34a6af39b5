#pragma once

#include <QORUniversalSDK/Platform/Support/Export.h>
#include <optional>
#include <string>
#include <string_view>

namespace qor::platform::net {

// The raw, still percent-encoded pieces of a URL reference, kept exactly as written
// so that a URL that is only read gives back the text it was made from.
struct QOR_EXPORT URLReferenceParts {
    std::optional<std::string> scheme;
    // Present when the reference has a "//" authority, even an empty one.
    std::optional<std::string> user;
    std::optional<std::string> password;
    std::optional<std::string> host;  // IPv6 literals keep their brackets here
    std::optional<int> port;
    bool hasAuthority = false;
    std::string path;
    std::optional<std::string> query;
    std::optional<std::string> fragment;
};

// Splits and validates a URL reference. Refuses characters that may not appear
// in a URL (blanks, controls, non-ASCII, `"<>\^{|}` and the backtick), malformed
// %-escapes, a second "#", and authorities that libcurl's parser rejects (bad
// host names, ports out of range).
QOR_EXPORT std::optional<URLReferenceParts> parseURLReference(std::string_view text);

// The text of a reference made of these pieces (the inverse of the parser).
QOR_EXPORT std::string formatURLReference(const URLReferenceParts& parts);

}  // namespace qor::platform::net
