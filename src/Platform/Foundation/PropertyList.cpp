#include "Platform/Foundation/PropertyList.h"

#include <pugixml.hpp>

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "Platform/Foundation/PlatformError.h"
#include "Platform/Support/ASCIIText.h"

namespace qor::platform {
namespace {

[[noreturn]] void corrupt(const std::string& reason) {
    throw PlatformError(PlatformError::Code::propertyListCorrupt, "Property list is not valid: " + reason);
}

// All character data of an element: a string may be split into text and CDATA sections.
std::string elementText(const pugi::xml_node& node) {
    std::string text;
    for (const auto& child : node.children()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            text += child.value();
        } else if (child.type() == pugi::node_element) {
            corrupt(std::string("unexpected element <") + child.name() + "> inside <" + node.name() + ">");
        }
    }
    return text;
}

std::int64_t parseInteger(std::string_view raw) {
    const std::string_view text = trimmed(raw);
    std::string_view digits = text;
    bool negative = false;
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    std::uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
        corrupt("<integer> holds \"" + std::string(text) + "\"");
    }
    constexpr std::uint64_t maxPositive = static_cast<std::uint64_t>(INT64_MAX);
    if (negative) {
        if (magnitude > maxPositive + 1) corrupt("<integer> " + std::string(text) + " is out of range");
        return magnitude == maxPositive + 1 ? INT64_MIN : -static_cast<std::int64_t>(magnitude);
    }
    if (magnitude > maxPositive) corrupt("<integer> " + std::string(text) + " is out of range");
    return static_cast<std::int64_t>(magnitude);
}

double parseReal(std::string_view raw) {
    const std::string text(trimmed(raw));
    if (text.empty()) corrupt("<real> is empty");
    // strtod also takes "nan" and "inf", which property lists allow for reals.
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) corrupt("<real> holds \"" + text + "\"");
    return value;
}

PlistValue parseNode(const pugi::xml_node& node);

PlistDictionary parseDictionary(const pugi::xml_node& node) {
    PlistDictionary dictionary;
    std::optional<std::string> pendingKey;
    for (const auto& child : node.children()) {
        if (child.type() == pugi::node_comment || child.type() == pugi::node_pi) continue;
        if (child.type() != pugi::node_element) {
            if (!trimmed(child.value()).empty()) corrupt("text outside of an element in <dict>");
            continue;
        }
        if (std::string_view(child.name()) == "key") {
            if (pendingKey) corrupt("key \"" + *pendingKey + "\" has no value");
            pendingKey = elementText(child);
            continue;
        }
        if (!pendingKey) corrupt(std::string("<") + child.name() + "> in <dict> without a preceding <key>");
        dictionary.insert_or_assign(std::move(*pendingKey), parseNode(child));
        pendingKey.reset();
    }
    if (pendingKey) corrupt("key \"" + *pendingKey + "\" has no value");
    return dictionary;
}

PlistArray parseArray(const pugi::xml_node& node) {
    PlistArray array;
    for (const auto& child : node.children()) {
        if (child.type() == pugi::node_comment || child.type() == pugi::node_pi) continue;
        if (child.type() != pugi::node_element) {
            if (!trimmed(child.value()).empty()) corrupt("text outside of an element in <array>");
            continue;
        }
        array.push_back(parseNode(child));
    }
    return array;
}

PlistValue parseNode(const pugi::xml_node& node) {
    const std::string_view name = node.name();
    if (name == "dict") return parseDictionary(node);
    if (name == "array") return parseArray(node);
    if (name == "string") return elementText(node);
    if (name == "integer") return parseInteger(elementText(node));
    if (name == "real") return parseReal(elementText(node));
    if (name == "true") return true;
    if (name == "false") return false;
    if (name == "date") return std::string(trimmed(elementText(node)));
    if (name == "data") {
        auto bytes = plist::base64Decode(elementText(node));
        if (!bytes) corrupt("<data> is not valid base64");
        return std::move(*bytes);
    }
    corrupt("unknown element <" + std::string(name) + ">");
}

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

