#pragma once

#include <cstdint>

namespace qor::platform {

using SCNetworkReachabilityFlags = std::uint32_t;

// Flag bits, with the values that readers of reachability test for.
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsTransientConnection = 1u << 0;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsReachable = 1u << 1;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsConnectionRequired = 1u << 2;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsIsLocalAddress = 1u << 16;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsIsDirect = 1u << 17;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsIsWWAN = 1u << 18;

}  // namespace qor::platform
