#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Views/QORUniversalSDK.h"

// What a Linux host does that a phone's system would do for the app: post the app's lifecycle,
// take the links the ads open, and tell a headless web view what a browser engine would (the
// page finished loading, the page's script posted a message). Every use of these controls is
// here. Main thread only.
namespace qor::example::host {

// The app finished launching and became active.
void postLaunch();
// The app left the screen: the analytics side sends what it holds.
void postEnterBackground();

// From now on the links the SDK opens are kept here, as a browser would get them.
void keepOpenedLinks();
std::vector<std::string> openedLinks();

// The page the web view loaded last, once the host has said it finished loading; nothing when
// there is none.
std::optional<std::string> finishLoading(platform::WKWebView& view);
// The page's script posts a JSON message to the handler registered under the name.
bool postScriptMessage(platform::WKWebView& view, const std::string& name, const std::string& json);

}  // namespace qor::example::host
