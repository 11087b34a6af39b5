#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "Models/OpenRTB/Geo.h"
#include "Models/OpenRTB/OpenRTBCoding.h"

namespace qor {

struct DeviceFacts;
struct DeviceHardwareFacts;

// The device object of every bid request. Ten fields (make to js) always describe the device that
// holds the record: they are filled from the platform, also when a record is decoded, and the
// sender's values for them are never read. Screen sizes are points, "ext" is a plain string.
struct Device {
    enum class DeviceType : std::int64_t {
        mobileOrTablet = 1,
        personalComputer = 2,
        connectedTV = 3,
        phone = 4,
        tablet = 5,
        connectedDevice = 6,
        setTopBox = 7,
    };

    enum class ConnectionType : std::int64_t {
        unknown = 0,
        ethernet = 1,
        wifi = 2,
        cellularNetworkUnknownGeneration = 3,
        cellular2G = 4,
        cellular3G = 5,
        cellular4G = 6,
        cellular5G = 7,
    };

    // No advertising identifier is ever read: every request carries the all-zero one.
    static constexpr std::string_view zeroAdvertisingIdentifier = "00000000-0000-0000-0000-000000000000";

    std::optional<std::string> userAgent;
    std::optional<Geo> geo;
    std::optional<std::int64_t> doNotTrack;
    std::int64_t limitAdTracking = 0;
    std::optional<std::string> ip;
    std::optional<std::string> ipV6;
    DeviceType deviceType = DeviceType::mobileOrTablet;
    std::string make = "Apple";
    std::string model;
    std::string osName;
    std::string osVersion;
    std::string hardwareVersion;
    double height = 0;
    double width = 0;
    double ppi = 0;
    double pixelRatio = 0;
    std::int64_t supportJS = 1;
    std::optional<std::int64_t> geoFetch;
    std::optional<std::string> flashVersion;
    std::optional<std::string> language;
    std::optional<std::string> carrier;
    std::optional<std::string> mccMNC;
    std::optional<ConnectionType> connectionType;
    std::string idForAdvertiser{zeroAdvertisingIdentifier};
    std::optional<std::string> deviceIDSHA1;
    std::optional<std::string> deviceIDMD5;
    std::optional<std::string> devicePlatformSHA1;
    std::optional<std::string> devicePlatformMD5;
    std::optional<std::string> macAddressSHA1;
    std::optional<std::string> macAddressMD5;
    std::optional<std::string> ext;

    // The device this code runs on. Creates a web view and reads UIKit facts: main thread only.
    static Device fromPlatform();

    // The same from facts gathered beforehand (the platform's, or a test's).
    static Device fromFacts(const DeviceFacts& facts);

    void encode(KeyedEncodingContainer& c) const;

    // Reads the sender's values; the hardware fields come from this device's platform.
    static Device decode(const KeyedDecodingContainer& c);

    // As `decode`, with the hardware facts given.
    static Device decode(const KeyedDecodingContainer& c, const DeviceHardwareFacts& hardware);

    bool operator==(const Device&) const = default;
};

}  // namespace qor

template <>
struct qor::platform::EnumRawValues<qor::Device::DeviceType> {
    using E = qor::Device::DeviceType;
    static constexpr std::array cases{
        std::pair{E::mobileOrTablet, std::int64_t{1}}, std::pair{E::personalComputer, std::int64_t{2}},
        std::pair{E::connectedTV, std::int64_t{3}},    std::pair{E::phone, std::int64_t{4}},
        std::pair{E::tablet, std::int64_t{5}},         std::pair{E::connectedDevice, std::int64_t{6}},
        std::pair{E::setTopBox, std::int64_t{7}},
    };
};

template <>
struct qor::platform::EnumRawValues<qor::Device::ConnectionType> {
    using E = qor::Device::ConnectionType;
    static constexpr std::array cases{
        std::pair{E::unknown, std::int64_t{0}},    std::pair{E::ethernet, std::int64_t{1}},
        std::pair{E::wifi, std::int64_t{2}},       std::pair{E::cellularNetworkUnknownGeneration, std::int64_t{3}},
        std::pair{E::cellular2G, std::int64_t{4}}, std::pair{E::cellular3G, std::int64_t{5}},
        std::pair{E::cellular4G, std::int64_t{6}}, std::pair{E::cellular5G, std::int64_t{7}},
    };
};
