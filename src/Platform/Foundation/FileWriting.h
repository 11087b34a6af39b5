#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <span>
#include <string_view>
#include <system_error>

namespace qor::platform {

// What the SDK keeps on disk is about the user (identifiers, addresses, what they did): every
// file it creates is readable and writable by this user alone, and every folder it creates is
// theirs alone too, whatever the process's umask. Files and folders it did not create keep
// their modes.
inline constexpr mode_t privateFileMode = 0600;
inline constexpr mode_t privateFolderMode = 0700;

// Makes `path` and each missing folder above it with privateFolderMode, so that none of them is
// ever wider, not even for a moment. An existing folder is fine and keeps its mode. On failure
// (a file in the way, no permission) it returns false with `error` telling why; folders made
// before the failure stay.
bool createPrivateFolders(const std::filesystem::path& path, std::error_code& error);

// Writes every byte to `fd`, retrying short writes and interruptions. On failure it returns
// false with errno telling why.
bool writeAll(int fd, std::span<const std::byte> bytes);

// Writes `contents` to a temporary file beside `path` ("<path>.XXXXXX", opened close-on-exec,
// so a process the host starts meanwhile never inherits it) and renames it over `path`, so a
// reader sees the old file or the new one, never half of one. The replace is durable: the
// temporary's contents reach the storage before the rename, and the folder's entry after it,
// so a power loss leaves the old file or the new one, never an empty one. The file gets
// privateFileMode. Nothing is left behind on failure (a process killed during the call may leave the temporary:
// see isReplaceTemporary).
bool replaceFileAtomically(const std::filesystem::path& path, std::span<const std::byte> contents);

// True for the name of a temporary that replaceFileAtomically makes for `finalName`:
// the final name, ".", and six letters or digits.
bool isReplaceTemporary(std::string_view name, std::string_view finalName);

// Flushes a folder's entries (creations, renames, removals in it) to the storage.
bool synchronizeDirectory(const std::filesystem::path& folder);

}  // namespace qor::platform
