#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <QORUniversalSDK/Platform/Support/CTCarrier.h>
#include <QORUniversalSDK/Platform/Support/Export.h>
#include <QORUniversalSDK/Platform/Support/SCNetworkReachabilityFlags.h>

namespace qor::platform {

enum class UIUserInterfaceIdiom : int { unspecified = -1, phone = 0, pad = 1, tv = 2, carPlay = 3, mac = 5 };

// The main screen, in points.
struct ScreenFacts {
    double width = 1920.0;
    double height = 1080.0;
    double scale = 1.0;
    double nativeScale = 1.0;
};

// Where reachability comes from: the host's interfaces (read at every query), flags fixed by
// a host or test, or no answer at all (a reachability reference cannot be made).
struct ReachabilityFacts {
    enum class Source { host, fixed, unavailable };
    Source source = Source::host;
    SCNetworkReachabilityFlags flags = 0;  // used when source is fixed

    static ReachabilityFacts fromHost() { return {}; }
    static ReachabilityFacts fixed(SCNetworkReachabilityFlags flags) { return {Source::fixed, flags}; }
    static ReachabilityFacts unavailable() { return {Source::unavailable, 0}; }
};

// Every fact about the device that the platform stand-ins answer (UIDevice, UIScreen, Locale,
// TimeZone, CoreTelephony, reachability, the web view's user agent). The defaults describe
// this machine; a host app or a test replaces any of them with updateDeviceProfile.
struct DeviceProfile {
    // UIDevice
    std::string model;       // the device kind; "Linux" here
    std::string name;        // the host name
    std::string systemName;  // "Linux"
    // The numeric dotted version ("6.18.44"): by default the numeric prefix of the kernel
    // release, as a server parses an iOS version; a host sets the version it wants reported
    // (updateDeviceProfile) before the first request, whose User-Agent is kept for the process.
    std::string systemVersion;
    // A fixed identifier for vendor. When absent and identifierForVendorFromAppHome is set, the
    // identifier is the one kept in the app home directory (made there on first use, so it stays
    // the same across launches; per process only when the folder cannot be written). When absent
    // and the flag is clear, the device has none.
    std::optional<std::string> identifierForVendor;
    bool identifierForVendorFromAppHome = true;
    UIUserInterfaceIdiom userInterfaceIdiom = UIUserInterfaceIdiom::unspecified;
    std::string hardwareModel;  // the kernel's machine name, "unknown" when unreadable

    ScreenFacts mainScreen;

    // Locale and time zone
    std::vector<std::string> preferredLanguages;  // language tags such as "en-US"
    std::string localeIdentifier;                 // such as "en_US"
    std::string timeZoneIdentifier;               // such as "Europe/Berlin"

    // CoreTelephony: absent when the device has no telephony (the default here).
    std::optional<std::map<std::string, CTCarrier>> cellularProviders;
    std::optional<std::map<std::string, std::string>> radioAccessTechnologies;

    ReachabilityFacts reachability;

    // What a new web view reports as its user agent; absent when it cannot be read.
    std::optional<std::string> webViewUserAgent;
};

// The facts of this machine, read now from the operating system and the environment.
QOR_EXPORT DeviceProfile hostDeviceProfile();

// A copy of the profile in force (the host's facts until someone sets them). Safe from any thread.
QOR_EXPORT DeviceProfile currentDeviceProfile();

// Only the reachability part of the profile in force, without copying the rest: it is read
// for every recorded event. Safe from any thread.
QOR_EXPORT ReachabilityFacts currentReachabilityFacts();

// Replace the whole profile, change part of it, or go back to the host's facts. Writes from any
// threads apply one after another, none lost. `change` runs on a copy while no lock that a read
// takes is held, so it may read device facts; the copy replaces the profile when it returns
// (not when it throws). A write made inside `change` applies to that copy.
QOR_EXPORT void setDeviceProfile(DeviceProfile profile);
QOR_EXPORT void updateDeviceProfile(const std::function<void(DeviceProfile&)>& change);
QOR_EXPORT void resetDeviceProfile();

}  // namespace qor::platform
