#include "Networking/Client/Request/CurlString.h"

#include "Core/UTF8.h"

#include <vector>

namespace qor {
namespace {

std::string removingAll(std::string text, const std::string& needle) {
    for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at))
        text.erase(at, needle.size());
    return text;
}

}  // namespace

std::string curlString(const platform::URLRequest& request) {
    if (!request.url()) return {};
    const std::string& method = request.httpMethod();

    std::vector<std::string> pieces;
    pieces.push_back("curl " + request.url()->absoluteString() + (method == "HEAD" ? " --head" : ""));
    if (!method.empty() && method != "GET" && method != "HEAD") pieces.push_back("-X " + method);
    for (const auto& [name, value] : request.allHTTPHeaderFields()) {
        if (name == "Cookie" || name == "charset") continue;
        const std::string shown = name == "Content-Type" ? removingAll(value, "; charset=utf-8") : value;
        pieces.push_back("-H '" + name + ": " + shown + "'");
    }
    if (const auto& body = request.httpBody()) {
        if (auto text = utf8String(*body)) pieces.push_back("-d '" + *text + "'");
    }

    std::string result;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) result += " \\\n\t";
        result += pieces[i];
    }
    return result;
}

}  // namespace qor
