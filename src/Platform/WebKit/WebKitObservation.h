#pragma once

#include "Platform/Support/ObserverHook.h"
#include "Platform/WebKit/WKWebView.h"

// The web view's events, for whoever watches them (see ObserverHook).
namespace qor::platform::observation {

// Every page a web view is asked to load, with the view, on the main thread: the view itself
// keeps only its current page.
extern ObserverHook<WKWebView, WKWebView::HTMLLoad> pageLoads;

}  // namespace qor::platform::observation
