#include "Platform/Foundation/Bundle.h"

#include <gtest/gtest.h>

#include "Platform/Foundation/PlatformError.h"
#include "testing/ScopedEnvironment.h"
#include "testing/TempDirectory.h"

namespace qor::platform {
namespace {

using qor::testing::ScopedEnvironment;
using qor::testing::TempDirectory;

constexpr const char* kAllKinds = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0">
<dict>
  <!-- identity -->
  <key>CFBundleIdentifier</key>
  <string>io.example.app</string>
  <key>Escaped</key>
  <string>a &amp; b <![CDATA[<raw>]]></string>
  <key>Empty</key>
  <string/>
  <key>Count</key>
  <integer>-42</integer>
  <key>Big</key>
  <integer>9223372036854775807</integer>
  <key>Ratio</key>
  <real>2.5</real>
  <key>Yes</key>
  <true/>
  <key>No</key>
  <false/>
  <key>Blob</key>
  <data>
    AAEC
    /w==
  </data>
  <key>When</key>
  <date>2024-03-05T14:07:09Z</date>
  <key>QORSDKConfig</key>
  <dict>
    <key>writeKey</key>
    <string>abc</string>
    <key>list</key>
    <array>
      <integer>1</integer>
      <string>two</string>
      <array/>
    </array>
  </dict>
</dict>
</plist>
)";

TEST(PropertyList, ReadsEveryValueKindFromAFile) {
    TempDirectory dir;
    const auto bundle = Bundle::make(dir.path());
    ASSERT_TRUE(bundle);
    dir.write("Info.plist", kAllKinds);

    const auto info = bundle->infoDictionary();
    ASSERT_TRUE(info);
    EXPECT_EQ(bundle->bundleIdentifier(), "io.example.app");
    EXPECT_EQ(*info->at("Escaped").asString(), "a & b <raw>");
    EXPECT_EQ(*info->at("Empty").asString(), "");
    EXPECT_EQ(*info->at("Count").asInteger(), -42);
    EXPECT_EQ(*info->at("Big").asInteger(), INT64_MAX);
    EXPECT_EQ(*info->at("Ratio").asReal(), 2.5);
    EXPECT_EQ(*info->at("Yes").asBool(), true);
    EXPECT_EQ(*info->at("No").asBool(), false);
    EXPECT_EQ(*info->at("Blob").asData(), (Data{0x00, 0x01, 0x02, 0xff}));
    EXPECT_EQ(*info->at("When").asString(), "2024-03-05T14:07:09Z");

    const auto config = bundle->objectForInfoDictionaryKey("QORSDKConfig");
    ASSERT_TRUE(config && config->isDictionary());
    EXPECT_EQ(config->asDictionary()->at("writeKey"), PlistValue("abc"));
    const auto& list = *config->asDictionary()->at("list").asArray();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0], PlistValue(1));
    EXPECT_EQ(list[1], PlistValue("two"));
    EXPECT_EQ(list[2], PlistValue(PlistArray{}));
}

TEST(PropertyList, RejectsMalformedInputWithAReason) {
    const auto expectCorrupt = [](const std::string& xml, const std::string& fragment) {
        try {
            parsePropertyList(xml);
            ADD_FAILURE() << "accepted: " << xml;
        } catch (const PlatformError& error) {
            EXPECT_EQ(error.code(), PlatformError::Code::propertyListCorrupt);
            EXPECT_NE(std::string(error.what()).find(fragment), std::string::npos) << error.what();
        }
    };
    expectCorrupt("<plist><dict><key>a</key></dict></plist>", "key \"a\" has no value");
    expectCorrupt("<plist><dict><string>x</string></dict></plist>", "without a preceding <key>");
    expectCorrupt("<plist><integer>12x</integer></plist>", "<integer>");
    expectCorrupt("<plist><integer>9223372036854775808</integer></plist>", "out of range");
    expectCorrupt("<plist><data>!!!</data></plist>", "base64");
    expectCorrupt("<plist><widget/></plist>", "unknown element <widget>");
    expectCorrupt("<plist><dict>", "Property list is not valid");
    expectCorrupt("bplist00\x01\x02", "binary");

    EXPECT_EQ(*parsePropertyList("<plist><integer>-9223372036854775808</integer></plist>").asInteger(), INT64_MIN);
}

TEST(PropertyList, TextsKeepTheirBlanks) {
    const auto value = parsePropertyList(
        "<plist><dict>\n  <key> </key>\n  <string>  </string>\n  <key>b</key> <string> x <![CDATA[y]]> </string>\n"
        "  <key>n</key> <integer> 7 </integer>\n</dict></plist>");
    const auto& dictionary = *value.asDictionary();
    ASSERT_EQ(dictionary.size(), 3u);
    EXPECT_EQ(dictionary.at(" "), PlistValue("  "));
    EXPECT_EQ(dictionary.at("b"), PlistValue(" x y "));
    EXPECT_EQ(dictionary.at("n"), PlistValue(7));
}

