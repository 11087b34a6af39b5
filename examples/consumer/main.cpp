// Starts analytics the way a host app does, tracks one event and checks that it reached the
// open batch file. Exits 0 on success.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "Analytics/Analytics.h"
#include "Analytics/Configuration.h"
#include "Networking/Client/Session/Session.h"
#include "Networking/Client/Session/SessionDelegate.h"
#include "Platform/Foundation/URLSession.h"
#include "Platform/Foundation/URLSessionConfiguration.h"

namespace {

// Every file under the app's data folder whose text holds the event's name.
bool eventOnDisk(const std::filesystem::path& home, const std::string& name) {
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home, error)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream file(entry.path());
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (text.find(name) != std::string::npos) return true;
    }
    return false;
}

}  // namespace

int main() {
    const char* home = std::getenv("QOR_APP_HOME");
    if (!home) {
        std::cerr << "QOR_APP_HOME must name the app's data folder\n";
        return 2;
    }
    using namespace qor;
    auto delegate = std::make_shared<SessionDelegate>();
    Session::setSharedInstance(Session::make(
        platform::URLSession::make(platform::URLSessionConfiguration::defaultConfiguration(), delegate), delegate));
    auto analytics = Analytics::make(Configuration::make("consumer-write-key"));
    analytics->track("Consumer Opened", platform::AnyDictionary{{"installed", true}});

    if (!eventOnDisk(home, "Consumer Opened")) {
        std::cerr << "the tracked event is not in a batch file under " << home << "\n";
        return 1;
    }
    std::cout << "tracked one event through the installed QORUniversalSDK\n";
    return 0;
}
