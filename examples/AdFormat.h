#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include <QORUniversalSDK/QORUniversalSDK.h>

namespace qor::example {

// The ad formats the example shows, one ad each, in this order.
enum class AdFormat { banner, interstitial, firstView, native, video };

inline constexpr std::array<AdFormat, 5> allAdFormats{AdFormat::banner, AdFormat::interstitial, AdFormat::firstView,
                                                      AdFormat::native, AdFormat::video};

// How the summary and the page files name a format.
constexpr std::string_view formatName(AdFormat format) {
    switch (format) {
        case AdFormat::banner:
            return "banner";
        case AdFormat::interstitial:
            return "interstitial";
        case AdFormat::firstView:
            return "first-view";
        case AdFormat::native:
            return "native";
        case AdFormat::video:
            return "video";
    }
    return {};
}

// The app's ad unit of each format, as an app keeps its unit ids in its code.
constexpr std::int64_t adUnitOf(AdFormat format) {
    switch (format) {
        case AdFormat::banner:
            return 101;
        case AdFormat::interstitial:
            return 102;
        case AdFormat::video:
            return 103;
        case AdFormat::native:
            return 104;
        case AdFormat::firstView:
            return 105;
    }
    return 0;
}

// The ad type whose units the format loads: the full-screen formats show banner units.
constexpr AdType adTypeOf(AdFormat format) {
    switch (format) {
        case AdFormat::native:
            return AdType::nativeAds;
        case AdFormat::video:
            return AdType::video;
        case AdFormat::banner:
        case AdFormat::interstitial:
        case AdFormat::firstView:
            break;
    }
    return AdType::banner;
}

// The format of the units the format loads, as the container writes it.
constexpr std::string_view adTypeText(AdFormat format) { return rawValue(adTypeOf(format)); }

}  // namespace qor::example
