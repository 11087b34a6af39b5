#pragma once

#include <array>
#include <cstdint>
#include <utility>

#include "Models/OpenRTB/OpenRTBCoding.h"

namespace qor {

// Start-delay position of an audio placement. Only these four numbers are cases: a positive
// number of seconds is not accepted here, the ad network reads 4 as "mid-roll" only.
enum class VideoStartDelay : std::int64_t {
    preRoll = 0,
    genericMidRoll = -1,
    genericPostRoll = -2,
    midRoll = 4,
};

}  // namespace qor

template <>
struct qor::platform::EnumRawValues<qor::VideoStartDelay> {
    using E = qor::VideoStartDelay;
    static constexpr std::array cases{
        std::pair{E::preRoll, std::int64_t{0}},
        std::pair{E::genericMidRoll, std::int64_t{-1}},
        std::pair{E::genericPostRoll, std::int64_t{-2}},
        std::pair{E::midRoll, std::int64_t{4}},
    };
};
