#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "Platform/Foundation/Any.h"
#include "Platform/Foundation/Coding/KeyedDecodingContainer.h"

namespace qor::platform {
namespace coding {

// A member that reading left as its JSON text (a long array of a long document's top-level
// object, or of a long element of such an array): the member's place in its object, where an
// empty array stands for it, and its text.
struct DeferredMember {
    std::size_t index;
    std::string_view text;
};

// Reads well-formed JSON text into the untyped model quickly: the same values as the full
// parser under JSONSerialization gives (integers in 64 signed bits as integers, up to 2^64-1
// unsigned, other numbers floating with the exact decimal of their text; duplicate keys: the
// last value at the first key's place). Anything else comes back as nullopt, so that the full
// parser can decide and describe it: malformed text, a byte-order mark, nesting of maxDepth
// containers or more, a number beyond the double range, a lone surrogate escape.
std::optional<Any> readWellFormedJSON(std::string_view text, int maxDepth);

// A top-level object read with its long array members left as their text.
struct DeferringObject {
    // Every member in place, as readWellFormedJSON reads them, but an empty array for each
    // deferred one.
    Any::Dictionary members;
    // The deferred members' keys and texts (each known to read as the rest does), in order.
    std::vector<std::pair<std::string, std::string_view>> deferred;
    // Their keys, so that a member read after them finds at once whether it replaces one: a long
    // document may hold millions of members.
    std::unordered_set<std::string> deferredKeys;

    void erase(const std::string& key);
    // The deferred members by their places among the members.
    std::vector<DeferredMember> places() const;
};

// As readWellFormedJSON for a document that is an object, but each array member of
// `deferredLength` bytes or more is only checked (with the same acceptance) and kept as its text,
// which stays in `text`. Nothing when the document is not an object or not for the quick road.
std::optional<DeferringObject> readWellFormedObjectDeferring(std::string_view text, int maxDepth,
                                                             std::size_t deferredLength);

// Hands each element of a deferred array's text to `each`, in order, with its index: the values
// reading the whole document would have given, but an object element of `deferredLength` bytes
// or more read as readWellFormedObjectDeferring reads an object, with its deferred members.
// Throws what `each` throws.
void forEachWellFormedElement(
    std::string_view arrayText, int maxDepth, std::size_t deferredLength,
    const std::function<void(const Any&, std::span<const DeferredMember>, std::size_t)>& each);

}  // namespace coding

struct KeyedDecodingContainer::Deferred {
    std::span<const coding::DeferredMember> members;
};

}  // namespace qor::platform
