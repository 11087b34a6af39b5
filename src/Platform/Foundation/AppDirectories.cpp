#include "Platform/Foundation/AppDirectories.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

#include "Platform/Foundation/Bundle.h"
#include "Platform/Support/ProcessInfo.h"

namespace qor::platform {
namespace {

std::filesystem::path userHome() {
    if (auto home = environmentValue("HOME"); home && !home->empty()) return *home;
    passwd entry{};
    passwd* result = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result && result->pw_dir) {
        return result->pw_dir;
    }
    return std::filesystem::temp_directory_path();
}

std::string applicationName() {
    if (auto identifier = Bundle::main()->bundleIdentifier(); identifier && !identifier->empty()) {
        // An identifier is a reverse-DNS name; a slash would escape the data folder.
        if (identifier->find('/') == std::string::npos && *identifier != "." && *identifier != "..") return *identifier;
    }
    const auto executable = executablePath().filename().string();
    return executable.empty() ? std::string("QORUniversalSDK") : executable;
}

}  // namespace

std::filesystem::path applicationHomeDirectory() {
    if (auto home = environmentValue("QOR_APP_HOME"); home && !home->empty()) return *home;
    std::filesystem::path dataHome;
    // An XDG path that is not absolute is invalid and must be ignored.
    if (auto xdg = environmentValue("XDG_DATA_HOME"); xdg && !xdg->empty() && xdg->front() == '/') {
        dataHome = *xdg;
    } else {
        dataHome = userHome() / ".local" / "share";
    }
    return dataHome / applicationName();
}

std::filesystem::path documentsDirectory() { return applicationHomeDirectory() / "Documents"; }

std::filesystem::path preferencesDirectory() { return applicationHomeDirectory() / "Preferences"; }

}  // namespace qor::platform
