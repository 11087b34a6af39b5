#pragma once

#include <exception>
#include <string>
#include <vector>

#include <QORUniversalSDK/Platform/Foundation/Coding/CodingPath.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor::platform {

// Why a document could not be decoded into a value. The kinds let a caller tell a missing key
// from a null, a wrong JSON type and a value that is there but unusable (a fraction where an
// integer is due, an unknown enum raw value, text that is not JSON).
// codingPath ends with the key or "Index n" of the offending value; for keyNotFound it ends
// with the missing key.
struct QOR_EXPORT DecodingError : std::exception {
    enum class Kind { keyNotFound, valueNotFound, typeMismatch, dataCorrupted };

    DecodingError(Kind kind, std::vector<std::string> codingPath, std::string debugDescription);
    DecodingError(Kind kind, const CodingPath& path, std::string debugDescription)
        : DecodingError(kind, path.components(), std::move(debugDescription)) {}

    Kind kind;
    std::vector<std::string> codingPath;
    std::string debugDescription;

    // "<kind> at <a.b.Index 0>: <debugDescription>", fixed when the error is made.
    const char* what() const noexcept override { return message_.c_str(); }
    // The user-facing text: missing data (keyNotFound, valueNotFound) or data in the wrong format.
    std::string localizedDescription() const;

private:
    std::string message_;
};

// Why a value could not be encoded: a non-finite number, a NaN Decimal, an enum value that has
// no raw value, a string that is not UTF-8.
struct QOR_EXPORT EncodingError : std::exception {
    EncodingError(std::vector<std::string> codingPath, std::string debugDescription);
    EncodingError(const CodingPath& path, std::string debugDescription)
        : EncodingError(path.components(), std::move(debugDescription)) {}

    std::vector<std::string> codingPath;
    std::string debugDescription;

    const char* what() const noexcept override { return message_.c_str(); }
    std::string localizedDescription() const;

private:
    std::string message_;
};

QOR_EXPORT const char* decodingErrorKindName(DecodingError::Kind kind);

}  // namespace qor::platform
