#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QORUniversalSDK/Models/OpenRTB/Enumerations.h>
#include <QORUniversalSDK/Models/OpenRTB/OpenRTBCoding.h>

namespace qor {

// The native placement of an impression: the native request travels as JSON text in "request",
// and its version "ver" is always sent.
struct Native {
    std::string request;
    std::string version;
    std::optional<std::vector<ApiFramework>> apis;
    std::optional<std::vector<CreativeAttribute>> blockedAttributes;
    std::optional<std::string> ext;

    void encode(KeyedEncodingContainer& c) const {
        c.encode("request", request);
        c.encode("ver", version);
        c.encodeIfPresent("api", apis);
        c.encodeIfPresent("battr", blockedAttributes);
        c.encodeIfPresent("ext", ext);
    }

    static Native decode(const KeyedDecodingContainer& c) {
        Native n;
        n.request = c.decode<std::string>("request");
        n.version = c.decode<std::string>("ver");
        n.apis = c.decodeIfPresent<std::vector<ApiFramework>>("api");
        n.blockedAttributes = c.decodeIfPresent<std::vector<CreativeAttribute>>("battr");
        n.ext = c.decodeIfPresent<std::string>("ext");
        return n;
    }

    bool operator==(const Native&) const = default;
};

}  // namespace qor
