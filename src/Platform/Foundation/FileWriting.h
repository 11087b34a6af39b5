#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <span>
#include <string_view>

namespace qor::platform {

// Writes every byte to `fd`, retrying short writes and interruptions. On failure it returns
// false with errno telling why.
bool writeAll(int fd, std::span<const std::byte> bytes);

// Writes `contents` to a temporary file beside `path` ("<path>.XXXXXX", opened close-on-exec,
// so a process the host starts meanwhile never inherits it) and renames it over `path`, so a
// reader sees the old file or the new one, never half of one. The replace is durable: the
// temporary's contents reach the storage before the rename, and the folder's entry after it,
// so a power loss leaves the old file or the new one, never an empty one. The file gets `mode`.
// Nothing is left behind on failure (a process killed during the call may leave the temporary:
// see isReplaceTemporary).
bool replaceFileAtomically(const std::filesystem::path& path, std::span<const std::byte> contents, mode_t mode);

// True for the name of a temporary that replaceFileAtomically makes for `finalName`:
// the final name, ".", and six letters or digits.
bool isReplaceTemporary(std::string_view name, std::string_view finalName);

// Flushes a folder's entries (creations, renames, removals in it) to the storage.
bool synchronizeDirectory(const std::filesystem::path& folder);

}  // namespace qor::platform
