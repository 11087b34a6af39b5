#pragma once

// Everything an app uses, in one include: the facade QOR (start-up, the analytics calls, the ad
// network's environment), the ad request and sizes, every ad format with its delegate and views,
// the ad record and the auction-event types, the error type, the analytics event API, and the
// host API (the main run loop that delivers every main-thread callback, the Info dictionary, the
// app's lifecycle, the URL opener, the device facts). Installed as
// <QORUniversalSDK/QORUniversalSDK.h> with the folder it stands in, which holds exactly the
// headers reached from here: an include added to any of them widens the public surface.
#include "AdNetwork/Ad.h"
#include "AdNetwork/AdRequest.h"
#include "AdNetwork/BatchController.h"
#include "AdNetwork/BatchType.h"
#include "AdNetwork/QOR.h"
#include "Analytics/Analytics.h"
#include "Networking/Client/QORSDKError.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Host/Host.h"
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
