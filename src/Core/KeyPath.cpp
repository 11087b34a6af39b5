#include "Core/KeyPath.h"

namespace qor {

using platform::Any;
using platform::AnyDictionary;

namespace {

std::vector<std::string> split(std::string_view text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (true) {
        const auto dot = text.find('.', start);
        if (dot == std::string_view::npos) {
            pieces.emplace_back(text.substr(start));
            return pieces;
        }
        pieces.emplace_back(text.substr(start, dot - start));
        start = dot + 1;
    }
}

std::string join(const std::vector<std::string>& pieces) {
    std::string text;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) text += '.';
        text += pieces[i];
    }
    return text;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// The template entry under the path's first piece: the member of `input` under
// `current` when it is a dictionary.
const AnyDictionary* entryUnderCurrent(const KeyPath& keyPath, const AnyDictionary* input) {
    if (input == nullptr) return nullptr;
    const Any* member = input->find(keyPath.current);
    return member ? member->tryDictionary() : nullptr;
}

void eraseAll(std::string& text, std::string_view pattern) {
    for (auto at = text.find(pattern); at != std::string::npos; at = text.find(pattern, at)) {
        text.erase(at, pattern.size());
    }
}

}  // namespace

KeyPath::KeyPath(std::string_view text) {
    auto pieces = split(text);
    current = std::move(pieces.front());
    remaining.assign(std::make_move_iterator(pieces.begin() + 1), std::make_move_iterator(pieces.end()));
}

KeyPath KeyPath::rest() const { return KeyPath(join(remaining)); }

std::string KeyPath::description() const {
    std::string text = "KeyPath(current: " + quoted(current) + ", remaining: [";
    for (std::size_t i = 0; i < remaining.size(); ++i) {
        if (i > 0) text += ", ";
        text += quoted(remaining[i]);
    }
    return text + "])";
}

bool PathHandler::handles(const KeyPath&, const Any* valueUnderCurrent) const {
    const auto* entry = valueUnderCurrent ? valueUnderCurrent->tryDictionary() : nullptr;
    return entry != nullptr && entry->contains("@path");
}

std::optional<Any> PathHandler::resolve(const KeyPath& keyPath, const AnyDictionary* input,
                                        const Any* reference) const {
    const auto* entry = entryUnderCurrent(keyPath, input);
    const Any* path = entry ? entry->find("@path") : nullptr;
    const std::string* pathText = path ? path->tryString() : nullptr;
    if (pathText == nullptr) return std::nullopt;
    std::string target = *pathText;
    eraseAll(target, "$.");
    const auto* referenceDictionary = reference ? reference->tryDictionary() : nullptr;
    if (referenceDictionary == nullptr) return std::nullopt;
    return value(*referenceDictionary, KeyPath(target));
}

bool IfHandler::handles(const KeyPath&, const Any* valueUnderCurrent) const {
    const auto* entry = valueUnderCurrent ? valueUnderCurrent->tryDictionary() : nullptr;
    return entry != nullptr && entry->contains("@if");
}

std::optional<Any> IfHandler::resolve(const KeyPath& keyPath, const AnyDictionary* input, const Any* reference) const {
    const auto* entry = entryUnderCurrent(keyPath, input);
    const Any* conditionValue = entry ? entry->find("@if") : nullptr;
    const auto* condition = conditionValue ? conditionValue->tryDictionary() : nullptr;
    if (condition == nullptr) return std::nullopt;

    auto blank = value(*condition, KeyPath("blank"), reference);
    auto present = value(*condition, KeyPath("exists"), reference);
    auto thenValue = value(*condition, KeyPath("then"), reference);
    auto elseValue = value(*condition, KeyPath("else"), reference);

    if (condition->contains("blank")) {
        const std::string* text = blank ? blank->tryString() : nullptr;
        const bool isBlank = !blank || (text != nullptr && text->empty());
        return isBlank ? thenValue : elseValue;
    }
    if (condition->contains("exists")) return present ? thenValue : elseValue;
    return std::nullopt;
}

bool BasicHandler::handles(const KeyPath&, const Any*) const { return true; }

std::optional<Any> BasicHandler::resolve(const KeyPath& keyPath, const AnyDictionary* input, const Any*) const {
    if (input == nullptr) return std::nullopt;
    const Any* member = input->find(keyPath.current);
    if (keyPath.remaining.empty()) return member ? std::optional<Any>(*member) : std::nullopt;
    const auto* nested = member ? member->tryDictionary() : nullptr;
    if (nested == nullptr) return std::nullopt;
    // Below the first level a plain read passes no reference data on.
    return value(*nested, keyPath.rest());
}

const std::vector<const KeyPathHandler*>& keyPathHandlers() {
    static const auto* pathHandler = new PathHandler;
    static const auto* ifHandler = new IfHandler;
    static const auto* basicHandler = new BasicHandler;
    // Never destroyed: detached threads evaluate key paths until the process ends.
    static const auto* handlers = new std::vector<const KeyPathHandler*>{pathHandler, ifHandler, basicHandler};
    return *handlers;
}

const KeyPathHandler* handlerFor(const KeyPath& keyPath, const AnyDictionary* input) {
    if (input == nullptr) return nullptr;
    const Any* underCurrent = input->find(keyPath.current);
    for (const auto* handler : keyPathHandlers()) {
        if (handler->handles(keyPath, underCurrent)) return handler;
    }
    return nullptr;
}

std::optional<Any> value(const AnyDictionary& dictionary, const KeyPath& keyPath, const Any* reference) {
    const auto* handler = handlerFor(keyPath, &dictionary);
    if (handler == nullptr) return std::nullopt;
    return handler->resolve(keyPath, &dictionary, reference);
}

bool exists(const AnyDictionary& dictionary, const KeyPath& keyPath, const Any* reference) {
    return value(dictionary, keyPath, reference).has_value();
}

void setValue(AnyDictionary& dictionary, const std::optional<Any>& newValue, const KeyPath& keyPath) {
    if (!keyPath.remaining.empty()) {
        AnyDictionary nested;
        if (const Any* member = dictionary.find(keyPath.current); member && member->isDictionary()) {
            nested = member->asDictionary();
        }
        setValue(nested, newValue, keyPath.rest());
        dictionary.set(keyPath.current, Any(std::move(nested)));
        return;
    }
    if (!newValue) {
        dictionary.erase(keyPath.current);
        return;
    }
    dictionary.set(keyPath.current, *newValue);
}

}  // namespace qor
