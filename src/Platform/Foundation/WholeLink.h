#pragma once

#include <string_view>

namespace qor::platform {

// Whether the whole text is one link, decided by a fixed rule rather than by any heuristics,
// so that the same text always gives the same answer. The text is one link when it is, from
// its first to its last byte:
//   scheme     an ASCII letter, then ASCII letters, digits, "+", "-" or "."
//   "://"
//   authority  an optional user part ending in "@" (without "/", "?", "#", "@", blanks or control
//              characters), then a host, then an optional ":" with one or more digits (the port);
//              the host is either a bracketed IPv6 literal (hex digits, ":" and "." inside "[...]")
//              or a name of ASCII letters, digits, "-", "_" and "." with at least one letter or digit
//   the rest   empty, or starting with "/", "?" or "#"; any bytes but blanks and control
//              characters (bytes up to 0x20, and 0x7F), so placeholders such as "{{ID}}" and
//              UTF-8 text may appear in paths and queries
// Text before or after the link (a blank, a word, a second link) makes it not one link.
// Safe to call from any thread.
bool isWholeLink(std::string_view text);

}  // namespace qor::platform
