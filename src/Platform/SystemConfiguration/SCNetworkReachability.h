#pragma once

#include <memory>
#include <optional>

#include <netinet/in.h>

#include "Platform/Support/SCNetworkReachabilityFlags.h"

namespace qor::platform {

// Flags derived from this machine's network interfaces (getifaddrs): Reachable when an
// interface other than loopback is up and running with an IPv4 address or a non-link-local
// IPv6 address; IsWWAN in addition when every such interface is a cellular modem (names
// starting with "wwan", "rmnet" or "ppp"). nullopt when the interfaces cannot be listed.
std::optional<SCNetworkReachabilityFlags> hostReachabilityFlags();

// Reachability of a target address. Only the general question "can this device reach the
// internet" is answered, so every address gets the same answer: the device profile's
// reachability (the host's interfaces unless a host or test has fixed it).
class SCNetworkReachability {
public:
    // nullptr when the device profile says reachability is unavailable, or for an address
    // family other than IPv4.
    static std::shared_ptr<SCNetworkReachability> createWithAddress(const sockaddr_in& address);
    static std::shared_ptr<SCNetworkReachability> createWithZeroAddress();

    // Read anew at each call; nullopt when the flags cannot be read.
    std::optional<SCNetworkReachabilityFlags> flags() const;
};

}  // namespace qor::platform
