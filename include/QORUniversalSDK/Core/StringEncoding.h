#pragma once

#include <string>

namespace qor {

// A text encoding named in conversion errors. Text is UTF-8 throughout the system.
enum class StringEncoding { utf8 };

// The encoding's human-readable name, as conversion errors print it.
inline std::string description(StringEncoding encoding) {
    switch (encoding) {
        case StringEncoding::utf8:
            return "Unicode (UTF-8)";
    }
    return {};
}

}  // namespace qor