PlistValue parsePropertyList(std::string_view xml) {
    if (xml.substr(0, 6) == "bplist") corrupt("binary property lists are not supported, use the XML form");
    pugi::xml_document document;
    // Whitespace-only text is kept: a <string> or <key> of blanks is a value in its own right.
    // The whitespace between elements is skipped by the readers above.
    const auto result = document.load_buffer(xml.data(), xml.size(),
                                             pugi::parse_default | pugi::parse_comments | pugi::parse_ws_pcdata);
    if (!result) {
        corrupt(std::string(result.description()) + " at offset " + std::to_string(result.offset));
    }
    pugi::xml_node root = document.document_element();
    if (std::string_view(root.name()) == "plist") {
        pugi::xml_node value;
        for (const auto& child : root.children()) {
            if (child.type() != pugi::node_element) continue;
            if (value) corrupt("<plist> holds more than one value");
            value = child;
        }
        if (!value) corrupt("<plist> is empty");
        return parseNode(value);
    }
    return parseNode(root);
}

PlistValue readPropertyListFile(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        const int error = errno;
        throw PlatformError::fromErrno("Reading property list", file.string(), error ? error : ENOENT,
                                       PlatformError::Code::fileReadFailed);
    }
    std::ostringstream contents;
    contents << stream.rdbuf();
    if (stream.bad()) {
        throw PlatformError(PlatformError::Code::fileReadFailed,
                            "Reading property list \"" + file.string() + "\" failed", file.string());
    }
    try {
        return parsePropertyList(contents.str());
    } catch (const PlatformError& error) {
        throw PlatformError(error.code(), std::string(error.what()) + " (in \"" + file.string() + "\")", file.string());
    }
}

namespace plist {

std::string base64Encode(const Data& data) {
    std::string text;
    text.reserve((data.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < data.size(); i += 3) {
        const std::uint32_t block = (data[i] << 16) | (data[i + 1] << 8) | data[i + 2];
        text += kAlphabet[(block >> 18) & 63];
        text += kAlphabet[(block >> 12) & 63];
        text += kAlphabet[(block >> 6) & 63];
        text += kAlphabet[block & 63];
    }
    const std::size_t rest = data.size() - i;
    if (rest == 1) {
        const std::uint32_t block = data[i] << 16;
        text += kAlphabet[(block >> 18) & 63];
        text += kAlphabet[(block >> 12) & 63];
        text += "==";
    } else if (rest == 2) {
        const std::uint32_t block = (data[i] << 16) | (data[i + 1] << 8);
        text += kAlphabet[(block >> 18) & 63];
        text += kAlphabet[(block >> 12) & 63];
        text += kAlphabet[(block >> 6) & 63];
        text += '=';
    }
    return text;
}

std::optional<Data> base64Decode(std::string_view text) {
    std::array<int, 256> values{};
    values.fill(-1);
    for (std::size_t k = 0; k < kAlphabet.size(); ++k)
        values[static_cast<unsigned char>(kAlphabet[k])] = static_cast<int>(k);

    Data bytes;
    std::uint32_t block = 0;
    int count = 0;
    int padding = 0;
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const int value = values[static_cast<unsigned char>(c)];
        if (value < 0 || padding > 0) return std::nullopt;  // unknown character, or data after padding
        block = (block << 6) | static_cast<std::uint32_t>(value);
        if (++count == 4) {
            bytes.push_back(static_cast<std::uint8_t>(block >> 16));
            bytes.push_back(static_cast<std::uint8_t>(block >> 8));
            bytes.push_back(static_cast<std::uint8_t>(block));
            block = 0;
            count = 0;
        }
    }
    if (padding > 2) return std::nullopt;
    if (count == 1) return std::nullopt;
    if (count == 2) {
        bytes.push_back(static_cast<std::uint8_t>(block >> 4));
    } else if (count == 3) {
        bytes.push_back(static_cast<std::uint8_t>(block >> 10));
        bytes.push_back(static_cast<std::uint8_t>(block >> 2));
    }
    if (count == 0 && padding != 0) return std::nullopt;
    return bytes;
}

}  // namespace plist
}  // namespace qor::platform
