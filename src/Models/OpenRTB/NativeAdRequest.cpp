#include "Models/OpenRTB/NativeAdRequest.h"

#include "Core/UTF8.h"

namespace qor {

namespace {

constexpr const char* nativeVersion = "1.2";

QORSDKError requestConversionError() {
    return QORSDKError::generalError{
        QORSDKError::GeneralErrorReason::conversionError{"NativeAdRequest", StringEncoding::utf8}};
}

}  // namespace

NativeAdRequest NativeAdRequest::forAssets(std::vector<Asset::Request> assets) {
    NativeAdRequest request;
    request.assets = std::move(assets);
    request.version = nativeVersion;
    request.contextSubTypeID = 1;
    request.placementTypeID = 1;
    request.numOfPlacementID = 1;
    return request;
}

void NativeAdRequest::encode(KeyedEncodingContainer& c) const {
    c.encode("assets", assets);
    c.encode("ver", version);
    if (contextTypeID) {
        c.encode("context", *contextTypeID);
        c.encode("contextsubtype", contextSubTypeID);
    }
    c.encode("plcmttype", placementTypeID);
    c.encode("plcmtcnt", numOfPlacementID);
    c.encode("seq", sequence);
    c.encode("aurlsupport", assetUrlSupport);
    c.encode("durlsupport", dcoUrlSupport);
    c.encodeIfPresent("eventtrackers", eventTrackers);
    c.encode("privacy", privacy);
    c.encodeIfPresent("ext", ext);
}

Result<std::string> nativeAdRequestText(const NativeAdRequest& request) {
    try {
        const platform::Data data = platform::JSONEncoder().encode(request);
        if (auto text = utf8String(data)) return Result<std::string>::success(std::move(*text));
    } catch (const platform::EncodingError&) {
        // Reported below as the conversion error; the encoder's own text is of no use to the app.
    }
    return Result<std::string>::failure(requestConversionError());
}

Result<Native> nativeObjectForAssets(std::vector<Asset::Request> assets) {
    auto text = nativeAdRequestText(NativeAdRequest::forAssets(std::move(assets)));
    if (text.isFailure()) return Result<Native>::failure(text.error());
    Native native;
    native.request = std::move(text.value());
    native.version = nativeVersion;
    return Result<Native>::success(std::move(native));
}

}  // namespace qor
