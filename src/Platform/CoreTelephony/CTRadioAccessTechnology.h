#pragma once

#include <string_view>

namespace qor::platform {

// The texts that name the radio access technology of a cellular subscription.
inline constexpr std::string_view CTRadioAccessTechnologyGPRS = "CTRadioAccessTechnologyGPRS";
inline constexpr std::string_view CTRadioAccessTechnologyEdge = "CTRadioAccessTechnologyEdge";
inline constexpr std::string_view CTRadioAccessTechnologyWCDMA = "CTRadioAccessTechnologyWCDMA";
inline constexpr std::string_view CTRadioAccessTechnologyHSDPA = "CTRadioAccessTechnologyHSDPA";
inline constexpr std::string_view CTRadioAccessTechnologyHSUPA = "CTRadioAccessTechnologyHSUPA";
inline constexpr std::string_view CTRadioAccessTechnologyCDMA1x = "CTRadioAccessTechnologyCDMA1x";
inline constexpr std::string_view CTRadioAccessTechnologyCDMAEVDORev0 = "CTRadioAccessTechnologyCDMAEVDORev0";
inline constexpr std::string_view CTRadioAccessTechnologyCDMAEVDORevA = "CTRadioAccessTechnologyCDMAEVDORevA";
inline constexpr std::string_view CTRadioAccessTechnologyCDMAEVDORevB = "CTRadioAccessTechnologyCDMAEVDORevB";
inline constexpr std::string_view CTRadioAccessTechnologyeHRPD = "CTRadioAccessTechnologyeHRPD";
inline constexpr std::string_view CTRadioAccessTechnologyLTE = "CTRadioAccessTechnologyLTE";
inline constexpr std::string_view CTRadioAccessTechnologyNR = "CTRadioAccessTechnologyNR";

}  // namespace qor::platform
