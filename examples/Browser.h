#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QORUniversalSDK/QORUniversalSDK.h>

// What a browser engine does for the app on a phone, and a Linux host does here: take the links
// the ads open (handed over through the SDK's host API, qor::host), and tell a headless web view
// that its page finished loading or that the page's script posted a message. Main thread only.
namespace qor::example::browser {

// From now on the links the SDK opens are kept here, as a browser would get them.
void keepOpenedLinks();
std::vector<std::string> openedLinks();

// The page the web view loaded last, once the host has said it finished loading; nothing when
// there is none.
std::optional<std::string> finishLoading(platform::WKWebView& view);
// The page's script posts a JSON message to the handler registered under the name.
bool postScriptMessage(platform::WKWebView& view, const std::string& name, const std::string& json);
// The text the page's script posts to the named handler
// (`window.webkit.messageHandlers.<name>.postMessage('...')`, a quoted text, as a close control
// does); nothing when the page posts no quoted text there. No script runs in a headless view, so
// the host reads the message from the page and posts it when the user would tap.
std::optional<std::string> scriptMessageOf(const std::string& page, const std::string& name);

}  // namespace qor::example::browser
