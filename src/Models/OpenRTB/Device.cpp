#include "Models/OpenRTB/Device.h"

#include "Models/OpenRTB/DeviceFacts.h"

namespace qor {

namespace {

// Fills the fields that always come from the platform.
void applyHardware(Device& device, const DeviceHardwareFacts& hardware) {
    device.make = "Apple";
    device.model = hardware.model;
    device.osName = hardware.systemName;
    device.osVersion = hardware.systemVersion;
    device.hardwareVersion = hardware.name;
    device.height = hardware.screenHeight;
    device.width = hardware.screenWidth;
    device.ppi = pixelsPerInch(hardware.padIdiom, hardware.scale);
    device.pixelRatio = hardware.nativeScale;
    device.supportJS = 1;
}

// With no preferred language at all the field is left out rather than guessed.
std::optional<std::string> firstLanguage(const DeviceHardwareFacts& hardware) {
    if (hardware.preferredLanguages.empty()) return std::nullopt;
    return hardware.preferredLanguages.front();
}

}  // namespace

Device Device::fromPlatform() { return fromFacts(DeviceFacts::current()); }

Device Device::fromFacts(const DeviceFacts& facts) {
    Device device;
    applyHardware(device, facts.hardware);
    device.userAgent = facts.webViewUserAgent;
    device.limitAdTracking = 0;
    device.deviceType = deviceTypeForSystemName(facts.hardware.systemName);
    device.language = firstLanguage(facts.hardware);
    device.mccMNC = mobileCountryAndNetworkCode(facts.cellularProviders);
    std::optional<std::string> technology;
    if (facts.radioAccessTechnology && !facts.radioAccessTechnology->empty()) {
        technology = facts.radioAccessTechnology->begin()->second;
    }
    device.connectionType = connectionTypeFor(facts.connection, technology, facts.hardware.systemVersion);
    device.idForAdvertiser = std::string(zeroAdvertisingIdentifier);
    return device;
}

void Device::encode(KeyedEncodingContainer& c) const {
    c.encodeIfPresent("ua", userAgent);
    c.encodeIfPresent("geo", geo);
    c.encodeIfPresent("dnt", doNotTrack);
    c.encode("lmt", limitAdTracking);
    c.encodeIfPresent("ip", ip);
    c.encodeIfPresent("ipv6", ipV6);
    c.encode("devicetype", deviceType);
    c.encode("make", make);
    c.encode("model", model);
    c.encode("os", osName);
    c.encode("osv", osVersion);
    c.encode("hwv", hardwareVersion);
    c.encode("h", height);
    c.encode("w", width);
    c.encode("ppi", ppi);
    c.encode("pxratio", pixelRatio);
    c.encode("js", supportJS);
    c.encodeIfPresent("geofetch", geoFetch);
    c.encodeIfPresent("flashver", flashVersion);
    c.encodeIfPresent("language", language);
    c.encodeIfPresent("carrier", carrier);
    c.encodeIfPresent("mccmnc", mccMNC);
    c.encodeIfPresent("connectiontype", connectionType);
    c.encode("ifa", idForAdvertiser);
    c.encodeIfPresent("didsha1", deviceIDSHA1);
    c.encodeIfPresent("didmd5", deviceIDMD5);
    c.encodeIfPresent("dpidsha1", devicePlatformSHA1);
    c.encodeIfPresent("dpidmd5", devicePlatformMD5);
    c.encodeIfPresent("macsha1", macAddressSHA1);
    c.encodeIfPresent("macmd5", macAddressMD5);
    c.encodeIfPresent("ext", ext);
}

Device Device::decode(const KeyedDecodingContainer& c) { return decode(c, DeviceHardwareFacts::current()); }

Device Device::decode(const KeyedDecodingContainer& c, const DeviceHardwareFacts& hardware) {
    Device d;
    applyHardware(d, hardware);
    d.userAgent = c.decodeIfPresent<std::string>("ua");
    d.geo = c.decodeIfPresent<Geo>("geo");
    d.doNotTrack = c.decodeIfPresent<std::int64_t>("dnt");
    d.limitAdTracking = c.decode<std::int64_t>("lmt");
    d.ip = c.decodeIfPresent<std::string>("ip");
    d.ipV6 = c.decodeIfPresent<std::string>("ipv6");
    d.deviceType = c.decode<DeviceType>("devicetype");
    d.geoFetch = c.decodeIfPresent<std::int64_t>("geofetch");
    d.flashVersion = c.decodeIfPresent<std::string>("flashver");
    // The sender's language replaces this device's, also when the sender has none.
    d.language = c.decodeIfPresent<std::string>("language");
    d.carrier = c.decodeIfPresent<std::string>("carrier");
    d.mccMNC = c.decodeIfPresent<std::string>("mccmnc");
    d.connectionType = c.decodeIfPresent<ConnectionType>("connectiontype");
    d.idForAdvertiser = c.decode<std::string>("ifa");
    d.deviceIDSHA1 = c.decodeIfPresent<std::string>("didsha1");
    d.deviceIDMD5 = c.decodeIfPresent<std::string>("didmd5");
    d.devicePlatformSHA1 = c.decodeIfPresent<std::string>("dpidsha1");
    d.devicePlatformMD5 = c.decodeIfPresent<std::string>("dpidmd5");
    d.macAddressSHA1 = c.decodeIfPresent<std::string>("macsha1");
    d.macAddressMD5 = c.decodeIfPresent<std::string>("macmd5");
    d.ext = c.decodeIfPresent<std::string>("ext");
    return d;
}

}  // namespace qor
