// The device record as built from the device's facts: the ppi factors, the device type, the
// carrier codes, the connection-type table and the fixed values.
#include "Models/OpenRTB/Device.h"
#include "Models/OpenRTB/DeviceFacts.h"
#include "OpenRTBTestSupport.h"
#include "Platform/CoreTelephony/CTRadioAccessTechnology.h"
#include "Platform/Support/DeviceProfile.h"

namespace qor::testing {
namespace {

DeviceFacts phoneFacts() {
    DeviceFacts facts;
    facts.hardware.model = "iPhone";
    facts.hardware.systemName = "iOS";
    facts.hardware.systemVersion = "17.2";
    facts.hardware.name = "Lan iPhone";
    facts.hardware.screenWidth = 390;
    facts.hardware.screenHeight = 844;
    facts.hardware.scale = 3;
    facts.hardware.nativeScale = 3;
    facts.hardware.preferredLanguages = {"vi-VN", "en-US"};
    facts.webViewUserAgent = "Mozilla/5.0 (iPhone)";
    facts.connection = ConnectionStatus::wifi;
    return facts;
}

TEST(DeviceFromFacts, FillsEveryFieldAsTheFactsSay) {
    const Device device = Device::fromFacts(phoneFacts());
    EXPECT_EQ(encodeToJson(device), Json::parse(R"json({
      "ua": "Mozilla/5.0 (iPhone)", "lmt": 0, "devicetype": 1, "make": "Apple", "model": "iPhone",
      "os": "iOS", "osv": "17.2", "hwv": "Lan iPhone", "h": 844, "w": 390, "ppi": 489,
      "pxratio": 3, "js": 1, "language": "vi-VN", "connectiontype": 2,
      "ifa": "00000000-0000-0000-0000-000000000000"})json"));
}

TEST(DeviceFromFacts, PpiFollowsIdiomAndScale) {
    EXPECT_DOUBLE_EQ(pixelsPerInch(true, 2.0), 264.0);
    EXPECT_DOUBLE_EQ(pixelsPerInch(false, 3.0), 489.0);
    EXPECT_DOUBLE_EQ(pixelsPerInch(false, 2.5), 407.5);

    auto pad = phoneFacts();
    pad.hardware.padIdiom = true;
    pad.hardware.scale = 2;
    pad.hardware.nativeScale = 2.5;
    const Device device = Device::fromFacts(pad);
    EXPECT_DOUBLE_EQ(device.ppi, 264.0);
    EXPECT_DOUBLE_EQ(device.pixelRatio, 2.5);
}

TEST(DeviceFromFacts, DeviceTypeComesFromTheSystemNameOnly) {
    EXPECT_EQ(deviceTypeForSystemName("iOS"), Device::DeviceType::mobileOrTablet);
    EXPECT_EQ(deviceTypeForSystemName("iPadOS"), Device::DeviceType::mobileOrTablet);
    EXPECT_EQ(deviceTypeForSystemName("tvOS"), Device::DeviceType::connectedTV);
    EXPECT_EQ(deviceTypeForSystemName("Apple tvOS 17"), Device::DeviceType::connectedTV);
    EXPECT_EQ(deviceTypeForSystemName("TVOS"), Device::DeviceType::mobileOrTablet);

    auto tv = phoneFacts();
    tv.hardware.systemName = "tvOS";
    tv.hardware.padIdiom = true;
    EXPECT_EQ(encodeToJson(Device::fromFacts(tv))["devicetype"], 3);
}

platform::CTCarrier carrier(std::optional<std::string> name, std::optional<std::string> countryCode,
                            std::optional<std::string> networkCode) {
    platform::CTCarrier result;
    result.carrierName = std::move(name);
    result.mobileCountryCode = std::move(countryCode);
    result.mobileNetworkCode = std::move(networkCode);
    return result;
}

TEST(DeviceFromFacts, MobileCountryAndNetworkCode) {
    using Providers = std::map<std::string, platform::CTCarrier>;
    const auto viettel = carrier("Viettel", "452", "04");
    EXPECT_EQ(mobileCountryAndNetworkCode(Providers{{"0000000100000001", viettel}}), "452-04");
    EXPECT_EQ(mobileCountryAndNetworkCode(std::nullopt), std::nullopt);
    EXPECT_EQ(mobileCountryAndNetworkCode(Providers{}), std::nullopt);
    // A subscription without a carrier name is skipped; an empty name still counts.
    EXPECT_EQ(mobileCountryAndNetworkCode(Providers{{"a", carrier(std::nullopt, "310", "260")}}), std::nullopt);
    EXPECT_EQ(mobileCountryAndNetworkCode(Providers{{"a", carrier(std::nullopt, "310", "260")}, {"b", viettel}}),
              "452-04");
    EXPECT_EQ(mobileCountryAndNetworkCode(Providers{{"a", carrier("", "310", "260")}, {"b", viettel}}), "310-260");
    // The first named carrier decides, even when its codes are incomplete.
    EXPECT_EQ(mobileCountryAndNetworkCode(Providers{{"a", carrier("X", "452", std::nullopt)}, {"b", viettel}}),
              std::nullopt);
    EXPECT_EQ(mobileCountryAndNetworkCode(Providers{{"a", carrier("X", std::nullopt, "04")}}), std::nullopt);

    auto facts = phoneFacts();
    facts.cellularProviders = Providers{{"s", viettel}};
    const Json json = encodeToJson(Device::fromFacts(facts));
    EXPECT_EQ(json["mccmnc"], "452-04");
    EXPECT_FALSE(json.contains("carrier")) << "the carrier's name is looked at but never sent";
}

struct ConnectionCase {
    ConnectionStatus connection;
    std::optional<std::string> technology;
    std::string systemVersion;
    std::optional<Device::ConnectionType> expected;
};

TEST(DeviceFromFacts, ConnectionTypeTable) {
    using Type = Device::ConnectionType;
    const std::string noTech;
    const std::vector<ConnectionCase> cases{
        {ConnectionStatus::wifi, std::nullopt, "17.0", Type::wifi},
        {ConnectionStatus::bluetooth, std::nullopt, "17.0", Type::ethernet},
        {ConnectionStatus::offline, std::string(platform::CTRadioAccessTechnologyLTE), "17.0", std::nullopt},
        {ConnectionStatus::unknown, std::string(platform::CTRadioAccessTechnologyLTE), "17.0", Type::unknown},
        {ConnectionStatus::cellular, std::nullopt, "17.0", Type::cellularNetworkUnknownGeneration},
        {ConnectionStatus::cellular, std::string(platform::CTRadioAccessTechnologyGPRS), "17.0", Type::cellular2G},
        {ConnectionStatus::cellular, std::string(platform::CTRadioAccessTechnologyEdge), "17.0", Type::cellular2G},
        {ConnectionStatus::cellular, std::string(platform::CTRadioAccessTechnologyCDMA1x), "17.0", Type::cellular2G},
        {ConnectionStatus::cellular, std::string(platform::CTRadioAccessTechnologyWCDMA), "17.0", Type::cellular3G},
        {ConnectionStatus::cellular, std::string(platform::CTRadioAccessTechnologyHSDPA), "17.0", Type::cellular3G},
        {ConnectionStatus::cellular, std::string(platform::CTRadioAccessTechnologyHSUPA), "17.0", Type::cellular3G},
        {ConnectionStatus::cellular, std::string(platform::CTRadioAccessTechnologyCDMAEVDORev0), "17.0",
         Type::cellular3G},
        {ConnectionStatus::cellular, std::string(platform::CTRadioAccessTechnologyCDMAEVDORevA), "17.0",
         Type::cellular3G},
        {ConnectionStatus::cellular, std::string(platform::CTRadioAccessTechnologyCDMAEVDORevB), "17.0",
         Type::cellular3G},
        {ConnectionStatus::cellular, std::string(platform::CTRadioAccessTechnologyeHRPD), "17.0", Type::cellular3G},
        {ConnectionStatus::cellular, std::string(platform::CTRadioAccessTechnologyLTE), "17.0", Type::cellular4G},
        {ConnectionStatus::cellular, std::string(platform::CTRadioAccessTechnologyNR), "14.1", Type::cellular5G},
        {ConnectionStatus::cellular, std::string(platform::CTRadioAccessTechnologyNR), "14.1.2", Type::cellular5G},
        {ConnectionStatus::cellular, std::string(platform::CTRadioAccessTechnologyNR), "15", Type::cellular5G},
        {ConnectionStatus::cellular, std::string(platform::CTRadioAccessTechnologyNR), "14.0.1",
         Type::cellularNetworkUnknownGeneration},
        {ConnectionStatus::cellular, std::string(platform::CTRadioAccessTechnologyNR), "14",
         Type::cellularNetworkUnknownGeneration},
        {ConnectionStatus::cellular, std::string(platform::CTRadioAccessTechnologyNR), "13.7",
         Type::cellularNetworkUnknownGeneration},
        {ConnectionStatus::cellular, std::string("CTRadioAccessTechnology6G"), "17.0",
         Type::cellularNetworkUnknownGeneration},
        {ConnectionStatus::cellular, std::string("lte"), "17.0", Type::cellularNetworkUnknownGeneration},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(connectionTypeFor(c.connection, c.technology, c.systemVersion), c.expected)
            << static_cast<int>(c.connection) << " " << c.technology.value_or("none") << " " << c.systemVersion;
    }
}

TEST(DeviceFromFacts, CellularUsesTheFirstServicesTechnologyAndOfflineWritesNoKey) {
    auto facts = phoneFacts();
    facts.connection = ConnectionStatus::cellular;
    facts.radioAccessTechnology =
        std::map<std::string, std::string>{{"0000000100000001", std::string(platform::CTRadioAccessTechnologyLTE)},
                                           {"0000000100000002", std::string(platform::CTRadioAccessTechnologyEdge)}};
    EXPECT_EQ(encodeToJson(Device::fromFacts(facts))["connectiontype"], 6);
    facts.radioAccessTechnology = std::map<std::string, std::string>{};
    EXPECT_EQ(encodeToJson(Device::fromFacts(facts))["connectiontype"], 3);
    facts.connection = ConnectionStatus::offline;
    EXPECT_FALSE(encodeToJson(Device::fromFacts(facts)).contains("connectiontype"));
}

TEST(DeviceFromFacts, MissingLanguageAndUserAgentAreLeftOut) {
    auto facts = phoneFacts();
    facts.hardware.preferredLanguages.clear();
    facts.webViewUserAgent.reset();
    const Json json = encodeToJson(Device::fromFacts(facts));
    EXPECT_FALSE(json.contains("language"));
    EXPECT_FALSE(json.contains("ua"));
}

// Decodes a device with the given hardware facts standing in for this machine's.
struct DeviceOnPhone {
    Device device;
    static DeviceOnPhone decode(const KeyedDecodingContainer& c) {
        return DeviceOnPhone{Device::decode(c, phoneFacts().hardware)};
    }
};

TEST(DeviceDecoding, HardwareFieldsDescribeTheDecodingDevice) {
    const auto decoded = decodeFrom<DeviceOnPhone>(R"({"lmt":0,"devicetype":1,"ifa":"X","make":"Other",
      "h":5,"w":6,"ppi":7,"model":"Pixel","os":"Android","osv":"1","hwv":"h","pxratio":9,"js":0})")
                             .device;
    auto expected = Device::fromFacts(phoneFacts());
    expected.userAgent.reset();
    expected.language.reset();  // the sender's missing language replaces this device's
    expected.connectionType.reset();
    expected.idForAdvertiser = "X";
    EXPECT_EQ(decoded, expected);
    EXPECT_EQ(decodeFrom<DeviceOnPhone>(R"({"lmt":0,"devicetype":1,"ifa":"X","language":"de"})").device.language, "de");
}

}  // namespace
}  // namespace qor::testing

