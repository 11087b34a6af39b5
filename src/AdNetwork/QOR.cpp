#include "AdNetwork/QOR.h"

#include <atomic>

#include "AdNetwork/AdController.h"
#include "AdNetwork/AdNetwork.h"
#include "AdNetwork/CappingManager.h"
#include "Core/DeploymentValues.h"
#include "Networking/Client/Session/Session.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Support/FatalError.h"

namespace qor {
namespace {

std::atomic<QOR::Environment>& storedEnvironment() {
    static std::atomic<QOR::Environment> environment{QOR::Environment::production};
    return environment;
}

const std::string* stringValue(const platform::PlistDictionary& dictionary, const char* key) {
    const auto found = dictionary.find(key);
    return found == dictionary.end() ? nullptr : found->second.asString();
}

}  // namespace

QOR::Environment QOR::environment() { return storedEnvironment().load(); }

void QOR::setEnvironment(Environment environment) {
    switch (environment) {
        case Environment::test:
        case Environment::staging:
        case Environment::production:
            storedEnvironment().store(environment);
            return;
    }
    // A raw value outside the three cases names no deployment: the environment stays.
}

std::string QOR::adNetworkBaseURL() {
    switch (environment()) {
        case Environment::test:
            return deployment::adNetworkTestBaseURL();
        case Environment::staging:
            return deployment::adNetworkStagingBaseURL();
        case Environment::production:
            break;
    }
    return deployment::adNetworkProductionBaseURL();
}

std::optional<QOR::Config::Values> QOR::readInfoPlistConfig() {
    const auto info = platform::Bundle::main()->infoDictionary();
    if (!info) return std::nullopt;
    const auto config = info->find("QORSDKConfig");
    if (config == info->end()) return std::nullopt;
    const auto* dictionary = config->second.asDictionary();
    if (!dictionary) return std::nullopt;
    const auto* writeKey = stringValue(*dictionary, "writeKey");
    if (!writeKey) return std::nullopt;
    Config::Values values{*writeKey, std::nullopt};
    if (const auto* adNetworkKey = stringValue(*dictionary, "writeKeyForAdNetwork")) {
        values.writeKeyForAdNetwork = *adNetworkKey;
    }
    return values;
}

void QOR::start(const std::shared_ptr<Config>& config) {
    Session::setSharedInstance(Session::makeDefault());
    std::optional<Config::Values> values;
    if (config) {
        values = config->values;
    } else {
        values = readInfoPlistConfig();
        if (!values) platform::fatalError(invalidInfoPlistMessage);
    }
    Analytics::setSharedInstance(Analytics::make(Configuration::make(values->writeKey)));
    setUpAdNetwork(values->writeKeyForAdNetwork.value_or(values->writeKey));
}

void QOR::setUpAdNetwork(const std::string& writeKey) {
    auto cappingManager = std::make_shared<CappingManager>();
    auto network = AdNetwork::make(cappingManager);
    CappingManager::setSharedInstance(std::move(cappingManager));
    AdController::setSharedInstance(std::make_shared<AdController>());
    AdNetwork::setSharedInstance(std::move(network));
    AdNetwork::sharedInstance()->initializeAdNetwork(writeKey);
}

std::optional<Container> QOR::adNetworkContainer() { return AdNetwork::sharedInstance()->container(); }

}  // namespace qor