TEST(PropertyList, ExplicitLoadReportsWhatIsWrongAndIgnoredFileIsNoDictionary) {
    TempDirectory dir;
    const auto bundle = Bundle::make(dir.path());
    ASSERT_TRUE(bundle);
    try {
        bundle->loadInfoDictionary(dir.file("missing.plist"));
        ADD_FAILURE();
    } catch (const PlatformError& error) {
        EXPECT_EQ(error.code(), PlatformError::Code::fileNoSuchFile);
    }
    const auto arrayRoot = dir.write("array.plist", "<plist><array/></plist>");
    EXPECT_THROW(bundle->loadInfoDictionary(arrayRoot), PlatformError);

    // A broken Info.plist beside the code counts as none, never as a crash.
    dir.write("Info.plist", "<plist><dict><key>a</key>");
    EXPECT_FALSE(bundle->infoDictionary());
    EXPECT_FALSE(bundle->bundleIdentifier());
}

TEST(Bundle, MainBundleTakesAnInfoDictionaryFromCodeOrFromAnExplicitFile) {
    const auto main = Bundle::main();
    main->resetInfoDictionary();
    // The test executable has no Info.plist beside it.
    EXPECT_FALSE(main->infoDictionary());
    EXPECT_FALSE(main->bundleIdentifier());
    EXPECT_FALSE(main->objectForInfoDictionaryKey("CFBundleShortVersionString"));

    main->setInfoDictionary(PlistDictionary{{"CFBundleIdentifier", 7}, {"CFBundleName", "Plain"}});
    EXPECT_FALSE(main->bundleIdentifier()) << "a non-text identifier is no identifier";
    main->setLocalizedInfoDictionary(PlistDictionary{{"CFBundleName", "Localized"}});
    EXPECT_EQ(main->objectForInfoDictionaryKey("CFBundleName"), PlistValue("Localized"));

    TempDirectory dir;
    main->loadInfoDictionary(dir.write("App.plist", kAllKinds));
    EXPECT_EQ(main->bundleIdentifier(), "io.example.app");

    main->resetInfoDictionary();
    EXPECT_FALSE(main->infoDictionary());
    EXPECT_FALSE(main->localizedInfoDictionary());
}

TEST(Bundle, FindsTheFrameworkResourcesThroughTheResourceFolderVariable) {
    TempDirectory dir;
    std::filesystem::create_directories(dir.file("QORSDK.bundle"));
    dir.write("QORSDK.bundle/close.png", "png");
    {
        // Without the variable the build tree's own resources are found, as an installation's are.
        ScopedEnvironment resources("QOR_RESOURCE_DIR", std::nullopt);
        const auto built = Bundle::frameworkBundle()->urlForResource("QORSDK", "bundle");
        ASSERT_TRUE(built);
        EXPECT_EQ(built->parent_path().filename(), "QORUniversalSDK");
    }
    ScopedEnvironment resources("QOR_RESOURCE_DIR", dir.path().string());
    const auto url = Bundle::frameworkBundle()->urlForResource("QORSDK", "bundle");
    ASSERT_TRUE(url);
    EXPECT_EQ(*url, dir.file("QORSDK.bundle"));

    const auto resourceBundle = Bundle::make(*url);
    ASSERT_TRUE(resourceBundle);
    EXPECT_EQ(resourceBundle->urlForResource("close", "png"), dir.file("QORSDK.bundle/close.png"));
    EXPECT_FALSE(resourceBundle->urlForResource("open", "png"));
    EXPECT_FALSE(Bundle::make(dir.file("QORSDK.bundle/close.png"))) << "a file is not a bundle";
}

TEST(Bundle, AppExtensionPathIsDeclaredThroughTheBundlePath) {
    const auto main = Bundle::main();
    const auto original = main->bundlePath();
    EXPECT_FALSE(original.ends_with(".appex"));
    main->setBundlePath("/opt/host/Widget.appex");
    EXPECT_EQ(main->bundlePath(), "/opt/host/Widget.appex");
    main->setBundlePath(original);
}

TEST(Base64, RoundTripsEveryTailLengthAndRefusesGarbage) {
    for (std::size_t length = 0; length < 7; ++length) {
        Data bytes;
        for (std::size_t i = 0; i < length; ++i) bytes.push_back(static_cast<std::uint8_t>(0xF0 + i));
        EXPECT_EQ(plist::base64Decode(plist::base64Encode(bytes)), bytes) << length;
    }
    EXPECT_EQ(plist::base64Encode(dataFromString("Man")), "TWFu");
    EXPECT_EQ(plist::base64Encode(dataFromString("Ma")), "TWE=");
    EXPECT_FALSE(plist::base64Decode("TWFu*"));
    EXPECT_FALSE(plist::base64Decode("TW=u"));
    EXPECT_FALSE(plist::base64Decode("T"));
}

}  // namespace
}  // namespace qor::platform
