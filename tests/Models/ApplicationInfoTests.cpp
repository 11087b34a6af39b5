// The app object as the main bundle describes it.
#include "Models/OpenRTB/ApplicationInfo.h"
#include "Models/OpenRTB/BundleReaders.h"
#include "OpenRTBTestSupport.h"
#include "Platform/Foundation/Bundle.h"

namespace qor::testing {
namespace {

using platform::Bundle;
using platform::PlistDictionary;

class ApplicationInfoFromBundle : public ::testing::Test {
protected:
    void TearDown() override { Bundle::main()->resetInfoDictionary(); }

    static Json appWith(PlistDictionary info) {
        Bundle::main()->setInfoDictionary(std::move(info));
        return encodeToJson(ApplicationInfo::fromMainBundle());
    }
};

TEST_F(ApplicationInfoFromBundle, NameIdentifierVersionAndTheFrameworksRecord) {
    EXPECT_EQ(appWith({{"CFBundleName", "Demo"},
                       {"CFBundleIdentifier", "io.qor.demo"},
                       {"CFBundleShortVersionString", "2.3"},
                       {"CFBundleVersion", "45"}}),
              Json::parse(R"({"name":"Demo","bundle":"io.qor.demo","ver":"2.3",
                            "ext":{"QOR":{"version":"0.1.19","source":"qor-sdk"}}})"));
}

TEST_F(ApplicationInfoFromBundle, MissingOrNonTextValuesLeaveOnlyTheirOwnKeyOut) {
    EXPECT_EQ(appWith({{"CFBundleName", 7}, {"CFBundleIdentifier", "io.qor.demo"}}),
              Json::parse(R"({"bundle":"io.qor.demo","ext":{"QOR":{"version":"0.1.19","source":"qor-sdk"}}})"));
    EXPECT_EQ(appWith({}), Json::parse(R"({"ext":{"QOR":{"version":"0.1.19","source":"qor-sdk"}}})"));
}

TEST_F(ApplicationInfoFromBundle, ReadersSeeTheBundleAsItIsNow) {
    const auto bundle = Bundle::main();
    bundle->setInfoDictionary(PlistDictionary{{"CFBundleVersion", "45"}, {"CFBundleShortVersionString", true}});
    EXPECT_EQ(appBuild(*bundle), "45");
    EXPECT_EQ(appVersion(*bundle), std::nullopt);
    EXPECT_EQ(infoString(*bundle, "Other"), std::nullopt);
    bundle->setInfoDictionary(PlistDictionary{{"CFBundleName", "Renamed"}});
    EXPECT_EQ(appName(*bundle), "Renamed");
    EXPECT_EQ(appBuild(*bundle), std::nullopt);
    bundle->setInfoDictionary(std::nullopt);
    EXPECT_EQ(appName(*bundle), std::nullopt);
}

}  // namespace
}  // namespace qor::testing
