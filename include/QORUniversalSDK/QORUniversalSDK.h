#pragma once

// Everything an app uses, in one include: the facade QOR (start-up, the analytics calls, the ad
// network's environment), the ad request and sizes, every ad format with its delegate and views,
// the ad record and the auction-event types, the error type, the analytics event API, and the
// host API (the main run loop that delivers every main-thread callback, the Info dictionary, the
// app's lifecycle, the URL opener, the device facts). Installed as
// <QORUniversalSDK/QORUniversalSDK.h> with the folder it stands in, which holds exactly the
// headers reached from here: an include added to any of them widens the public surface.
#include <QORUniversalSDK/AdNetwork/Ad.h>
#include <QORUniversalSDK/AdNetwork/AdRequest.h>
#include <QORUniversalSDK/AdNetwork/BatchController.h>
#include <QORUniversalSDK/AdNetwork/BatchType.h>
#include <QORUniversalSDK/AdNetwork/QOR.h>
#include <QORUniversalSDK/Analytics/Analytics.h>
#include <QORUniversalSDK/Networking/Client/QORSDKError.h>
#include <QORUniversalSDK/Platform/Dispatch/RunLoop.h>
#include <QORUniversalSDK/Platform/Host/Host.h>
#include <QORUniversalSDK/Views/AdSize.h>
#include <QORUniversalSDK/Views/AdView.h>
#include <QORUniversalSDK/Views/AdViewDelegate.h>
#include <QORUniversalSDK/Views/InterstitialAd.h>
#include <QORUniversalSDK/Views/MobileFirstViewAd.h>
#include <QORUniversalSDK/Views/NativeAd.h>
#include <QORUniversalSDK/Views/NativeAdLoader.h>
#include <QORUniversalSDK/Views/NativeAdLoaderDelegate.h>
#include <QORUniversalSDK/Views/NativeAdTemplateView.h>
#include <QORUniversalSDK/Views/NativeAdView.h>
#include <QORUniversalSDK/Views/NativeAdViewDelegate.h>
#include <QORUniversalSDK/Views/VideoAdLoader.h>
#include <QORUniversalSDK/Views/VideoAdLoaderDelegate.h>
