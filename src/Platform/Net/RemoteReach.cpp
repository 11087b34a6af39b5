#include "Platform/Net/RemoteReach.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "Platform/Support/ASCIIText.h"

namespace qor::platform::net {
namespace {

using IPv4 = std::array<std::uint8_t, 4>;
using IPv6 = std::array<std::uint8_t, 16>;

AddressReach reachOfIPv4(const IPv4& a) {
    // 0.0.0.0/8 reaches this host on Linux as 127.0.0.0/8 does.
    if (a[0] == 127 || a[0] == 0) return AddressReach::loopback;
    const bool privateRange = a[0] == 10 || (a[0] == 172 && (a[1] & 0xF0) == 16) || (a[0] == 192 && a[1] == 168);
    const bool sharedRange = a[0] == 100 && (a[1] & 0xC0) == 64;  // carrier-grade NAT
    const bool linkLocal = a[0] == 169 && a[1] == 254;
    return privateRange || sharedRange || linkLocal ? AddressReach::localNetwork : AddressReach::publicNetwork;
}

AddressReach reachOfIPv6(const IPv6& a) {
    const bool zeroPrefix = std::all_of(a.begin(), a.begin() + 10, [](std::uint8_t b) { return b == 0; });
    if (zeroPrefix && a[10] == 0xFF && a[11] == 0xFF) return reachOfIPv4({a[12], a[13], a[14], a[15]});
    // ::1 is the loopback; :: (unspecified) also reaches this host.
    if (zeroPrefix && a[10] == 0 && a[11] == 0 && a[12] == 0 && a[13] == 0 && a[14] == 0 && a[15] <= 1) {
        return AddressReach::loopback;
    }
    const bool uniqueLocal = (a[0] & 0xFE) == 0xFC;                      // fc00::/7
    const bool linkOrSiteLocal = a[0] == 0xFE && (a[1] & 0x80) == 0x80;  // fe80::/10, fec0::/10
    return uniqueLocal || linkOrSiteLocal ? AddressReach::localNetwork : AddressReach::publicNetwork;
}

}  // namespace

std::optional<AddressReach> reachOf(std::string_view numericAddress) {
    const std::string text(numericAddress);
    IPv4 v4{};
    if (inet_pton(AF_INET, text.c_str(), v4.data()) == 1) return reachOfIPv4(v4);
    IPv6 v6{};
    if (inet_pton(AF_INET6, text.c_str(), v6.data()) == 1) return reachOfIPv6(v6);
    return std::nullopt;
}

std::optional<AddressReach> reachOf(const sockaddr& address) {
    if (address.sa_family == AF_INET) {
        sockaddr_in in{};
        std::memcpy(&in, &address, sizeof in);
        IPv4 v4{};
        std::memcpy(v4.data(), &in.sin_addr, v4.size());
        return reachOfIPv4(v4);
    }
    if (address.sa_family == AF_INET6) {
        sockaddr_in6 in6{};
        std::memcpy(&in6, &address, sizeof in6);
        IPv6 v6{};
        std::memcpy(v6.data(), &in6.sin6_addr, v6.size());
        return reachOfIPv6(v6);
    }
    return std::nullopt;
}

bool isWebURL(const URL& url) {
    const auto scheme = url.scheme();
    return scheme && (equalsIgnoringASCIICase(*scheme, "http") || equalsIgnoringASCIICase(*scheme, "https"));
}

// An address of unknown reach is taken as the most private when it is led to, and as the least
// when a request begins there: either way, the stricter reading.
bool RedirectGuard::mayConnect(std::optional<AddressReach> reach) const {
    return !begun_ || reach.value_or(AddressReach::loopback) <= *begun_;
}

bool RedirectGuard::maySend(std::optional<AddressReach> reach, bool secure) {
    if (!begun_) {
        begun_ = reach.value_or(AddressReach::publicNetwork);
        secure_ = secure;
        return true;
    }
    if (secure_ && !secure) return false;
    secure_ = secure_ || secure;
    return mayConnect(reach);
}

}  // namespace qor::platform::net
