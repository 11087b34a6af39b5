#pragma once

#include <optional>
#include <string>

namespace qor::platform {

// One name/value pair of a URL query; a name without "=" has no value.
struct URLQueryItem {
    std::string name;
    std::optional<std::string> value;

    bool operator==(const URLQueryItem&) const = default;
};

}  // namespace qor::platform
