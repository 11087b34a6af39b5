#include "Platform/Foundation/Any.h"

#include <cmath>
#include <limits>
#include <ostream>

#include "Platform/Foundation/Coding/JSONText.h"

namespace qor::platform {

namespace {

constexpr std::size_t kIndexThreshold = 24;

[[noreturn]] void wrongKind(const char* wanted) { throw AnyTypeError(std::string("Any does not hold ") + wanted); }

// True when the double is integral and within [-2^63, 2^63).
std::optional<std::int64_t> exactInt64FromDouble(double value) {
    if (!std::isfinite(value) || std::trunc(value) != value) return std::nullopt;
    if (value < -9223372036854775808.0 || value >= 9223372036854775808.0) return std::nullopt;
    return static_cast<std::int64_t>(value);
}

std::optional<std::uint64_t> exactUInt64FromDouble(double value) {
    if (!std::isfinite(value) || std::trunc(value) != value) return std::nullopt;
    if (value < 0 || value >= 18446744073709551616.0) return std::nullopt;
    return static_cast<std::uint64_t>(value);
}

}  // namespace

Any::Any(Array value) : storage_(Box<Array>{std::make_unique<Array>(std::move(value))}) {}

Any::Any(Dictionary value) : storage_(Box<Dictionary>{std::make_unique<Dictionary>(std::move(value))}) {}

Any Any::parsedNumber(double value, std::optional<Decimal> exact) {
    Any result;
    result.storage_ = Floating{value, std::move(exact), false};
    return result;
}

Any::Any(const Any& other) {
    switch (other.kind()) {
        case Kind::array:
            storage_ = Box<Array>{std::make_unique<Array>(*std::get<Box<Array>>(other.storage_).pointer)};
            break;
        case Kind::dictionary:
            storage_ =
                Box<Dictionary>{std::make_unique<Dictionary>(*std::get<Box<Dictionary>>(other.storage_).pointer)};
            break;
        case Kind::null:
            break;
        case Kind::boolean:
            storage_ = std::get<bool>(other.storage_);
            break;
        case Kind::integer:
            storage_ = std::get<std::int64_t>(other.storage_);
            break;
        case Kind::unsignedInteger:
            storage_ = std::get<std::uint64_t>(other.storage_);
            break;
        case Kind::floating:
            storage_ = std::get<Floating>(other.storage_);
            break;
        case Kind::decimal:
            storage_ = std::get<Decimal>(other.storage_);
            break;
        case Kind::string:
            storage_ = std::get<std::string>(other.storage_);
            break;
    }
}

Any& Any::operator=(const Any& other) {
    if (this != &other) {
        Any copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Any::Any(Any&& other) noexcept = default;

Any& Any::operator=(Any&& other) noexcept = default;

Any::~Any() = default;

bool Any::isFloat32() const { return isDouble() && std::get<Floating>(storage_).float32; }

bool Any::asBool() const {
    if (!isBool()) wrongKind("a boolean");
    return std::get<bool>(storage_);
}

std::int64_t Any::asInt64() const {
    const auto value = tryInt64();
    if (!value) wrongKind("an integer that fits in 64 signed bits");
    return *value;
}

std::uint64_t Any::asUInt64() const {
    const auto value = tryUInt64();
    if (!value) wrongKind("an integer that fits in 64 unsigned bits");
    return *value;
}

double Any::asDouble() const {
    const auto value = tryDouble();
    if (!value) wrongKind("a number");
    return *value;
}

Decimal Any::asDecimal() const {
    const auto value = tryDecimal();
    if (!value) wrongKind("a number");
    return *value;
}

const std::string& Any::asString() const {
    if (!isString()) wrongKind("a string");
    return std::get<std::string>(storage_);
}

const Any::Array& Any::asArray() const {
    if (!isArray()) wrongKind("an array");
    return *std::get<Box<Array>>(storage_).pointer;
}

Any::Array& Any::asArray() {
    if (!isArray()) wrongKind("an array");
    return *std::get<Box<Array>>(storage_).pointer;
}

const Any::Dictionary& Any::asDictionary() const {
    if (!isDictionary()) wrongKind("a dictionary");
    return *std::get<Box<Dictionary>>(storage_).pointer;
}

Any::Dictionary& Any::asDictionary() {
    if (!isDictionary()) wrongKind("a dictionary");
    return *std::get<Box<Dictionary>>(storage_).pointer;
}

std::optional<bool> Any::tryBool() const {
    if (!isBool()) return std::nullopt;
    return std::get<bool>(storage_);
}

std::optional<std::int64_t> Any::tryInt64() const {
    switch (kind()) {
        case Kind::integer:
            return std::get<std::int64_t>(storage_);
        case Kind::unsignedInteger:
            return std::nullopt;  // always beyond the signed range
        case Kind::floating: {
            const auto& floating = std::get<Floating>(storage_);
            return floating.exact ? floating.exact->exactInt64() : exactInt64FromDouble(floating.value);
        }
        case Kind::decimal:
            return std::get<Decimal>(storage_).exactInt64();
        default:
            return std::nullopt;
    }
}

std::optional<std::uint64_t> Any::tryUInt64() const {
    switch (kind()) {
        case Kind::integer: {
            const auto value = std::get<std::int64_t>(storage_);
            if (value < 0) return std::nullopt;
            return static_cast<std::uint64_t>(value);
        }
        case Kind::unsignedInteger:
            return std::get<std::uint64_t>(storage_);
        case Kind::floating: {
            const auto& floating = std::get<Floating>(storage_);
            return floating.exact ? floating.exact->exactUInt64() : exactUInt64FromDouble(floating.value);
        }
        case Kind::decimal:
            return std::get<Decimal>(storage_).exactUInt64();
        default:
            return std::nullopt;
    }
}

std::optional<double> Any::tryDouble() const {
    switch (kind()) {
        case Kind::integer:
            return static_cast<double>(std::get<std::int64_t>(storage_));
        case Kind::unsignedInteger:
            return static_cast<double>(std::get<std::uint64_t>(storage_));
        case Kind::floating:
            return std::get<Floating>(storage_).value;
        case Kind::decimal:
            return std::get<Decimal>(storage_).doubleValue();
        default:
            return std::nullopt;
    }
}

std::optional<Decimal> Any::tryDecimal() const {
    switch (kind()) {
        case Kind::integer:
            return Decimal(std::get<std::int64_t>(storage_));
        case Kind::unsignedInteger:
            return Decimal(std::get<std::uint64_t>(storage_));
        case Kind::floating: {
            const auto& floating = std::get<Floating>(storage_);
            if (floating.exact) return *floating.exact;
            return floating.float32 ? Decimal(static_cast<float>(floating.value)) : Decimal(floating.value);
        }
        case Kind::decimal:
            return std::get<Decimal>(storage_);
        default:
            return std::nullopt;
    }
}

const std::string* Any::tryString() const { return std::get_if<std::string>(&storage_); }

const Any::Array* Any::tryArray() const {
    const auto* box = std::get_if<Box<Array>>(&storage_);
    return box ? box->pointer.get() : nullptr;
}

Any::Array* Any::tryArray() {
    auto* box = std::get_if<Box<Array>>(&storage_);
    return box ? box->pointer.get() : nullptr;
}

const Any::Dictionary* Any::tryDictionary() const {
    const auto* box = std::get_if<Box<Dictionary>>(&storage_);
    return box ? box->pointer.get() : nullptr;
}

Any::Dictionary* Any::tryDictionary() {
    auto* box = std::get_if<Box<Dictionary>>(&storage_);
    return box ? box->pointer.get() : nullptr;
}

const std::optional<Decimal>* Any::exactDecimal() const {
    const auto* floating = std::get_if<Floating>(&storage_);
    return floating ? &floating->exact : nullptr;
}

namespace {

bool numbersEqual(const Any& a, const Any& b) {
    // Integers compare exactly; anything with a known exact decimal compares as decimals; the
    // rest (plain doubles) compare as doubles.
    if (a.isInteger() && b.isInteger()) {
        const auto signedA = a.tryInt64();
        const auto signedB = b.tryInt64();
        if (signedA && signedB) return *signedA == *signedB;
        const auto unsignedA = a.tryUInt64();
        const auto unsignedB = b.tryUInt64();
        return unsignedA && unsignedB && *unsignedA == *unsignedB;
    }
    const auto hasExact = [](const Any& value) {
        if (value.isInteger() || value.isDecimal()) return true;
        const auto* exact = value.exactDecimal();
        return exact != nullptr && exact->has_value();
    };
    if (hasExact(a) && hasExact(b)) return a.asDecimal() == b.asDecimal();
    return a.asDouble() == b.asDouble();
}

}  // namespace

bool operator==(const Any& a, const Any& b) {
    if (a.isNumber() && b.isNumber()) return numbersEqual(a, b);
    if (a.kind() != b.kind()) return false;
    switch (a.kind()) {
        case Any::Kind::null:
            return true;
        case Any::Kind::boolean:
            return a.asBool() == b.asBool();
        case Any::Kind::string:
            return a.asString() == b.asString();
        case Any::Kind::array:
            return a.asArray() == b.asArray();
        case Any::Kind::dictionary:
            return a.asDictionary() == b.asDictionary();
        default:
            return false;  // numbers handled above
    }
}

// MARK: - AnyDictionary

AnyDictionary::AnyDictionary(std::initializer_list<value_type> entries) {
    entries_.reserve(entries.size());
    for (const auto& entry : entries) set(entry.first, entry.second);
}

std::optional<std::size_t> AnyDictionary::indexOf(std::string_view key) const {
    if (!index_.empty()) {
        const auto found = index_.find(key);
        if (found == index_.end()) return std::nullopt;
        return found->second;
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].first == key) return i;
    }
    return std::nullopt;
}

const Any* AnyDictionary::find(std::string_view key) const {
    const auto position = indexOf(key);
    return position ? &entries_[*position].second : nullptr;
}

Any* AnyDictionary::find(std::string_view key) {
    const auto position = indexOf(key);
    return position ? &entries_[*position].second : nullptr;
}

const Any& AnyDictionary::at(std::string_view key) const {
    const Any* value = find(key);
    if (value == nullptr) throw std::out_of_range("no value for key \"" + std::string(key) + "\"");
    return *value;
}

Any& AnyDictionary::operator[](std::string_view key) {
    if (Any* value = find(key)) return *value;
    return set(std::string(key), Any());
}

Any& AnyDictionary::set(std::string key, Any value) {
    if (const auto position = indexOf(key)) {
        entries_[*position].second = std::move(value);
        return entries_[*position].second;
    }
    return appendAbsent(std::move(key), std::move(value));
}

Any& AnyDictionary::appendAbsent(std::string key, Any value) {
    entries_.emplace_back(std::move(key), std::move(value));
    if (!index_.empty()) {
        index_.emplace(entries_.back().first, entries_.size() - 1);
    } else if (entries_.size() > kIndexThreshold) {
        rebuildIndex();
    }
    return entries_.back().second;
}

bool AnyDictionary::erase(std::string_view key) {
    const auto position = indexOf(key);
    if (!position) return false;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(*position));
    index_.clear();
    if (entries_.size() > kIndexThreshold) rebuildIndex();
    return true;
}

void AnyDictionary::rebuildIndex() {
    index_.clear();
    index_.reserve(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) index_.emplace(entries_[i].first, i);
}

bool operator==(const AnyDictionary& a, const AnyDictionary& b) {
    if (a.size() != b.size()) return false;
    for (const auto& [key, value] : a) {
        const Any* other = b.find(key);
        if (other == nullptr || !(*other == value)) return false;
    }
    return true;
}

std::ostream& operator<<(std::ostream& stream, const Any& value) {
    if (const auto* array = value.tryArray()) {
        stream << '[';
        for (std::size_t i = 0; i < array->size(); ++i) stream << (i ? "," : "") << (*array)[i];
        return stream << ']';
    }
    if (const auto* dictionary = value.tryDictionary()) {
        stream << '{';
        bool first = true;
        for (const auto& [key, element] : *dictionary) {
            stream << (first ? "" : ",") << Any(key) << ':' << element;
            first = false;
        }
        return stream << '}';
    }
    std::string text;
    if (!coding::writeJSONText(value, {}, text)) return stream << text;
    if (value.isString()) return stream << '"' << value.asString() << '"';
    if (value.isDecimal()) return stream << value.asDecimal();
    return stream << value.asDouble();
}

}  // namespace qor::platform
