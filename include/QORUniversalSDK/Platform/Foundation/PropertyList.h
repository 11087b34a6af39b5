#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <QORUniversalSDK/Platform/Foundation/Data.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor::platform {

class PlistValue;
using PlistArray = std::vector<PlistValue>;
using PlistDictionary = std::map<std::string, PlistValue>;

// One property-list value: what an Info.plist holds and what UserDefaults stores.
// Booleans, integers and reals are kept apart; a date is carried as its text.
class QOR_EXPORT PlistValue {
public:
    using Storage = std::variant<std::string, std::int64_t, double, bool, Data, PlistArray, PlistDictionary>;

    PlistValue() : storage_(std::string()) {}
    PlistValue(std::string value) : storage_(std::move(value)) {}
    PlistValue(std::string_view value) : storage_(std::string(value)) {}
    // Without this a string literal would silently become a bool.
    PlistValue(const char* value) : storage_(std::string(value)) {}
    PlistValue(std::int64_t value) : storage_(value) {}
    PlistValue(int value) : storage_(static_cast<std::int64_t>(value)) {}
    PlistValue(double value) : storage_(value) {}
    PlistValue(bool value) : storage_(value) {}
    PlistValue(Data value) : storage_(std::move(value)) {}
    PlistValue(PlistArray value) : storage_(std::move(value)) {}
    PlistValue(PlistDictionary value) : storage_(std::move(value)) {}

    const Storage& storage() const { return storage_; }

    bool isString() const { return std::holds_alternative<std::string>(storage_); }
    bool isInteger() const { return std::holds_alternative<std::int64_t>(storage_); }
    bool isReal() const { return std::holds_alternative<double>(storage_); }
    bool isBool() const { return std::holds_alternative<bool>(storage_); }
    bool isData() const { return std::holds_alternative<Data>(storage_); }
    bool isArray() const { return std::holds_alternative<PlistArray>(storage_); }
    bool isDictionary() const { return std::holds_alternative<PlistDictionary>(storage_); }

    // Typed views: null when the value is of another kind.
    const std::string* asString() const { return std::get_if<std::string>(&storage_); }
    const std::int64_t* asInteger() const { return std::get_if<std::int64_t>(&storage_); }
    const double* asReal() const { return std::get_if<double>(&storage_); }
    const bool* asBool() const { return std::get_if<bool>(&storage_); }
    const Data* asData() const { return std::get_if<Data>(&storage_); }
    const PlistArray* asArray() const { return std::get_if<PlistArray>(&storage_); }
    const PlistDictionary* asDictionary() const { return std::get_if<PlistDictionary>(&storage_); }

    friend bool operator==(const PlistValue& lhs, const PlistValue& rhs) { return lhs.storage_ == rhs.storage_; }

private:
    Storage storage_;
};

// Parses an XML property list (dict, array, string, integer, real, true, false, data as
// base64, date kept as its text). Throws PlatformError(propertyListCorrupt) with the reason.
QOR_EXPORT PlistValue parsePropertyList(std::string_view xml);

// Reads and parses the property list in `file`. Throws PlatformError: fileNoSuchFile when the
// file is missing, fileReadFailed when it cannot be read, propertyListCorrupt when it cannot be parsed.
QOR_EXPORT PlistValue readPropertyListFile(const std::filesystem::path& file);

namespace plist {
// Standard base64 with padding, as in a property list's <data> element.
QOR_EXPORT std::string base64Encode(const Data& data);
// Accepts padding and ignores whitespace; nullopt for any other character or a bad length.
QOR_EXPORT std::optional<Data> base64Decode(std::string_view text);
}  // namespace plist

}  // namespace qor::platform
