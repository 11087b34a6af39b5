#include "Browser.h"

#include <memory>

#include <QORUniversalSDK/Platform/Host/Host.h>
#include <QORUniversalSDK/Platform/WebKit/WKWebView.h>

namespace qor::example::browser {
namespace {

std::vector<std::string>& links() {
    static std::vector<std::string> opened;
    return opened;
}

}  // namespace

void keepOpenedLinks() {
    qor::host::setURLOpener([](const platform::URL& url) { links().push_back(url.absoluteString()); });
}

std::vector<std::string> openedLinks() { return links(); }

std::optional<std::string> finishLoading(platform::WKWebView& view) {
    if (!view.currentPage()) return std::nullopt;
    view.reportNavigationFinished();
    return view.currentPage()->html;
}

bool postScriptMessage(platform::WKWebView& view, const std::string& name, const std::string& json) {
    return view.reportScriptMessage(name, json);
}

std::optional<std::string> scriptMessageOf(const std::string& page, const std::string& name) {
    const std::string call = "window.webkit.messageHandlers." + name + ".postMessage(";
    const auto at = page.find(call);
    if (at == std::string::npos) return std::nullopt;
    const auto open = at + call.size();
    if (open >= page.size() || (page[open] != '\'' && page[open] != '"')) return std::nullopt;
    const auto close = page.find(page[open], open + 1);
    if (close == std::string::npos) return std::nullopt;
    const auto text = page.substr(open + 1, close - open - 1);
    if (text.find('\\') != std::string::npos) return std::nullopt;  // escapes are not read here
    return text;
}

}  // namespace qor::example::browser
