#pragma once

#include <cstdint>
#include <string>

#include <QORUniversalSDK/Networking/Client/QORSDKError.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

// What a video ad loader reports to the app. The first argument is always the loader's unit id.
// Both run on the main thread, except a failure of the engine's checks, which runs on the
// thread that called loadAd, before it returns.
class QOR_EXPORT VideoAdLoaderDelegate {
public:
    virtual ~VideoAdLoaderDelegate() = default;
    // The winning bid's VAST tag URL, exactly as the bidder sent it.
    virtual void videoAdLoader(std::int64_t adUnitID, const std::string& vastTagURL) = 0;
    // didFailLoad
    virtual void videoAdLoader(std::int64_t adUnitID, const QORSDKError& error) = 0;
};

}  // namespace qor
