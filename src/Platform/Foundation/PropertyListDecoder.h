#pragma once

#include "Platform/Foundation/Any.h"
#include "Platform/Foundation/Coding/Codable.h"
#include "Platform/Foundation/Data.h"
#include "Platform/Foundation/JSONDecoder.h"

namespace qor::platform {

// Reads what PropertyListEncoder wrote. Safe to use from many threads.
class PropertyListDecoder {
public:
    // Throws DecodingError: dataCorrupted when the bytes are not this library's tagged form
    // (wrong header, cut short, unknown tag, trailing bytes), or the usual errors of the record.
    template <class T>
    T decode(const Data& data) const {
        return JSONDecoder().decode<T>(decodeAny(data));
    }

    static Any decodeAny(const Data& data);
};

}  // namespace qor::platform
