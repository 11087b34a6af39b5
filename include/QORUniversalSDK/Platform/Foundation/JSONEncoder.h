#pragma once

#include <cstddef>
#include <string>

#include <QORUniversalSDK/Platform/Foundation/Coding/Codable.h>
#include <QORUniversalSDK/Platform/Foundation/Data.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

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
        std::string text;
        encodeAppending(value, text);
        return text;
    }

    // The same text, appended to what `out` holds already. Throws EncodingError and then
    // leaves `out` as it was.
    template <class T>
    void encodeAppending(const T& value, std::string& out) const {
        // Sorted or indented text needs the whole tree first; compact text is written as the
        // values are coded.
        if (sortedKeys || prettyPrinted) {
            out += write(encodeToAny(value));
            return;
        }
        const std::size_t start = out.size();
        coding::TextWriter writer(!withoutEscapingSlashes, std::move(out));
        const EncodingContext context{keyEncodingStrategy};
        const CodingPath root;
        try {
            coding::writeValue(value, root, context, writer);
        } catch (const coding::TextWriter::RepeatedKey&) {
            out = writer.take();
            out.resize(start);
            out += write(encodeToAny(value));
            return;
        } catch (...) {
            out = writer.take();
            out.resize(start);
            throw;
        }
        out = writer.take();
        if (writer.failure()) {
            out.resize(start);
            throw EncodingError(CodingPath(), *writer.failure());
        }
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
