#pragma once

// Everything an app uses, in one include: the facade QOR (start-up, the analytics calls, the ad
// network's environment), the ad request and sizes, every ad format with its delegate and views,
// the error type, the analytics event API, and the main run loop that delivers every main-thread
// callback. Installed as <QORUniversalSDK/QORUniversalSDK.h>; the installed headers are exactly
// this file and the headers it reaches, so an include added here (or in any header it reaches)
// is what widens the public surface.
#include "AdNetwork/AdRequest.h"
#include "AdNetwork/QOR.h"
#include "Analytics/Analytics.h"
#include "Networking/Client/QORSDKError.h"
#include "Platform/Foundation/RunLoop.h"
#include "Views/AdSize.h"
#include "Views/AdView.h"
#include "Views/AdViewDelegate.h"
#include "Views/InterstitialAd.h"
#include "Views/MobileFirstViewAd.h"
#include "Views/NativeAd.h"
#include "Views/NativeAdLoader.h"
#include "Views/NativeAdLoaderDelegate.h"
#include "Views/NativeAdTemplateView.h"
#include "Views/NativeAdView.h"
#include "Views/NativeAdViewDelegate.h"
#include "Views/VideoAdLoader.h"
#include "Views/VideoAdLoaderDelegate.h"
