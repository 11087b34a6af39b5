#pragma once

#include <string>

#include "Platform/Export.h"
#include "Platform/Foundation/Coding/Codable.h"
#include "Platform/Foundation/Data.h"

namespace qor::platform {

// Encodes records, lists, maps and scalars to JSON text. The default output is compact, keys in
// the order records write them, "/" escaped as "\/". Safe to use from many threads at once.
class QOR_EXPORT JSONEncoder {
public:
    KeyEncodingStrategy keyEncodingStrategy = KeyEncodingStrategy::useDefaultKeys;
    bool sortedKeys = false;
    bool prettyPrinted = false;           // two-space indent, "key" : value
    bool withoutEscapingSlashes = false;  // write "/" unescaped

    // Throws EncodingError; nothing partial is returned.
    template <class T>
    Data encode(const T& value) const {
        const std::string text = encodeToString(value);
        return Data(text.begin(), text.end());
    }

    template <class T>
    std::string encodeToString(const T& value) const {
        // Sorted or indented text needs the whole tree first; compact text is written as the
        // values are coded.
        if (sortedKeys || prettyPrinted) return write(encodeToAny(value));
        coding::TextWriter writer(!withoutEscapingSlashes);
        const EncodingContext context{keyEncodingStrategy};
        const CodingPath root;
        try {
            coding::writeValue(value, root, context, writer);
        } catch (const coding::TextWriter::RepeatedKey&) {
            return write(encodeToAny(value));
        }
        if (writer.failure()) throw EncodingError(CodingPath(), *writer.failure());
        return writer.take();
    }

    // The untyped value the text would be made from. Throws EncodingError.
    template <class T>
    Any encodeToAny(const T& value) const {
        const EncodingContext context{keyEncodingStrategy};
        const CodingPath root;
        return coding::encodeValue(value, root, context);
    }

private:
    std::string write(const Any& value) const;
};

}  // namespace qor::platform
