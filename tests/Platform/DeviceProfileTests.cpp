#include "Platform/Support/DeviceProfile.h"

#include <gtest/gtest.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "Platform/CoreTelephony/CTRadioAccessTechnology.h"
#include "Platform/CoreTelephony/CTTelephonyNetworkInfo.h"
#include "Platform/Foundation/Locale.h"
#include "Platform/Foundation/TimeZone.h"
#include "Platform/Support/HostLocale.h"
#include "Platform/Support/ProcessInfo.h"
#include "Platform/SystemConfiguration/SCNetworkReachability.h"
#include "Platform/UIKit/UIDevice.h"
#include "Platform/UIKit/UIScreen.h"
#include "testing/FileHelpers.h"
#include "testing/ScopedEnvironment.h"
#include "testing/TestAppHome.h"

namespace qor::platform {
namespace {

using qor::testing::ScopedEnvironment;
using qor::testing::TestAppHome;

class DeviceProfileTest : public ::testing::Test {
protected:
    void TearDown() override { resetDeviceProfile(); }
};

TEST_F(DeviceProfileTest, DefaultsDescribeThisMachine) {
    utsname info{};
    ASSERT_EQ(uname(&info), 0);
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);

    const auto device = UIDevice::current();
    EXPECT_EQ(device->systemName(), "Linux");
    // The numeric dotted prefix of the kernel release ("6.1.0-18-amd64" gives "6.1.0").
    EXPECT_EQ(device->systemVersion(), numericVersionPrefix(info.release));
    EXPECT_EQ(device->systemVersion().find_first_not_of("0123456789."), std::string::npos);
    EXPECT_EQ(device->name(), host);
    EXPECT_EQ(device->model(), "Linux");
    EXPECT_EQ(device->userInterfaceIdiom(), UIUserInterfaceIdiom::unspecified);
    EXPECT_EQ(currentDeviceProfile().hardwareModel, info.machine);

    EXPECT_EQ(UIScreen::main()->bounds(), (CGRect{{0, 0}, {1920, 1080}}));
    EXPECT_EQ(UIScreen::main()->scale(), 1.0);

