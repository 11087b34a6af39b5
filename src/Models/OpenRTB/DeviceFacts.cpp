#include "Models/OpenRTB/DeviceFacts.h"

#include <array>
#include <charconv>

#include "Platform/CoreTelephony/CTRadioAccessTechnology.h"

namespace qor {

double pixelsPerInch(bool padIdiom, double scale) { return scale * (padIdiom ? 132.0 : 163.0); }

Device::DeviceType deviceTypeForSystemName(std::string_view systemName) {
    return systemName.find("tvOS") != std::string_view::npos ? Device::DeviceType::connectedTV
                                                             : Device::DeviceType::mobileOrTablet;
}

std::optional<std::string> mobileCountryAndNetworkCode(
    const std::optional<std::map<std::string, platform::CTCarrier>>& providers) {
    if (!providers) return std::nullopt;
    for (const auto& [service, carrier] : *providers) {
        if (!carrier.carrierName) continue;
        if (!carrier.mobileCountryCode || !carrier.mobileNetworkCode) return std::nullopt;
        return *carrier.mobileCountryCode + "-" + *carrier.mobileNetworkCode;
    }
    return std::nullopt;
}

bool systemVersionAtLeast(std::string_view version, int major, int minor) {
    auto component = [&version](std::size_t index) {
        std::size_t start = 0;
        for (std::size_t i = 0; i < index; ++i) {
            const auto dot = version.find('.', start);
            if (dot == std::string_view::npos) return 0;
            start = dot + 1;
        }
        int value = 0;
        std::from_chars(version.data() + start, version.data() + version.size(), value);
        return value;
    };
    const int actualMajor = component(0);
    if (actualMajor != major) return actualMajor > major;
    return component(1) >= minor;
}

std::optional<Device::ConnectionType> connectionTypeFor(ConnectionStatus connection,
                                                        const std::optional<std::string>& technology,
                                                        std::string_view systemVersion) {
    using Type = Device::ConnectionType;
    switch (connection) {
        case ConnectionStatus::wifi:
            return Type::wifi;
        case ConnectionStatus::bluetooth:
            return Type::ethernet;
        case ConnectionStatus::offline:
            return std::nullopt;
        case ConnectionStatus::unknown:
            return Type::unknown;
        case ConnectionStatus::cellular:
            break;
    }
    if (!technology) return Type::cellularNetworkUnknownGeneration;
    const std::string_view tech = *technology;
    using namespace platform;
    constexpr std::array generation2{CTRadioAccessTechnologyGPRS, CTRadioAccessTechnologyEdge,
                                     CTRadioAccessTechnologyCDMA1x};
    constexpr std::array generation3{CTRadioAccessTechnologyWCDMA,        CTRadioAccessTechnologyHSDPA,
                                     CTRadioAccessTechnologyHSUPA,        CTRadioAccessTechnologyCDMAEVDORev0,
                                     CTRadioAccessTechnologyCDMAEVDORevA, CTRadioAccessTechnologyCDMAEVDORevB,
                                     CTRadioAccessTechnologyeHRPD};
    for (auto name : generation2) {
        if (tech == name) return Type::cellular2G;
    }
    for (auto name : generation3) {
        if (tech == name) return Type::cellular3G;
    }
    if (tech == CTRadioAccessTechnologyLTE) return Type::cellular4G;
    // The NR constant only exists from 14.1 on; before that such a text has no known generation.
    if (systemVersionAtLeast(systemVersion, 14, 1) && tech == CTRadioAccessTechnologyNR) return Type::cellular5G;
    return Type::cellularNetworkUnknownGeneration;
}

}  // namespace qor
