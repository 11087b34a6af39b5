#pragma once

#include "Platform/Foundation/Coding/Codable.h"

#include <optional>
#include <string>

namespace qor {

// The two forms an error body comes in. Both are read with snake-case key conversion, so the
// body's "error_description" fills errorDescription.

// {"error": "...", "error_description": "..."}; the description is optional.
struct InternalAuthError {
    std::string error;
    std::optional<std::string> errorDescription;

    static InternalAuthError decode(const platform::KeyedDecodingContainer& container) {
        InternalAuthError record;
        record.error = container.decode<std::string>("error");
        record.errorDescription = container.decodeIfPresent<std::string>("errorDescription");
        return record;
    }
};

// {"message": "..."}.
struct InternalAPIError {
    std::string message;

    static InternalAPIError decode(const platform::KeyedDecodingContainer& container) {
        InternalAPIError record;
        record.message = container.decode<std::string>("message");
        return record;
    }
};

}  // namespace qor
