#pragma once

#include <cstdint>
#include <memory>

#include <QORUniversalSDK/Networking/Client/QORSDKError.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

class NativeAd;

// What a native ad loader reports to the app. The first argument is always the loader's unit id.
// Both run on the main thread, except a failure found before any request is sent, which runs on
// the thread that called loadNativeAd, before it returns.
class QOR_EXPORT NativeAdLoaderDelegate {
public:
    virtual ~NativeAdLoaderDelegate() = default;
    // didSuccessLoad
    virtual void nativeAdLoader(std::int64_t adUnitID, const std::shared_ptr<NativeAd>& nativeAd) = 0;
    // didFailLoad
    virtual void nativeAdLoader(std::int64_t adUnitID, const QORSDKError& error) = 0;
};

}  // namespace qor
