#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Core/VendorSystem.h"
#include "Models/OpenRTB/Device.h"
#include "Platform/Support/CTCarrier.h"

// What the device record needs to know about the device, gathered in one place so that the
// record's rules (ppi, device type, carrier codes, connection type) are pure functions of facts.
namespace qor {

// The facts that every device record takes from the platform, decoded ones included.
struct DeviceHardwareFacts {
    std::string model;
    std::string systemName;
    std::string systemVersion;
    std::string name;
    bool padIdiom = false;
    double screenWidth = 0;
    double screenHeight = 0;
    double scale = 1;
    double nativeScale = 1;
    std::vector<std::string> preferredLanguages;

    static DeviceHardwareFacts current();
};

struct DeviceFacts {
    DeviceHardwareFacts hardware;
    std::optional<std::string> webViewUserAgent;
    // Per service identifier; absent when the device has no telephony. The map's order (by
    // service identifier) is the stable order in which "the first" subscription is chosen.
    std::optional<std::map<std::string, platform::CTCarrier>> cellularProviders;
    std::optional<std::map<std::string, std::string>> radioAccessTechnology;
    // As the process-wide device-facts provider reports it.
    ConnectionStatus connection = ConnectionStatus::unknown;

    static DeviceFacts current();
};

// Pixels per inch: 132 per point of scale on a pad, 163 on everything else.
double pixelsPerInch(bool padIdiom, double scale);

// A TV system reports itself in its system name; the idiom plays no part.
Device::DeviceType deviceTypeForSystemName(std::string_view systemName);

// "MCC-MNC" of the first subscription whose carrier has a name (an empty name counts), or
// nothing when there is none or its codes are incomplete.
std::optional<std::string> mobileCountryAndNetworkCode(
    const std::optional<std::map<std::string, platform::CTCarrier>>& providers);

// True when a dotted system version is at least major.minor ("14.1", "14.1.2", "15").
bool systemVersionAtLeast(std::string_view version, int major, int minor);

// The connection type for a connection state; on cellular the radio technology decides, and NR
// counts as 5G only from system version 14.1 on. Offline gives nothing.
std::optional<Device::ConnectionType> connectionTypeFor(ConnectionStatus connection,
                                                        const std::optional<std::string>& technology,
                                                        std::string_view systemVersion);

}  // namespace qor
