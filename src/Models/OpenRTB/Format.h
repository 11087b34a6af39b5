#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Models/OpenRTB/OpenRTBCoding.h"

namespace qor {

// One allowed banner size. Width and height are always sent; "ext" is a plain string.
struct Format {
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::optional<std::int64_t> widthRatio;
    std::optional<std::int64_t> heightRatio;
    std::optional<std::int64_t> widthMin;
    std::optional<std::string> ext;

    void encode(KeyedEncodingContainer& c) const {
        c.encode("w", width);
        c.encode("h", height);
        c.encodeIfPresent("wratio", widthRatio);
        c.encodeIfPresent("hratio", heightRatio);
        c.encodeIfPresent("wmin", widthMin);
        c.encodeIfPresent("ext", ext);
    }

    static Format decode(const KeyedDecodingContainer& c) {
        Format f;
        f.width = c.decode<std::int64_t>("w");
        f.height = c.decode<std::int64_t>("h");
        f.widthRatio = c.decodeIfPresent<std::int64_t>("wratio");
        f.heightRatio = c.decodeIfPresent<std::int64_t>("hratio");
        f.widthMin = c.decodeIfPresent<std::int64_t>("wmin");
        f.ext = c.decodeIfPresent<std::string>("ext");
        return f;
    }

    bool operator==(const Format&) const = default;
};

}  // namespace qor
