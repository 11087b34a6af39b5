#pragma once

#include <string_view>

#include "Platform/Foundation/Coding/Codable.h"
#include "Platform/Foundation/Data.h"
#include "Platform/Support/Export.h"

namespace qor::platform {

// Decodes records, lists, maps and scalars from JSON text (a bare scalar at the top level is
// accepted). Safe to use from many threads at once; one decoder may be shared.
class QOR_EXPORT JSONDecoder {
public:
    KeyDecodingStrategy keyDecodingStrategy = KeyDecodingStrategy::useDefaultKeys;

    // Throws DecodingError: text that is not JSON gives dataCorrupted with an empty coding path.
    template <class T>
    T decode(const Data& data) const {
        return decode<T>(parse(std::string_view(reinterpret_cast<const char*>(data.data()), data.size())));
    }

    template <class T>
    T decode(std::string_view text) const {
        return decode<T>(parse(text));
    }
    // Text arguments pick the text overloads, never the untyped value one.
    template <class T>
    T decode(const std::string& text) const {
        return decode<T>(parse(text));
    }
    template <class T>
    T decode(const char* text) const {
        return decode<T>(parse(text));
    }

    template <class T>
    T decode(const Any& value) const {
        const DecodingContext context{keyDecodingStrategy};
        const CodingPath root;
        return coding::decodeValue<T>(value, root, context);
    }

private:
    static Any parse(std::string_view text);
};

}  // namespace qor::platform
