#pragma once

#include <optional>
#include <string>

#include "Platform/Foundation/Any.h"

// The text writer shared by JSONSerialization and JSONEncoder.
namespace qor::platform::coding {

struct JSONTextOptions {
    bool sortedKeys = false;
    bool prettyPrinted = false;
    bool escapeSlashes = true;
};

// Appends the JSON text of value to out. Returns a description of the first value that cannot
// be written (a non-finite number, a NaN Decimal, a string or key that is not UTF-8), in which
// case out holds a partial text that the caller must drop.
std::optional<std::string> writeJSONText(const Any& value, const JSONTextOptions& options, std::string& out);

// The description of the first value inside value that cannot be written, if any.
std::optional<std::string> firstInvalidValue(const Any& value);

// Number text as the writer produces it (nullopt for a non-finite value).
std::optional<std::string> doubleText(double value);
std::optional<std::string> floatText(float value);

}  // namespace qor::platform::coding
