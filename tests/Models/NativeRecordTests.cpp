// The native request as the impression carries it (text inside "request") and the native
// response as a winning bid's markup carries it.
#include <string>
#include <vector>

#include "Models/OpenRTB/NativeAdRequest.h"
#include "Models/OpenRTB/NativeAdResponse.h"
#include "OpenRTBTestSupport.h"

namespace qor::testing {
namespace {

std::string conversionText(const char* type) {
    return QORSDKError(
               QORSDKError::generalError{QORSDKError::GeneralErrorReason::conversionError{type, StringEncoding::utf8}})
        .description();
}

TEST(NativeAdRequest, TheRequestTextHoldsTheFixedKeysAndTheAssetsInOrder) {
    Asset::Request title;
    title.id = 3;
    title.title = AssetTitle::Request{140, {}};
    Asset::Request icon;
    icon.id = 1;
    icon.required = 1;
    icon.image = AssetImage::Request{AssetImage::ImageType::icon,           80,          std::nullopt, 80, std::nullopt,
                                     std::vector<std::string>{"image/png"}, std::nullopt};
    Asset::Request video;
    video.id = 7;
    video.video =
        AssetVideo::Request{{"video/mp4"}, 5, 30, {VideoProtocol::vast2, VideoProtocol::vast3, VideoProtocol::vast4}};

    const auto native = nativeObjectForAssets({title, icon, video});
    ASSERT_TRUE(native.isSuccess());
    EXPECT_EQ(native.value().version, "1.2");
    EXPECT_FALSE(native.value().apis || native.value().blockedAttributes || native.value().ext);
    // The request travels as this text inside the bid request: its keys in their fixed order.
    EXPECT_EQ(native.value().request,
              R"({"assets":[{"id":3,"required":0,"title":{"len":140}},)"
              R"({"id":1,"required":1,"img":{"type":1,"w":80,"h":80,"mimes":["image\/png"]}},)"
              R"({"id":7,"required":0,"video":{"mimes":["video\/mp4"],"minduration":5,"maxduration":30,)"
              R"("protocols":[2,3,7]}}],"ver":"1.2","plcmttype":1,"plcmtcnt":1,"seq":0,"aurlsupport":0,)"
              R"("durlsupport":0,"privacy":0})");

    const auto none = nativeObjectForAssets({});
    ASSERT_TRUE(none.isSuccess());
    EXPECT_EQ(Json::parse(none.value().request)["assets"], Json::array());

    NativeAdRequest withContext = NativeAdRequest::forAssets({});
    withContext.contextTypeID = 2;
    const Json contextual = Json::parse(nativeAdRequestText(withContext).value());
    EXPECT_EQ(contextual["context"], 2);
    EXPECT_EQ(contextual["contextsubtype"], 1);
}

TEST(NativeAdRequest, TextThatIsNotUTF8FailsAsAConversionOfTheRequest) {
    Asset::Request image;
    image.id = 2;
    image.image = AssetImage::Request{};
    image.image->mimes = std::vector<std::string>{"image/\xff"};
    const auto native = nativeObjectForAssets({image});
    ASSERT_TRUE(native.isFailure());
    EXPECT_EQ(native.error().description(), conversionText("NativeAdRequest"));
}

TEST(NativeAdResponse, AssetsLinksAndTrackersDecode) {
    const auto response = decodeNativeAdResponse(R"({
      "ver": "1.2", "link": {"url": "https://click", "clicktrackers": ["https://ct"]},
      "assets": [{"id": 3, "title": {"len": 25, "text": "Title"}, "ext": "ignored"},
                 {"id": 2, "img": {"url": "https://img", "type": 7, "w": 300, "h": 250}},
                 {"id": 7, "video": {"vasttag": "<VAST/>"}},
                 {"id": 4, "required": 1, "data": {"value": "Desc", "type": 2}, "link": {"url": "https://a"}}],
      "eventtrackers": [{"event": 1, "method": 1, "url": "https://imp"}],
      "assetsurl": "a", "dcourl": "d", "privacy": null})");
    ASSERT_TRUE(response.isSuccess());
    const NativeAdResponse& native = response.value();
    EXPECT_EQ(native.link->clickTrackers, std::vector<std::string>{"https://ct"});
    ASSERT_EQ(native.assets->size(), 4U);
    EXPECT_EQ((*native.assets)[0].title->text, "Title");
    EXPECT_EQ((*native.assets)[1].image->type, 7);  // any number: no enumeration on this side
    EXPECT_EQ((*native.assets)[2].video->vastTag, "<VAST/>");
    EXPECT_EQ((*native.assets)[3].data->value, "Desc");
    EXPECT_EQ(native.eventTrackers->front().eventType, EventTracker::EventType::impression);
    EXPECT_FALSE(native.privacy.has_value());

    const auto bare = decodeNativeAdResponse(R"({"ver":"1.2"})");
    ASSERT_TRUE(bare.isSuccess());
    EXPECT_FALSE(bare.value().assets || bare.value().link || bare.value().eventTrackers);
}

TEST(NativeAdResponse, AnythingUnreadableFailsTheWholeResponseAlike) {
    const std::vector<std::optional<std::string>> bad = {
        std::nullopt,
        "not json",
        "{\"ver\":\"1.2\xff\"}",
        R"({})",
        R"({"ver":1.2})",
        R"({"ver":"1.2","privacy":"0"})",
        R"({"ver":"1.2","assets":[{"id":1,"img":{"url":"u"}},{"id":2,"img":{"w":1}}]})",
        R"({"ver":"1.2","assets":[{"title":{"text":"t"}}]})",
        R"({"ver":"1.2","assets":[{"video":{}}]})",
        R"({"ver":"1.2","assets":[{"data":{"type":2}}]})",
        R"({"ver":"1.2","link":{"clicktrackers":[]}})",
        R"({"ver":"1.2","eventtrackers":[{"event":5,"method":1}]})",
        R"({"ver":"1.2","eventtrackers":[{"event":1}]})",
    };
    for (const auto& markup : bad) {
        const auto response = decodeNativeAdResponse(markup);
        ASSERT_TRUE(response.isFailure()) << markup.value_or("(absent)");
        EXPECT_EQ(response.error().description(), conversionText("NativeAdResponse"));
    }
}

}  // namespace
}  // namespace qor::testing
