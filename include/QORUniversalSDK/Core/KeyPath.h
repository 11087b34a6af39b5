#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QORUniversalSDK/Core/Flattenable.h>
#include <QORUniversalSDK/Platform/Foundation/Any.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

// A dotted path into nested dictionaries: "device.token" names the member "token" of
// the dictionary under "device". Splitting happens at every "."; empty pieces stay.
struct QOR_EXPORT KeyPath {
    std::string current;
    std::vector<std::string> remaining;

    KeyPath(std::string_view text);                                 // NOLINT: a path is written as a text literal
    KeyPath(const char* text) : KeyPath(std::string_view(text)) {}  // NOLINT
    KeyPath(const std::string& text) : KeyPath(std::string_view(text)) {}  // NOLINT

    // The path after `current`, split again.
    KeyPath rest() const;

    // The record's printed form: KeyPath(current: "a", remaining: ["b", "c"]).
    std::string description() const;

    bool operator==(const KeyPath&) const = default;
};

// One way of resolving a read. `input` is the dictionary being read; `valueUnderCurrent`
// is its member under the path's first piece (null when there is none).
class QOR_EXPORT KeyPathHandler {
public:
    virtual ~KeyPathHandler() = default;
    virtual bool handles(const KeyPath& keyPath, const platform::Any* valueUnderCurrent) const = 0;
    virtual std::optional<platform::Any> resolve(const KeyPath& keyPath, const platform::AnyDictionary* input,
                                                 const platform::Any* reference) const = 0;
};

// A member {"@path": "$.a.b"} answers with the value at a.b of the reference data.
class QOR_EXPORT PathHandler final : public KeyPathHandler {
public:
    bool handles(const KeyPath& keyPath, const platform::Any* valueUnderCurrent) const override;
    std::optional<platform::Any> resolve(const KeyPath& keyPath, const platform::AnyDictionary* input,
                                         const platform::Any* reference) const override;
};

// A member {"@if": {"blank"|"exists": ..., "then": ..., "else": ...}} picks one branch by
// a condition on the reference data.
class QOR_EXPORT IfHandler final : public KeyPathHandler {
public:
    bool handles(const KeyPath& keyPath, const platform::Any* valueUnderCurrent) const override;
    std::optional<platform::Any> resolve(const KeyPath& keyPath, const platform::AnyDictionary* input,
                                         const platform::Any* reference) const override;
};

// A plain read down the nested dictionaries.
class QOR_EXPORT BasicHandler final : public KeyPathHandler {
public:
    bool handles(const KeyPath& keyPath, const platform::Any* valueUnderCurrent) const override;
    std::optional<platform::Any> resolve(const KeyPath& keyPath, const platform::AnyDictionary* input,
                                         const platform::Any* reference) const override;
};

// The process-wide handler list, in the order PathHandler, IfHandler, BasicHandler.
QOR_EXPORT const std::vector<const KeyPathHandler*>& keyPathHandlers();

// The first handler that takes a read of `keyPath` from `input`; none without input.
QOR_EXPORT const KeyPathHandler* handlerFor(const KeyPath& keyPath, const platform::AnyDictionary* input);

// Reads the value at `keyPath`, resolving "@path" and "@if" entries against `reference`.
QOR_EXPORT std::optional<platform::Any> value(const platform::AnyDictionary& dictionary, const KeyPath& keyPath,
                                              const platform::Any* reference = nullptr);

// True when a read gives a value (a stored null counts).
QOR_EXPORT bool exists(const platform::AnyDictionary& dictionary, const KeyPath& keyPath,
                       const platform::Any* reference = nullptr);

// Writes at `keyPath`, creating or replacing the dictionaries on the way; an absent
// value removes the last member. Template entries are ordinary data here.
QOR_EXPORT void setValue(platform::AnyDictionary& dictionary, const std::optional<platform::Any>& newValue,
                         const KeyPath& keyPath);

// Nested optionals count as absent when any level is empty.
template <Flattenable Optional>
void setValue(platform::AnyDictionary& dictionary, const Optional& newValue, const KeyPath& keyPath) {
    const auto flat = flattened(newValue);
    setValue(dictionary, flat ? std::optional<platform::Any>(platform::Any(*flat)) : std::nullopt, keyPath);
}

}  // namespace qor
