#pragma once

#include <optional>
#include <string>

#include "Models/OpenRTB/OpenRTBCoding.h"

namespace qor {

// One measurement offered about an impression. Its kind travels under "id"; a value that is not
// finite cannot be written and fails the encoding.
struct Metric {
    std::string id;
    float value = 0;
    std::optional<std::string> vendor;
    std::optional<std::string> ext;

    void encode(KeyedEncodingContainer& c) const {
        c.encode("id", id);
        c.encode("value", value);
        c.encodeIfPresent("vendor", vendor);
        c.encodeIfPresent("ext", ext);
    }

    static Metric decode(const KeyedDecodingContainer& c) {
        Metric m;
        m.id = c.decode<std::string>("id");
        m.value = c.decode<float>("value");
        m.vendor = c.decodeIfPresent<std::string>("vendor");
        m.ext = c.decodeIfPresent<std::string>("ext");
        return m;
    }

    bool operator==(const Metric&) const = default;
};

}  // namespace qor
