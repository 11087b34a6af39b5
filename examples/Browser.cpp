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

}  // namespace qor::example::browser
