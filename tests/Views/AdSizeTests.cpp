#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "Networking/Client/QORSDKError.h"
#include "Views/AdSize.h"

namespace qor {
namespace {

TEST(AdSizeTest, NamesGiveTheirCasesAndOtherTextsParseAsWidthByHeight) {
    struct Case {
        std::string text;
        AdSize::Frame frame;
        std::string name;
    };
    const Case cases[] = {
        {"banner", {320, 50}, "banner"},
        {"fullBanner", {468, 60}, "fullBanner"},
        {"largeBanner", {320, 100}, "largeBanner"},
        {"rectangle", {250, 250}, "rectangle"},
        {"mediumRectangle", {300, 250}, "mediumRectangle"},
        {"video", {480, 360}, "video"},
        // Named sizes match by name only: the numbers make a custom size.
        {"320x50", {320, 50}, "custom width height"},
        {"0x0", {0, 0}, "custom width height"},
        {"300.5x100", {300.5, 100}, "custom width height"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const AdSize size(c.text);
        EXPECT_EQ(size.frame(), c.frame);
        EXPECT_EQ(size.name(), c.name);
        EXPECT_EQ(size.isCustom(), c.name == "custom width height");
    }
    EXPECT_EQ(AdSize("320x50"), AdSize::forCustom(320, 50));
    EXPECT_NE(AdSize("320x50"), AdSize::banner());
}

TEST(AdSizeTest, MalformedTextsThrowTheOneMessage) {
    // Case-sensitive names, only a lower-case "x" separates, exactly two plain numbers, and a
    // custom size's own name does not parse back.
    for (const char* text : {"Banner", "320X50", "320x50x10", "x50", "320x", "", "x", "320 x 50", " 320x50", "1,000x50",
                             "1e3x50", "infx50", "nanxnan", "custom width height", "0x320x"}) {
        SCOPED_TRACE(text);
        try {
            AdSize size{std::string(text)};
            ADD_FAILURE() << "parsed as " << size.name();
        } catch (const QORSDKError& error) {
            EXPECT_EQ(error.errorDescription(), "Invalid Ad size. It must be widthxheight format");
            EXPECT_NE(error.as<QORSDKError::generalError>(), nullptr);
        }
    }
}

TEST(AdSizeTest, RatioIsAPlainDivision) {
    EXPECT_DOUBLE_EQ(AdSize::mediumRectangle().ratio(), 1.2);
    EXPECT_DOUBLE_EQ(AdSize::video().ratio(), 480.0 / 360.0);
    EXPECT_TRUE(std::isnan(AdSize("0x0").ratio()));
    EXPECT_TRUE(std::isinf(AdSize::forCustom(10, 0).ratio()));
    EXPECT_EQ(AdSize::forCustom(300, 100).name(), "custom width height");
}

}  // namespace
}  // namespace qor
