#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Foundation/PropertyList.h"

namespace qor::platform {

// A folder of code and resources with an optional Info.plist.
//
// The main bundle is the executable's folder. Its info dictionary is read from the XML
// property list "Info.plist" beside the executable the first time it is asked for, unless the
// host has set one in code first. A file that cannot be parsed counts as no dictionary and
// the reason is written once to stderr; loadInfoDictionary reports it to the caller instead.
//
// Resource lookup: the framework's bundle (frameworkBundle) finds its resources, such as the
// folder "QORSDK.bundle", in this order:
//   1. $QOR_RESOURCE_DIR/<name>.<ext>  (read at every lookup),
//   2. <executable folder>/<name>.<ext>,
//   3. <prefix>/share/QORUniversalSDK/<name>.<ext>, where <prefix> is the folder above the
//      installed library's folder (also tried one level higher, for lib/<multiarch>/); the
//      build tree has the same layout, so programs built in <build>/<folder>/ find
//      <build>/share/QORUniversalSDK.
// The main bundle and a bundle made from a path look in their own folder only.
class Bundle {
public:
    static std::shared_ptr<Bundle> main();
    // The bundle that holds the framework's code (the folder of the loaded library).
    static std::shared_ptr<Bundle> frameworkBundle();
    // A bundle for an existing folder; nullptr when the path is not a readable folder.
    static std::shared_ptr<Bundle> make(const std::filesystem::path& path);

    std::string bundlePath() const;
    // The main bundle's path may be declared by the host, e.g. to run as an app extension
    // ("....appex"): the path is the fact that the app-extension test reads.
    void setBundlePath(std::string path);

    std::optional<PlistDictionary> infoDictionary() const;
    std::optional<PlistDictionary> localizedInfoDictionary() const;
    std::optional<PlistValue> objectForInfoDictionaryKey(std::string_view key) const;
    // CFBundleIdentifier when it is a string.
    std::optional<std::string> bundleIdentifier() const;

    // Set in code by the host; nullopt means "no Info.plist". A later read never goes back to the file.
    void setInfoDictionary(std::optional<PlistDictionary> dictionary);
    void setLocalizedInfoDictionary(std::optional<PlistDictionary> dictionary);
    // Reads the dictionary from an explicit property-list file and keeps it. Throws
    // PlatformError when the file is missing, unreadable, not a property list or not a dictionary.
    void loadInfoDictionary(const std::filesystem::path& plistFile);
    // Forget what was set or read: the next read looks at <bundle path>/Info.plist again.
    void resetInfoDictionary();

    // The path of the resource "<name>.<ext>" (ext may be empty), nullopt when it is not found.
    std::optional<std::filesystem::path> urlForResource(std::string_view name, std::string_view extension) const;

    Bundle(std::string path, std::vector<std::filesystem::path> (*searchPaths)(const Bundle&));

private:
    void loadFromDiskIfNeeded() const;  // requires mutex_

    mutable std::mutex mutex_;
    std::string path_;
    std::vector<std::filesystem::path> (*searchPaths_)(const Bundle&);
    mutable bool infoLoaded_ = false;
    mutable std::optional<PlistDictionary> info_;
    std::optional<PlistDictionary> localizedInfo_;
};

}  // namespace qor::platform
