#pragma once

#include <string_view>

#include "Platform/Foundation/Any.h"
#include "Platform/Foundation/Coding/Codable.h"
#include "Platform/Foundation/Data.h"
#include "Platform/Foundation/JSONEncoder.h"

namespace qor::platform {

// Encodes records and values to this library's own tagged binary form, which only
// PropertyListDecoder reads back. Unlike JSON text it loses nothing: null stays null, a
// boolean never turns into a number, integers, floating values and Decimals keep their
// kind and exact value, and a text is never mistaken for anything else. Bytes (Data) are
// kept as the list of their values, which reads back as Data. Safe to use from many threads.
class PropertyListEncoder {
public:
    // The first bytes of every encoded value.
    static constexpr std::string_view header = "qorplist1";

    // Throws EncodingError when the value cannot be coded.
    template <class T>
    Data encode(const T& value) const {
        return encodeAny(JSONEncoder().encodeToAny(value));
    }

    // The tagged form of an untyped value. Throws EncodingError for a NaN Decimal.
    static Data encodeAny(const Any& value);
};

}  // namespace qor::platform
