#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <QORUniversalSDK/Platform/Foundation/Any.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor::platform {

// What a page posted to a named handler: the handler's name and any value as the body (a
// string, a number, an object...).
struct WKScriptMessage {
    std::string name;
    Any body;
};

class WKUserContentController;

// Receives the messages posted to the name it was registered under. Called on the main thread.
class QOR_EXPORT WKScriptMessageHandler {
public:
    virtual ~WKScriptMessageHandler() = default;
    virtual void didReceiveScriptMessage(const std::shared_ptr<WKUserContentController>& controller,
                                         const WKScriptMessage& message) = 0;
};

// The script message handlers of a web view's pages, by name. It holds its handlers strongly
// (a handler that holds the web view makes a cycle its owner must break). Main thread only.
class QOR_EXPORT WKUserContentController : public std::enable_shared_from_this<WKUserContentController> {
public:
    WKUserContentController() = default;
    WKUserContentController(const WKUserContentController&) = delete;
    WKUserContentController& operator=(const WKUserContentController&) = delete;

    // Throws std::invalid_argument for no handler or a name already registered.
    void add(std::shared_ptr<WKScriptMessageHandler> handler, std::string name);
    void removeScriptMessageHandler(std::string_view name);
    void removeAllScriptMessageHandlers() { handlers_.clear(); }

    // nullptr when no handler has the name.
    std::shared_ptr<WKScriptMessageHandler> scriptMessageHandler(std::string_view name) const;
    // In the order added.
    std::vector<std::string> scriptMessageHandlerNames() const;

private:
    std::vector<std::pair<std::string, std::shared_ptr<WKScriptMessageHandler>>> handlers_;
};

}  // namespace qor::platform
