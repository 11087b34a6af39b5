#include "Models/OpenRTB/NativeAdResponse.h"

#include "Core/UTF8.h"

namespace qor {

Result<NativeAdResponse> decodeNativeAdResponse(const std::optional<std::string>& adMarkup) {
    if (adMarkup && isValidUTF8(*adMarkup)) {
        try {
            return Result<NativeAdResponse>::success(platform::JSONDecoder().decode<NativeAdResponse>(*adMarkup));
        } catch (const platform::DecodingError&) {
            // The decoder's own text is dropped: the app learns only that the markup did not convert.
        }
    }
    return Result<NativeAdResponse>::failure(QORSDKError::generalError{
        QORSDKError::GeneralErrorReason::conversionError{"NativeAdResponse", StringEncoding::utf8}});
}

}  // namespace qor
