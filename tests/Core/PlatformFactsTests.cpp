#include "Core/Helpers/SharedSlot.h"
#include "Core/PlatformFacts.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Support/DeviceProfile.h"
#include "testing/TempDirectory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace qor {
namespace {

TEST(PlatformSuffix, FollowsTheSystemName) {
    const auto suffixFor = [](std::string systemName) {
        platform::updateDeviceProfile([&](platform::DeviceProfile& profile) { profile.systemName = systemName; });
        return platformSuffix();
    };
    EXPECT_EQ(suffixFor("iOS"), "@ios");
    EXPECT_EQ(suffixFor("tvOS"), "@appletv");
    EXPECT_EQ(suffixFor("Apple tvOS 17"), "@appletv");
    EXPECT_EQ(suffixFor("tvos"), "@ios") << "the test is case-sensitive";
    platform::resetDeviceProfile();
}

TEST(AppExtension, DecidedByTheMainBundlePathOnce) {
    EXPECT_TRUE(bundlePathIsAppExtension("/Apps/Host.app/PlugIns/Share.appex"));
    EXPECT_FALSE(bundlePathIsAppExtension("/Apps/Host.app"));
    EXPECT_FALSE(bundlePathIsAppExtension("/Apps/Share.APPEX"));
    // The flag is computed once per process, so each case runs in a process of its own.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            platform::Bundle::main()->setBundlePath("/Apps/Host.app/PlugIns/Share.appex");
            const bool first = isAppExtension();
            platform::Bundle::main()->setBundlePath("/Apps/Host.app");
            std::exit(first && isAppExtension() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            platform::Bundle::main()->setBundlePath("/Apps/Host.app");
            std::exit(isAppExtension() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(SDKResourceBundle, FindsTheBundleInTheGivenBundle) {
    qor::testing::TempDirectory folder;
    std::filesystem::create_directories(folder.file("QORSDK.bundle"));
    const auto host = platform::Bundle::make(folder.path());
    ASSERT_NE(host, nullptr);
    const auto resources = sdkResourceBundle(*host);
    ASSERT_NE(resources, nullptr);
    EXPECT_EQ(std::filesystem::path(resources->bundlePath()).filename(), "QORSDK.bundle");
}

TEST(SDKResourceBundleDeathTest, MissingOrUnreadableBundleStops) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    qor::testing::TempDirectory empty;
    const auto host = platform::Bundle::make(empty.path());
    ASSERT_NE(host, nullptr);
    EXPECT_DEATH(sdkResourceBundle(*host), "^Fatal error: MySDK\\.bundle not found!\n");

    qor::testing::TempDirectory withFile;
    withFile.write("QORSDK.bundle", "not a folder");
    const auto fileHost = platform::Bundle::make(withFile.path());
    ASSERT_NE(fileHost, nullptr);
    EXPECT_DEATH(sdkResourceBundle(*fileHost), "^Fatal error: Cannot access MySDK\\.bundle!\n");
}

struct Component {
    int value = 0;
};

TEST(SharedSlot, StoresReplacesAndGuards) {
    SharedSlot<Component> slot("AdNetwork");
    EXPECT_EQ(slot.peek(), nullptr);
    auto first = std::make_shared<Component>(Component{1});
    slot.set(first);
    EXPECT_EQ(slot.get(), first);
    slot.set(std::make_shared<Component>(Component{2}));
    EXPECT_EQ(slot.get()->value, 2);
    EXPECT_EQ(first.use_count(), 1) << "the replaced value is released";

    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const char* component : {"Analytics", "AdNetwork", "CappingManager", "AdController"}) {
        SharedSlot<Component> empty(component);
        EXPECT_DEATH(empty.get(), "^Fatal error: \\[QORSDK\\] Use " + std::string(component) +
                                      " before setup\\. Please call `QORSDK\\.start\\(\\)` before you do any other "
                                      "things in QORSDK\\.\n");
    }
}

}  // namespace
}  // namespace qor
