#include "Platform/SystemConfiguration/SCNetworkReachability.h"

#include <ifaddrs.h>
#include <net/if.h>

#include <chrono>
#include <mutex>
#include <string_view>

#include "Platform/Support/DeviceProfile.h"

namespace qor::platform {
namespace {

bool isCellularInterface(std::string_view name) {
    return name.starts_with("wwan") || name.starts_with("rmnet") || name.starts_with("ppp");
}

bool hasRoutableAddress(const sockaddr* address) {
    if (address == nullptr) return false;
    if (address->sa_family == AF_INET) return true;
    if (address->sa_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
        return !IN6_IS_ADDR_LINKLOCAL(&v6->sin6_addr) && !IN6_IS_ADDR_LOOPBACK(&v6->sin6_addr);
    }
    return false;
}

std::optional<SCNetworkReachabilityFlags> scanHostInterfaces() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return std::nullopt;
    bool anyUsable = false;
    bool onlyCellular = true;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        const unsigned flags = entry->ifa_flags;
        if ((flags & IFF_UP) == 0 || (flags & IFF_RUNNING) == 0 || (flags & IFF_LOOPBACK) != 0) continue;
        if (!hasRoutableAddress(entry->ifa_addr)) continue;
        anyUsable = true;
        if (!isCellularInterface(entry->ifa_name ? entry->ifa_name : "")) onlyCellular = false;
    }
    freeifaddrs(list);
    if (!anyUsable) return SCNetworkReachabilityFlags{0};
    SCNetworkReachabilityFlags result = kSCNetworkReachabilityFlagsReachable;
    if (onlyCellular) result |= kSCNetworkReachabilityFlagsIsWWAN;
    return result;
}

}  // namespace

std::optional<SCNetworkReachabilityFlags> hostReachabilityFlags() {
    // Every analytics event reads the connection, and an interface scan is a netlink round
    // trip; interfaces change rarely, so one scan answers for a short while.
    constexpr auto freshness = std::chrono::milliseconds(500);
    static std::mutex mutex;
    static std::optional<SCNetworkReachabilityFlags> cached;
    static std::chrono::steady_clock::time_point scannedAt;
    std::lock_guard lock(mutex);
    const auto now = std::chrono::steady_clock::now();
    if (scannedAt == std::chrono::steady_clock::time_point{} || now - scannedAt >= freshness) {
        cached = scanHostInterfaces();
        scannedAt = now;
    }
    return cached;
}

std::shared_ptr<SCNetworkReachability> SCNetworkReachability::createWithAddress(const sockaddr_in& address) {
    if (address.sin_family != AF_INET) return nullptr;
    if (currentReachabilityFacts().source == ReachabilityFacts::Source::unavailable) return nullptr;
    return std::make_shared<SCNetworkReachability>();
}

std::shared_ptr<SCNetworkReachability> SCNetworkReachability::createWithZeroAddress() {
    sockaddr_in zero{};
    zero.sin_family = AF_INET;
    return createWithAddress(zero);
}

std::optional<SCNetworkReachabilityFlags> SCNetworkReachability::flags() const {
    const ReachabilityFacts facts = currentReachabilityFacts();
    switch (facts.source) {
        case ReachabilityFacts::Source::fixed:
            return facts.flags;
        case ReachabilityFacts::Source::unavailable:
            return std::nullopt;
        case ReachabilityFacts::Source::host:
            break;
    }
    return hostReachabilityFlags();
}

}  // namespace qor::platform