namespace qor::testing {
namespace {

// The same rules fed by the platform's device profile, as the engine will call them.
class DeviceFromProfile : public ::testing::Test {
protected:
    void TearDown() override { platform::resetDeviceProfile(); }
};

TEST_F(DeviceFromProfile, ReadsTheDeviceProfile) {
    platform::updateDeviceProfile([](platform::DeviceProfile& profile) {
        profile.model = "iPad";
        profile.name = "Studio iPad";
        profile.systemName = "iPadOS";
        profile.systemVersion = "16.4";
        profile.userInterfaceIdiom = platform::UIUserInterfaceIdiom::pad;
        profile.mainScreen = {820, 1180, 2, 2};
        profile.preferredLanguages = {};
        profile.webViewUserAgent = "Mozilla/5.0 (iPad)";
        profile.cellularProviders = std::map<std::string, platform::CTCarrier>{{"2", carrier("Second", "262", "01")},
                                                                               {"1", carrier("First", "452", "04")}};
    });
    const Json json = encodeToJson(Device::fromPlatform());
    EXPECT_EQ(json["model"], "iPad");
    EXPECT_EQ(json["hwv"], "Studio iPad");
    EXPECT_EQ(json["os"], "iPadOS");
    EXPECT_EQ(json["osv"], "16.4");
    EXPECT_EQ(json["w"], 820);
    EXPECT_EQ(json["h"], 1180);
    EXPECT_EQ(json["ppi"], 264);
    EXPECT_EQ(json["ua"], "Mozilla/5.0 (iPad)");
    EXPECT_EQ(json["mccmnc"], "452-04");
    EXPECT_FALSE(json.contains("language")) << "no preferred language: the key is left out";
}

}  // namespace
}  // namespace qor::testing
