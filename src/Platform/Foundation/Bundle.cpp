#include "Platform/Foundation/Bundle.h"

#include <dlfcn.h>

#include <iostream>
#include <system_error>

#include "Platform/Foundation/PlatformError.h"
#include "Platform/Support/ProcessInfo.h"

namespace qor::platform {
namespace {

constexpr std::string_view kInfoPlist = "Info.plist";

std::vector<std::filesystem::path> ownFolder(const Bundle& bundle) { return {bundle.bundlePath()}; }

std::vector<std::filesystem::path> frameworkSearchPaths(const Bundle& bundle) {
    std::vector<std::filesystem::path> paths;
    if (auto dir = environmentValue("QOR_RESOURCE_DIR"); dir && !dir->empty()) paths.emplace_back(*dir);
    paths.push_back(executableDirectory());
    const std::filesystem::path library(bundle.bundlePath());
    paths.push_back(library.parent_path() / "share" / "QORUniversalSDK");
    paths.push_back(library.parent_path().parent_path() / "share" / "QORUniversalSDK");
    return paths;
}

// The folder of the shared object that holds this function: the framework's own location.
std::string libraryFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&libraryFolder), &info) != 0 && info.dli_fname != nullptr) {
        std::error_code error;
        auto path = std::filesystem::canonical(info.dli_fname, error);
        if (!error) return path.parent_path().string();
    }
    return executableDirectory().string();
}

PlistDictionary dictionaryFromFile(const std::filesystem::path& file) {
    PlistValue value = readPropertyListFile(file);
    auto* dictionary = value.asDictionary();
    if (dictionary == nullptr) {
        throw PlatformError(PlatformError::Code::propertyListCorrupt,
                            "Info dictionary \"" + file.string() + "\" is not a <dict>", file.string());
    }
    return *dictionary;
}

}  // namespace

Bundle::Bundle(std::string path, std::vector<std::filesystem::path> (*searchPaths)(const Bundle&))
    : path_(std::move(path)), searchPaths_(searchPaths) {}

std::shared_ptr<Bundle> Bundle::main() {
    static const auto* bundle =
        new std::shared_ptr<Bundle>(std::make_shared<Bundle>(executableDirectory().string(), &ownFolder));
    return *bundle;
}

std::shared_ptr<Bundle> Bundle::frameworkBundle() {
    static const auto* bundle =
        new std::shared_ptr<Bundle>(std::make_shared<Bundle>(libraryFolder(), &frameworkSearchPaths));
    return *bundle;
}

std::shared_ptr<Bundle> Bundle::make(const std::filesystem::path& path) {
    std::error_code error;
    if (path.empty() || !std::filesystem::is_directory(path, error)) return nullptr;
    return std::make_shared<Bundle>(path.string(), &ownFolder);
}

std::string Bundle::bundlePath() const {
    std::lock_guard lock(mutex_);
    return path_;
}

void Bundle::setBundlePath(std::string path) {
    std::lock_guard lock(mutex_);
    path_ = std::move(path);
}

void Bundle::loadFromDiskIfNeeded() const {
    if (infoLoaded_) return;
    infoLoaded_ = true;
    const std::filesystem::path file = std::filesystem::path(path_) / kInfoPlist;
    std::error_code error;
    if (!std::filesystem::exists(file, error)) return;
    try {
        info_ = dictionaryFromFile(file);
    } catch (const PlatformError& failure) {
        std::cerr << "QORUniversalSDK: ignoring " << file.string() << ": " << failure.what() << '\n';
    }
}

std::optional<PlistDictionary> Bundle::infoDictionary() const {
    std::lock_guard lock(mutex_);
    loadFromDiskIfNeeded();
    return info_;
}

std::optional<PlistDictionary> Bundle::localizedInfoDictionary() const {
    std::lock_guard lock(mutex_);
    return localizedInfo_;
}

std::optional<PlistValue> Bundle::objectForInfoDictionaryKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    loadFromDiskIfNeeded();
    // A localized value wins over the plain one, as for a localized Info.plist.
    const std::optional<PlistDictionary>* sources[] = {&localizedInfo_, &info_};
    for (const auto* source : sources) {
        if (!*source) continue;
        if (auto found = (*source)->find(std::string(key)); found != (*source)->end()) return found->second;
    }
    return std::nullopt;
}

std::optional<std::string> Bundle::bundleIdentifier() const {
    std::lock_guard lock(mutex_);
    loadFromDiskIfNeeded();
    if (!info_) return std::nullopt;
    const auto found = info_->find("CFBundleIdentifier");
    if (found == info_->end()) return std::nullopt;
    if (const auto* text = found->second.asString()) return *text;
    return std::nullopt;
}

void Bundle::setInfoDictionary(std::optional<PlistDictionary> dictionary) {
    std::lock_guard lock(mutex_);
    info_ = std::move(dictionary);
    infoLoaded_ = true;
}

void Bundle::setLocalizedInfoDictionary(std::optional<PlistDictionary> dictionary) {
    std::lock_guard lock(mutex_);
    localizedInfo_ = std::move(dictionary);
}

void Bundle::loadInfoDictionary(const std::filesystem::path& plistFile) {
    PlistDictionary dictionary = dictionaryFromFile(plistFile);
    setInfoDictionary(std::move(dictionary));
}

void Bundle::resetInfoDictionary() {
    std::lock_guard lock(mutex_);
    info_.reset();
    localizedInfo_.reset();
    infoLoaded_ = false;
}

std::optional<std::filesystem::path> Bundle::urlForResource(std::string_view name, std::string_view extension) const {
    if (name.empty()) return std::nullopt;
    std::string file(name);
    if (!extension.empty()) {
        file += '.';
        file += extension;
    }
    for (const auto& folder : searchPaths_(*this)) {
        const auto candidate = folder / file;
        std::error_code error;
        if (std::filesystem::exists(candidate, error)) return candidate;
    }
    return std::nullopt;
}

}  // namespace qor::platform
