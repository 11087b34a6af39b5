#include "Platform/Foundation/Coding/KeyStrategy.h"

#include <optional>
#include <utility>
#include <vector>

namespace qor::platform {

namespace {

bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool isLower(char c) { return c >= 'a' && c <= 'z'; }
char toLower(char c) { return isUpper(c) ? static_cast<char>(c - 'A' + 'a') : c; }
char toUpper(char c) { return isLower(c) ? static_cast<char>(c - 'a' + 'A') : c; }

std::optional<std::size_t> findFrom(std::string_view text, std::size_t from, bool (*predicate)(char)) {
    for (std::size_t i = from; i < text.size(); ++i) {
        if (predicate(text[i])) return i;
    }
    return std::nullopt;
}

}  // namespace

std::string convertToSnakeCase(std::string_view key) {
    if (key.empty()) return std::string(key);
    std::vector<std::pair<std::size_t, std::size_t>> words;  // [begin, end)
    std::size_t wordStart = 0;
    std::size_t searchFrom = 1;
    while (const auto upper = findFrom(key, searchFrom, isUpper)) {
        words.emplace_back(wordStart, *upper);
        const auto lower = findFrom(key, *upper, isLower);
        if (!lower) {
            wordStart = *upper;
            break;
        }
        if (*lower == *upper + 1) {
            // A single capital followed by lower case starts the next word.
            wordStart = *upper;
        } else {
            // A run of capitals is a word of its own; its last capital begins the next word.
            words.emplace_back(*upper, *lower - 1);
            wordStart = *lower - 1;
        }
        searchFrom = *lower + 1;
    }
    words.emplace_back(wordStart, key.size());

    std::string result;
    result.reserve(key.size() + words.size());
    bool first = true;
    for (const auto& [begin, end] : words) {
        if (!first) result += '_';
        first = false;
        for (std::size_t i = begin; i < end; ++i) result += toLower(key[i]);
    }
    return result;
}

std::string convertFromSnakeCase(std::string_view key) {
    if (key.empty()) return std::string(key);
    const auto first = key.find_first_not_of('_');
    if (first == std::string_view::npos) return std::string(key);  // only underscores
    const auto last = key.find_last_not_of('_');
    const std::string_view leading = key.substr(0, first);
    const std::string_view body = key.substr(first, last - first + 1);
    const std::string_view trailing = key.substr(last + 1);

    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (start <= body.size()) {
        const auto end = body.find('_', start);
        const auto piece = body.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!piece.empty()) pieces.push_back(piece);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }

    std::string result(leading);
    if (pieces.size() == 1) {
        result += body;
    } else {
        for (std::size_t p = 0; p < pieces.size(); ++p) {
            for (std::size_t i = 0; i < pieces[p].size(); ++i) {
                const char c = pieces[p][i];
                result += (p > 0 && i == 0) ? toUpper(c) : toLower(c);
            }
        }
    }
    result += trailing;
    return result;
}

}  // namespace qor::platform
