#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>

#include <QORUniversalSDK/Platform/Foundation/Coding/Codable.h>
#include <QORUniversalSDK/Platform/Foundation/Data.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor::platform {

// Decodes records, lists, maps and scalars from JSON text (a bare scalar at the top level is
// accepted). Safe to use from many threads at once; one decoder may be shared.
//
// A record read from a long document (kDeferredLength bytes or more) has its long top-level
// arrays read only when the record decodes them, and one element at a time when it decodes them
// through decodeEachRecord (a long element's own long arrays likewise): the untyped form of a
// long list is then never held whole. The values, and the failures, are the same as reading the
// whole document first gives.
class QOR_EXPORT JSONDecoder {
public:
    static constexpr std::size_t kDeferredLength = 64 * 1024;

    KeyDecodingStrategy keyDecodingStrategy = KeyDecodingStrategy::useDefaultKeys;

    // Throws DecodingError: text that is not JSON gives dataCorrupted with an empty coding path.
    template <class T>
    T decode(const Data& data) const {
        return decodeText<T>(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    }

    template <class T>
    T decode(std::string_view text) const {
        return decodeText<T>(text);
    }
    // Text arguments pick the text overloads, never the untyped value one.
    template <class T>
    T decode(const std::string& text) const {
        return decodeText<T>(text);
    }
    template <class T>
    T decode(const char* text) const {
        return decodeText<T>(text);
    }

    template <class T>
    T decode(const Any& value) const {
        const DecodingContext context{keyDecodingStrategy};
        const CodingPath root;
        return coding::decodeValue<T>(value, root, context);
    }

private:
    template <class T>
    T decodeText(std::string_view text) const {
        if constexpr (DecodableRecord<T> && !coding::HasValueCoding<T>) {
            if (text.size() >= kDeferredLength) {
                std::optional<T> record;
                const auto decodeRecord = [&record](const KeyedDecodingContainer& c) { record.emplace(T::decode(c)); };
                if (decodeLongObject(text, KeyedDecodingContainer::RecordCall::to(decodeRecord)))
                    return std::move(*record);
            }
        }
        return decode<T>(parse(text));
    }

    // Reads a long document's top-level object with its long arrays left as their text and hands
    // its container to `decodeRecord`; false, with no call, when the document is not an object the
    // quick reader reads (it is then read whole).
    bool decodeLongObject(std::string_view text, KeyedDecodingContainer::RecordCall decodeRecord) const;
    static Any parse(std::string_view text);
};

}  // namespace qor::platform
