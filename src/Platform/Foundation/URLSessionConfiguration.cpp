#include "Platform/Foundation/URLSessionConfiguration.h"

#include <cstdlib>
#include <string_view>

#include "Platform/Foundation/ASCIIText.h"

namespace qor::platform {

namespace {

std::vector<std::string> splitRules(std::string_view text) {
    std::vector<std::string> rules;
    while (!text.empty()) {
        auto comma = text.find(',');
        const auto rule = trimmed(text.substr(0, comma), " ");
        if (!rule.empty()) rules.emplace_back(rule);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return rules;
}

}  // namespace

URLSessionConfiguration URLSessionConfiguration::defaultConfiguration() {
    URLSessionConfiguration configuration;
    if (const char* caFile = std::getenv("QOR_CA_FILE"); caFile && *caFile) configuration.caFile = caFile;
    if (const char* connectTo = std::getenv("QOR_CONNECT_TO"); connectTo && *connectTo) {
        configuration.connectTo = splitRules(connectTo);
    }
    return configuration;
}

}  // namespace qor::platform
