#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace qor {

// The format of an ad request. Its raw value is the text the container uses in an inventory's
// "format".
enum class AdType : std::int64_t {
    banner = 0,
    video = 1,
    nativeAds = 2,
};

// "banner", "video" or "native-ads".
constexpr std::string_view rawValue(AdType type) {
    switch (type) {
        case AdType::banner:
            return "banner";
        case AdType::video:
            return "video";
        case AdType::nativeAds:
            return "native-ads";
    }
    return {};
}

// Exact, case-sensitive: any other text gives nothing.
constexpr std::optional<AdType> adTypeFromRawValue(std::string_view raw) {
    for (const AdType type : {AdType::banner, AdType::video, AdType::nativeAds}) {
        if (rawValue(type) == raw) return type;
    }
    return std::nullopt;
}

// The kind of tracker fired for a shown ad; its raw value is the number itself.
enum class AdTrackerType : std::int64_t {
    viewable = 0,
    clicked = 1,
    rendered = 2,
};

// "viewable", "clicked" or "rendered", as the tracker log lines print it.
constexpr std::string_view name(AdTrackerType type) {
    switch (type) {
        case AdTrackerType::viewable:
            return "viewable";
        case AdTrackerType::clicked:
            return "clicked";
        case AdTrackerType::rendered:
            return "rendered";
    }
    return {};
}

// 0, 1 and 2 give the three kinds; any other number gives nothing.
constexpr std::optional<AdTrackerType> adTrackerTypeFromRawValue(std::int64_t raw) {
    if (raw < 0 || raw > 2) return std::nullopt;
    return static_cast<AdTrackerType>(raw);
}

}  // namespace qor
