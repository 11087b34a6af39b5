#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "Models/OpenRTB/OpenRTBCoding.h"

namespace qor {

// A location, held by the device and the user records. Only latitude, longitude, the source
// and the accuracy travel; the other fields are kept for the caller and never coded.
struct Geo {
    enum class GeoType : std::int64_t {
        gps = 1,
        ipAddress = 2,
        userProvided = 3,
    };

    enum class IPLocationService : std::int64_t {
        ip2Location = 1,
        neuStart = 2,
        maxMind = 3,
        netAcuity = 4,
    };

    float latitude = 0;
    float longitude = 0;
    GeoType type = GeoType::gps;
    std::optional<std::int64_t> accuracy;
    std::optional<std::int64_t> lastFix;
    std::optional<IPLocationService> ipService;
    std::optional<std::string> country;
    std::optional<std::string> region;
    std::optional<std::string> regionFIPS104;
    std::optional<std::string> metro;
    std::optional<std::string> city;
    std::optional<std::string> zip;
    std::optional<std::int64_t> localTime;
    std::optional<std::string> ext;

    void encode(KeyedEncodingContainer& c) const;

    static Geo decode(const KeyedDecodingContainer& c);

    bool operator==(const Geo&) const = default;
};

}  // namespace qor

template <>
struct qor::platform::EnumRawValues<qor::Geo::GeoType> {
    using E = qor::Geo::GeoType;
    static constexpr std::array cases{
        std::pair{E::gps, std::int64_t{1}},
        std::pair{E::ipAddress, std::int64_t{2}},
        std::pair{E::userProvided, std::int64_t{3}},
    };
};

// Never coded; listed so that `enumFromRawValue` can map numbers to cases.
template <>
struct qor::platform::EnumRawValues<qor::Geo::IPLocationService> {
    using E = qor::Geo::IPLocationService;
    static constexpr std::array cases{
        std::pair{E::ip2Location, std::int64_t{1}},
        std::pair{E::neuStart, std::int64_t{2}},
        std::pair{E::maxMind, std::int64_t{3}},
        std::pair{E::netAcuity, std::int64_t{4}},
    };
};

// Defined after the enumerations' raw values are known to the coding layer.
inline void qor::Geo::encode(KeyedEncodingContainer& c) const {
    c.encode("lat", latitude);
    c.encode("lon", longitude);
    c.encode("type", type);
    c.encodeIfPresent("accuracy", accuracy);
}

inline qor::Geo qor::Geo::decode(const KeyedDecodingContainer& c) {
    Geo geo;
    geo.latitude = c.decode<float>("lat");
    geo.longitude = c.decode<float>("lon");
    geo.type = c.decode<GeoType>("type");
    geo.accuracy = c.decodeIfPresent<std::int64_t>("accuracy");
    return geo;
}
