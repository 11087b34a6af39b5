#include "Networking/Client/Request/UserAgent.h"

#include "Platform/Foundation/Bundle.h"
#include "Platform/Support/ProcessInfo.h"
#include "Platform/UIKit/UIDevice.h"

namespace qor {
namespace {

std::string stringValue(const platform::PlistDictionary& dictionary, const std::string& key) {
    const auto found = dictionary.find(key);
    if (found == dictionary.end()) return {};
    const auto* text = found->second.asString();
    return text != nullptr ? *text : std::string();
}

}  // namespace

std::string makeUserAgent(const std::optional<platform::PlistDictionary>& infoDictionary) {
    platform::PlistDictionary dictionary;
    if (infoDictionary) {
        dictionary = *infoDictionary;
    } else if (auto mainInfo = platform::Bundle::main()->infoDictionary()) {
        dictionary = std::move(*mainInfo);
    }
    const auto device = platform::UIDevice::current();
    // Digits and dots only, whatever a host set: "CPU iPhone OS 17_4" is what servers parse.
    std::string systemVersion = platform::numericVersionPrefix(device->systemVersion());
    for (auto& character : systemVersion) {
        if (character == '.') character = '_';
    }
    return stringValue(dictionary, "CFBundleIdentifier") + "/" + stringValue(dictionary, "CFBundleShortVersionString") +
           " QOR SDK /" + kFrameworkVersion + " (" + device->model() + "; CPU iPhone OS " + systemVersion +
           " like Mac OS X)";
}

const std::string& defaultUserAgent() {
    static const auto* userAgent = new std::string(makeUserAgent());
    return *userAgent;
}

}  // namespace qor
