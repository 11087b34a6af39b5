#include "Platform/Foundation/JSONSerialization.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

#include "Platform/Foundation/Coding/JSONReader.h"
#include "Platform/Foundation/Coding/JSONText.h"

namespace qor::platform {

namespace {

using nlohmann::json;

// Builds the untyped model straight from the parser's events, so numbers keep their text.
class AnyBuilder final : public nlohmann::json_sax<json> {
public:
    Any result;
    std::string error;

    bool null() override { return add(Any()); }
    bool boolean(bool value) override { return add(Any(value)); }
    bool number_integer(number_integer_t value) override { return add(Any(static_cast<std::int64_t>(value))); }
    bool number_unsigned(number_unsigned_t value) override { return add(Any(static_cast<std::uint64_t>(value))); }
    bool number_float(number_float_t value, const string_t& text) override {
        return add(Any::parsedNumber(value, Decimal::parse(text)));
    }
    bool string(string_t& value) override { return add(Any(std::move(value))); }
    bool binary(binary_t&) override {
        error = "binary values are not JSON";
        return false;
    }
    bool start_object(std::size_t) override { return open(Any(Any::Dictionary())); }
    bool key(string_t& value) override {
        pendingKey_ = std::move(value);
        return true;
    }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(Any(Any::Array())); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& exception) override {
        error = exception.what();
        return false;
    }

private:
    // Places a finished value in the innermost open container, or as the result.
    Any* place(Any&& value) {
        if (stack_.empty()) {
            result = std::move(value);
            return &result;
        }
        Any& parent = *stack_.back();
        if (auto* array = parent.tryArray()) {
            array->push_back(std::move(value));
            return &array->back();
        }
        return &parent.asDictionary().set(std::move(pendingKey_), std::move(value));
    }

    bool add(Any&& value) {
        place(std::move(value));
        return true;
    }

    bool open(Any&& container) {
        if (static_cast<int>(stack_.size()) >= JSONSerialization::maxDepth) {
            error = "too many nested arrays or dictionaries";
            return false;
        }
        // The pointer stays valid: a container's elements only move when that container grows,
        // and nothing is added to the parent while this child is open.
        stack_.push_back(place(std::move(container)));
        return true;
    }

    bool close() {
        stack_.pop_back();
        return true;
    }

    std::vector<Any*> stack_;
    std::string pendingKey_;
};

// The full parser: any text, with the library's description of what is wrong with it.
Any parseFully(const char* begin, const char* end) {
    AnyBuilder builder;
    bool ok = false;
    try {
        ok = json::sax_parse(begin, end, &builder, json::input_format_t::json, true, false);
    } catch (const std::exception& exception) {
        // Invalid UTF-8 surfaces from the lexer as an exception on some paths.
        builder.error = exception.what();
    }
    if (!ok) {
        throw JSONSerializationError(JSONSerializationError::Kind::invalidText,
                                     builder.error.empty() ? "invalid JSON text" : builder.error);
    }
    return std::move(builder.result);
}

Any parse(const char* begin, const char* end, JSONSerialization::ReadingOptions options) {
    // Well-formed text takes the quick reader; the full parser decides the rest.
    auto quick = coding::readWellFormedJSON(std::string_view(begin, static_cast<std::size_t>(end - begin)),
                                            JSONSerialization::maxDepth);
    Any result = quick ? std::move(*quick) : parseFully(begin, end);
    if (!options.fragmentsAllowed && !result.isArray() && !result.isDictionary()) {
        throw JSONSerializationError(JSONSerializationError::Kind::invalidText,
                                     "the top level is not an array or a dictionary and fragments are not allowed");
    }
    return result;
}

}  // namespace

std::string JSONSerializationError::localizedDescription() const {
    return kind == Kind::invalidText ? "The data couldn\u2019t be read because it isn\u2019t in the correct format."
                                     : "The data couldn\u2019t be written because it isn\u2019t in the correct format.";
}

Data JSONSerialization::data(const Any& value, WritingOptions options) {
    const std::string text = string(value, options);
    return Data(text.begin(), text.end());
}

std::string JSONSerialization::string(const Any& value, WritingOptions options) {
    if (!options.fragmentsAllowed && !value.isArray() && !value.isDictionary()) {
        throw JSONSerializationError(JSONSerializationError::Kind::invalidValue,
                                     "the top level is not an array or a dictionary and fragments are not allowed");
    }
    coding::JSONTextOptions textOptions;
    textOptions.sortedKeys = options.sortedKeys;
    textOptions.prettyPrinted = options.prettyPrinted;
    textOptions.escapeSlashes = !options.withoutEscapingSlashes;
    std::string out;
    if (auto failure = coding::writeJSONText(value, textOptions, out)) {
        throw JSONSerializationError(JSONSerializationError::Kind::invalidValue, *failure);
    }
    return out;
}

Any JSONSerialization::jsonObject(const Data& data, ReadingOptions options) {
    const auto* begin = reinterpret_cast<const char*>(data.data());
    return parse(begin, begin + data.size(), options);
}

Any JSONSerialization::jsonObject(std::string_view text, ReadingOptions options) {
    return parse(text.data(), text.data() + text.size(), options);
}

bool JSONSerialization::isValidJSONObject(const Any& value) {
    if (!value.isArray() && !value.isDictionary()) return false;
    return !coding::firstInvalidValue(value).has_value();
}

}  // namespace qor::platform
