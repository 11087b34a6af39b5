#pragma once

#include <compare>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <span>

#include "Platform/Foundation/Data.h"

namespace qor::platform {

// A file opened for writing. Every write goes straight to the kernel with write(2): nothing
// is buffered in the process, so the size on disk includes it as soon as write returns.
// Failures throw PlatformError; nothing here ends the process. Safe to share between
// threads (each call holds the handle's lock); closing happens once.
class FileHandle {
public:
    // Opens an existing file for writing at offset 0; nullptr when it cannot be opened.
    static std::shared_ptr<FileHandle> forWritingAtPath(const std::filesystem::path& path);
    // The same, throwing PlatformError with the reason instead of giving nullptr.
    static std::shared_ptr<FileHandle> forWriting(const std::filesystem::path& path);
    // Opens for appending, creating the file when it is missing: every write lands at the end.
    // A file made here or by forCreatingNew has privateFileMode (FileWriting.h) from its creation on.
    static std::shared_ptr<FileHandle> forAppending(const std::filesystem::path& path);
    // Creates a new, empty file and opens it for appending, in one step: fails with fileExists
    // when anything is already there, so nothing is ever replaced and no temporary is made.
    static std::shared_ptr<FileHandle> forCreatingNew(const std::filesystem::path& path);

    ~FileHandle();
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    void write(std::span<const std::uint8_t> bytes);
    void write(const Data& bytes) { write(std::span<const std::uint8_t>(bytes)); }

    // Moves to the end and returns the new offset.
    std::uint64_t seekToEnd();
    std::uint64_t seekToEndOfFile() { return seekToEnd(); }
    std::uint64_t offset() const;
    // Cuts (or extends) the file to `length` bytes and moves to that offset.
    void truncate(std::uint64_t length);
    // What names the file itself, whatever path it is reached by or renamed to: two handles
    // on one file have equal identities.
    struct Identity {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        auto operator<=>(const Identity&) const = default;
    };
    Identity identity() const;
    // Flushes the file's data to storage (fsync).
    void synchronize();
    // Closes the file; a second close does nothing.
    void close();

    bool isOpen() const;
    const std::filesystem::path& path() const { return path_; }

    FileHandle(int fd, std::filesystem::path path);

private:
    int requireOpen(std::string_view operation) const;  // requires mutex_

    mutable std::mutex mutex_;
    int fd_;
    std::filesystem::path path_;
};

}  // namespace qor::platform
