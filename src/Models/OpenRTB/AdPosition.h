#pragma once

#include <array>
#include <cstdint>
#include <utility>

#include "Models/OpenRTB/OpenRTBCoding.h"

namespace qor {

// Where on the screen an ad slot sits; carried by banners and videos under "pos".
enum class AdPosition : std::int64_t {
    unknown = 0,
    aboveTheFold = 1,
    visibleInitially = 2,
    belowTheFold = 3,
    header = 4,
    footer = 5,
    sidebar = 6,
    fullscreen = 7,
};

}  // namespace qor

template <>
struct qor::platform::EnumRawValues<qor::AdPosition> {
    using E = qor::AdPosition;
    static constexpr std::array cases{
        std::pair{E::unknown, std::int64_t{0}},          std::pair{E::aboveTheFold, std::int64_t{1}},
        std::pair{E::visibleInitially, std::int64_t{2}}, std::pair{E::belowTheFold, std::int64_t{3}},
        std::pair{E::header, std::int64_t{4}},           std::pair{E::footer, std::int64_t{5}},
        std::pair{E::sidebar, std::int64_t{6}},          std::pair{E::fullscreen, std::int64_t{7}},
    };
};
