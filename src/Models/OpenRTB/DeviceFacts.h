#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Models/OpenRTB/Device.h"

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

// One cellular subscription's carrier.
struct CellularCarrier {
  std::optional<std::string> carrierName;
  std::optional<std::string> mobileCountryCode;
  std::optional<std::string> mobileNetworkCode;
};

// The network state as the device-facts provider reports it.
enum class NetworkState { cellular, wifi, bluetooth, offline, undetermined };

struct DeviceFacts {
  DeviceHardwareFacts hardware;
  std::optional<std::string> webViewUserAgent;
  // Per service identifier, in the platform's order; absent when the platform gives no list.
  std::optional<std::vector<std::pair<std::string, CellularCarrier>>> cellularProviders;
  std::optional<std::vector<std::pair<std::string, std::string>>> radioAccessTechnology;
  NetworkState network = NetworkState::undetermined;

  static DeviceFacts current();
};

// The radio-access-technology texts the platform reports.
namespace radio {
inline constexpr std::string_view GPRS = "CTRadioAccessTechnologyGPRS";
inline constexpr std::string_view Edge = "CTRadioAccessTechnologyEdge";
inline constexpr std::string_view WCDMA = "CTRadioAccessTechnologyWCDMA";
inline constexpr std::string_view HSDPA = "CTRadioAccessTechnologyHSDPA";
inline constexpr std::string_view HSUPA = "CTRadioAccessTechnologyHSUPA";
inline constexpr std::string_view CDMA1x = "CTRadioAccessTechnologyCDMA1x";
inline constexpr std::string_view CDMAEVDORev0 = "CTRadioAccessTechnologyCDMAEVDORev0";
inline constexpr std::string_view CDMAEVDORevA = "CTRadioAccessTechnologyCDMAEVDORevA";
inline constexpr std::string_view CDMAEVDORevB = "CTRadioAccessTechnologyCDMAEVDORevB";
inline constexpr std::string_view eHRPD = "CTRadioAccessTechnologyeHRPD";
inline constexpr std::string_view LTE = "CTRadioAccessTechnologyLTE";
inline constexpr std::string_view NR = "CTRadioAccessTechnologyNR";
}  // namespace radio

// Pixels per inch: 132 per point of scale on a pad, 163 on everything else.
double pixelsPerInch(bool padIdiom, double scale);

// A TV system reports itself in its system name; the idiom plays no part.
Device::DeviceType deviceTypeForSystemName(std::string_view systemName);

// "MCC-MNC" of the first subscription whose carrier has a name (an empty name counts), or
// nothing when there is none or its codes are incomplete.
std::optional<std::string> mobileCountryAndNetworkCode(
    const std::optional<std::vector<std::pair<std::string, CellularCarrier>>>& providers);

// True when a dotted system version is at least major.minor ("14.1", "14.1.2", "15").
bool systemVersionAtLeast(std::string_view version, int major, int minor);

// The connection type for a network state; on cellular the radio technology decides, and NR
// counts as 5G only from system version 14.1 on. Offline gives nothing.
std::optional<Device::ConnectionType> connectionTypeFor(NetworkState network,
                                                         const std::optional<std::string>& technology,
                                                         std::string_view systemVersion);

}  // namespace qor
