#include "Platform/Net/URLSessionConfiguration.h"

#include <string_view>

#include "Platform/Support/ASCIIText.h"
#include "Platform/Support/ProcessInfo.h"

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
    if (auto caFile = environmentValue("QOR_CA_FILE"); caFile && !caFile->empty()) configuration.caFile = caFile;
    if (auto connectTo = environmentValue("QOR_CONNECT_TO"); connectTo && !connectTo->empty()) {
        configuration.connectTo = splitRules(*connectTo);
    }
    return configuration;
}

}  // namespace qor::platform
