#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <span>

namespace qor::platform {

// Writes every byte to `fd`, retrying short writes and interruptions. On failure it returns
// false with errno telling why.
bool writeAll(int fd, std::span<const std::byte> bytes);

// Writes `contents` to a temporary file beside `path` and renames it over `path`, so a reader
// sees the old file or the new one, never half of one. The file gets `mode`. Nothing is left
// behind on failure.
bool replaceFileAtomically(const std::filesystem::path& path, std::span<const std::byte> contents, mode_t mode);

}  // namespace qor::platform