    EXPECT_FALSE(Locale::preferredLanguages().empty());
    EXPECT_FALSE(TimeZone::current().identifier.empty());
    EXPECT_FALSE(CTTelephonyNetworkInfo::make()->serviceSubscriberCellularProviders());
    EXPECT_FALSE(CTTelephonyNetworkInfo::make()->serviceCurrentRadioAccessTechnology());
    const auto agent = currentDeviceProfile().webViewUserAgent;
    ASSERT_TRUE(agent);
    EXPECT_TRUE(agent->starts_with("Mozilla/5.0 (X11; Linux ")) << *agent;
}

TEST_F(DeviceProfileTest, OverridesReachEveryReaderUntilReset) {
    updateDeviceProfile([](DeviceProfile& p) {
        p.model = "iPad";
        p.systemName = "iPadOS";
        p.systemVersion = "17.2.1";
        p.userInterfaceIdiom = UIUserInterfaceIdiom::pad;
        p.identifierForVendor = "11111111-2222-4333-8444-555555555555";
        p.mainScreen = ScreenFacts{820, 1180, 2, 2.5};
        p.preferredLanguages = {"de-DE", "en-US"};
        p.localeIdentifier = "de_DE";
        p.timeZoneIdentifier = "Europe/Berlin";
        p.cellularProviders =
            std::map<std::string, CTCarrier>{{"0000000100000001", CTCarrier{"Carrier", "452", "04", "vn", true}}};
        p.radioAccessTechnologies =
            std::map<std::string, std::string>{{"0000000100000001", std::string(CTRadioAccessTechnologyLTE)}};
    });
    const auto device = UIDevice::current();
    EXPECT_EQ(device->model(), "iPad");
    EXPECT_EQ(device->systemVersion(), "17.2.1");
    EXPECT_EQ(device->userInterfaceIdiom(), UIUserInterfaceIdiom::pad);
    EXPECT_EQ(device->identifierForVendor(), "11111111-2222-4333-8444-555555555555");
    EXPECT_EQ(UIScreen::main()->bounds().height(), 1180);
    EXPECT_EQ(UIScreen::main()->nativeScale(), 2.5);
    EXPECT_EQ(Locale::preferredLanguages().front(), "de-DE");
    EXPECT_EQ(Locale::current().identifier, "de_DE");
    EXPECT_EQ(TimeZone::current().identifier, "Europe/Berlin");
    const auto info = CTTelephonyNetworkInfo::make();
    EXPECT_EQ(info->serviceSubscriberCellularProviders()->at("0000000100000001").mobileNetworkCode, "04");
    EXPECT_EQ(info->serviceCurrentRadioAccessTechnology()->begin()->second, "CTRadioAccessTechnologyLTE");

    updateDeviceProfile([](DeviceProfile& p) {
        p.identifierForVendor.reset();
        p.identifierForVendorFromAppHome = false;
    });
    EXPECT_FALSE(device->identifierForVendor()) << "a device without an identifier for vendor";

    resetDeviceProfile();
    EXPECT_EQ(device->systemName(), "Linux");
    EXPECT_FALSE(CTTelephonyNetworkInfo::make()->serviceSubscriberCellularProviders());
}

TEST_F(DeviceProfileTest, IdentifierForVendorIsKeptInTheAppHome) {
    TestAppHome first;
    const auto made = UIDevice::current()->identifierForVendor();
    ASSERT_TRUE(made);
    EXPECT_EQ(made->size(), 36u);
    EXPECT_EQ((*made)[14], '4');
    std::string stored;
    std::getline(std::ifstream(first.path() / "identifierForVendor"), stored);
    EXPECT_EQ(stored, *made);
    EXPECT_EQ(UIDevice::current()->identifierForVendor(), made);

    // An app home from an earlier run already holds its identifier.
    TestAppHome second;
    const std::string earlier = "ABCDEF01-2345-4789-8BCD-EF0123456789";
    qor::testing::writeFile(second.path() / "identifierForVendor", earlier + "\n");
    EXPECT_EQ(UIDevice::current()->identifierForVendor(), earlier);
}

TEST_F(DeviceProfileTest, ReachabilityFollowsTheHostUnlessFixed) {
    const auto reachability = SCNetworkReachability::createWithZeroAddress();
    ASSERT_TRUE(reachability);
    EXPECT_EQ(reachability->flags(), hostReachabilityFlags());

    updateDeviceProfile([](DeviceProfile& p) {
        p.reachability =
            ReachabilityFacts::fixed(kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsWWAN);
    });
    EXPECT_EQ(reachability->flags(), kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsWWAN);
    EXPECT_EQ(*reachability->flags() & kSCNetworkReachabilityFlagsReachable, 2u);
    EXPECT_EQ(kSCNetworkReachabilityFlagsConnectionRequired, 4u);
    EXPECT_EQ(kSCNetworkReachabilityFlagsIsWWAN, 1u << 18);

    updateDeviceProfile([](DeviceProfile& p) { p.reachability = ReachabilityFacts::unavailable(); });
    EXPECT_FALSE(SCNetworkReachability::createWithZeroAddress());
    EXPECT_FALSE(reachability->flags());

    sockaddr_in wrongFamily{};
    wrongFamily.sin_family = AF_INET6;
    resetDeviceProfile();
    EXPECT_FALSE(SCNetworkReachability::createWithAddress(wrongFamily));
}

TEST_F(DeviceProfileTest, OperatingSystemVersionCheckComparesNumericParts) {
    const auto withVersion = [](const std::string& version) {
        updateDeviceProfile([&](DeviceProfile& p) { p.systemVersion = version; });
    };
    withVersion("14.1");
    EXPECT_TRUE(isOperatingSystemAtLeast(14, 1));
    EXPECT_FALSE(isOperatingSystemAtLeast(14, 1, 1));
    withVersion("14.0.9");
    EXPECT_FALSE(isOperatingSystemAtLeast(14, 1));
    withVersion("17");
    EXPECT_TRUE(isOperatingSystemAtLeast(14, 1));
    withVersion("6.1.0-18-amd64");
    EXPECT_TRUE(isOperatingSystemAtLeast(6, 1));
    EXPECT_FALSE(isOperatingSystemAtLeast(14, 1));
    withVersion("unknown");
    EXPECT_FALSE(isOperatingSystemAtLeast(0, 0, 1));
}

TEST(LocaleFromEnvironment, TurnsPosixLocalesIntoLanguageTags) {
    EXPECT_EQ(languageTagFromPosixLocale("en_US.UTF-8"), "en-US");
    EXPECT_EQ(languageTagFromPosixLocale("de_DE@euro"), "de-DE");
    EXPECT_EQ(languageTagFromPosixLocale("fr"), "fr");
    EXPECT_FALSE(languageTagFromPosixLocale("C.UTF-8"));
    EXPECT_FALSE(languageTagFromPosixLocale("POSIX"));
    EXPECT_FALSE(languageTagFromPosixLocale(""));

    {
        ScopedEnvironment language("LANGUAGE", "pt_BR:pt:pt_BR:C");
        EXPECT_EQ(preferredLanguagesFromEnvironment(), (std::vector<std::string>{"pt-BR", "pt"}));
    }
    ScopedEnvironment language("LANGUAGE", std::nullopt);
    ScopedEnvironment all("LC_ALL", std::nullopt);
    ScopedEnvironment messages("LC_MESSAGES", std::nullopt);
    {
        ScopedEnvironment lang("LANG", "sv_SE.UTF-8");
        EXPECT_EQ(preferredLanguagesFromEnvironment(), std::vector<std::string>{"sv-SE"});
        EXPECT_EQ(localeIdentifierFromEnvironment(), "sv_SE");
    }
    ScopedEnvironment lang("LANG", "C");
    EXPECT_EQ(preferredLanguagesFromEnvironment(), std::vector<std::string>{"en-US"});
    EXPECT_EQ(localeIdentifierFromEnvironment(), "en_US");
}

TEST(TimeZoneFromHost, PrefersTheTZVariable) {
    {
        ScopedEnvironment tz("TZ", ":Asia/Tokyo");
        EXPECT_EQ(timeZoneIdentifierFromHost(), "Asia/Tokyo");
    }
    {
        ScopedEnvironment tz("TZ", "/usr/share/zoneinfo/right/America/New_York");
        EXPECT_EQ(timeZoneIdentifierFromHost(), "America/New_York");
    }
    ScopedEnvironment tz("TZ", std::nullopt);
    EXPECT_FALSE(timeZoneIdentifierFromHost().empty());
}

// An update's function may read device facts and write the profile itself; updates from many
// threads each land, none lost, and no read sees half of one.
TEST_F(DeviceProfileTest, ReadsAndWritesFromManyThreadsStayConsistent) {
    updateDeviceProfile([](DeviceProfile& p) {
        p.name = UIDevice::current()->systemName() + " box";
        updateDeviceProfile([](DeviceProfile& inner) { inner.mainScreen.scale = 2; });
    });
    EXPECT_EQ(UIDevice::current()->name(), "Linux box");
    EXPECT_EQ(UIScreen::main()->scale(), 2.0);
    std::atomic<bool> torn{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &torn] {
            for (int i = 0; i < 200; ++i) {
                if (t % 2 == 0) {
                    updateDeviceProfile([i](DeviceProfile& p) {
                        p.model = "m" + std::to_string(i);
                        p.systemVersion = "v" + std::to_string(i);
                        p.mainScreen.nativeScale += 1;
                    });
                } else {
                    const auto profile = currentDeviceProfile();
                    if (profile.model.substr(1) != profile.systemVersion.substr(1) && profile.model != "Linux")
                        torn = true;
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_FALSE(torn);
    EXPECT_EQ(currentDeviceProfile().mainScreen.nativeScale, 1.0 + 2 * 200);
}

}  // namespace
}  // namespace qor::platform
