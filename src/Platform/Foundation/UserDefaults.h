#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Platform/Foundation/PropertyList.h"

namespace qor::platform {

class UserDefaultsStore;

// Named key-value settings that outlive the process.
//
// Each suite is one JSON file, <app home>/Preferences/<suite>.json, holding every value with
// its kind ("string", "integer", "real", "bool", "data" as base64, "array", "dictionary"), so
// a bool never comes back as a number, nor an integer as a double. The file is read on first
// access. Changes live in memory until synchronize(), which writes the whole suite to a
// temporary file and renames it over the old one, durably (replaceFileAtomically: a power loss
// leaves the old suite or the new one), and only when something changed since the last write.
// Pending changes are also written when the last object of a suite goes away. Temporaries that
// a killed process left beside the file are removed when the suite is first read.
//
// All UserDefaults objects of one suite file in a process share the same values. Every
// member may be called from any thread.
class UserDefaults {
public:
    // The app's own suite, named after the main bundle's identifier (the executable's name
    // when there is none). Resolved at each call, so it follows QOR_APP_HOME.
    static std::shared_ptr<UserDefaults> standard();
    // nullptr when the name cannot name a suite: empty, "NSGlobalDomain", "." or "..", or
    // containing "/" or a NUL character.
    static std::shared_ptr<UserDefaults> make(std::string_view suiteName);

    std::optional<PlistValue> objectForKey(std::string_view key) const;
    std::optional<std::string> stringForKey(std::string_view key) const;
    // 0 when missing; a real is truncated, a bool gives 1 or 0, a string holding a whole number is read.
    std::int64_t integerForKey(std::string_view key) const;
    // 0 when missing; integers and bools convert, a string holding a number is read.
    double doubleForKey(std::string_view key) const;
    // false when missing; a non-zero number, or a string "YES", "true" or "1" (any case), is true.
    bool boolForKey(std::string_view key) const;
    std::optional<Data> dataForKey(std::string_view key) const;
    std::optional<PlistArray> arrayForKey(std::string_view key) const;
    std::optional<PlistDictionary> dictionaryForKey(std::string_view key) const;
    PlistDictionary dictionaryRepresentation() const;

    void set(PlistValue value, std::string_view key);
    // Setting nothing removes the key.
    void set(std::nullopt_t, std::string_view key) { removeObject(key); }
    void removeObject(std::string_view key);

    // Writes pending changes; true when the suite is on disk as in memory afterwards.
    bool synchronize();

    const std::string& suiteName() const { return suiteName_; }
    std::filesystem::path filePath() const;

    UserDefaults(std::string suiteName, std::shared_ptr<UserDefaultsStore> store);

private:
    std::string suiteName_;
    std::shared_ptr<UserDefaultsStore> store_;
};

}  // namespace qor::platform
