#pragma once

#include <QORUniversalSDK/Platform/Support/Export.h>
#include <QORUniversalSDK/Views/NativeAdEvent.h>

namespace qor {

class NativeAdView;

// Receives a native ad view's events, on the main thread.
class QOR_EXPORT NativeAdViewDelegate {
public:
    virtual ~NativeAdViewDelegate() = default;
    virtual void onNativeAdViewEvent(NativeAdView& view, const NativeAdEvent& adEvent) = 0;
};

}  // namespace qor
