#include "Platform/WebKit/WKUserContentController.h"

#include <algorithm>
#include <stdexcept>

namespace qor::platform {

void WKUserContentController::add(std::shared_ptr<WKScriptMessageHandler> handler, std::string name) {
    if (!handler) throw std::invalid_argument("WKUserContentController::add: no handler for \"" + name + "\"");
    if (scriptMessageHandler(name)) {
        throw std::invalid_argument("WKUserContentController::add: a handler named \"" + name +
                                    "\" is already registered");
    }
    handlers_.emplace_back(std::move(name), std::move(handler));
}

void WKUserContentController::removeScriptMessageHandler(std::string_view name) {
    std::erase_if(handlers_, [name](const auto& entry) { return entry.first == name; });
}

std::shared_ptr<WKScriptMessageHandler> WKUserContentController::scriptMessageHandler(std::string_view name) const {
    const auto found =
        std::find_if(handlers_.begin(), handlers_.end(), [name](const auto& entry) { return entry.first == name; });
    return found == handlers_.end() ? nullptr : found->second;
}

std::vector<std::string> WKUserContentController::scriptMessageHandlerNames() const {
    std::vector<std::string> names;
    for (const auto& entry : handlers_) names.push_back(entry.first);
    return names;
}

}  // namespace qor::platform
