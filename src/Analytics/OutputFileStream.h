#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Platform/Foundation/Data.h"
#include "Platform/Foundation/FileHandle.h"
#include "Platform/Foundation/URL.h"

namespace qor {

// The appending writer of the batch files. Every platform failure becomes one of five
// errors that carry the file's path; writes with nothing to write, or with no open file,
// are skipped. Not for use from several threads at once: its owner serialises all use.
class OutputFileStream {
public:
    struct OutputStreamError : std::exception {
        enum class Code { invalidPath, unableToOpen, unableToWrite, unableToCreate, unableToClose };

        OutputStreamError(Code code, std::string path);
        Code code;
        std::string path;
        // "unableToWrite(/path/to/file)".
        const char* what() const noexcept override { return description_.c_str(); }

    private:
        std::string description_;
    };

    // Throws invalidPath (with the empty path) when the URL has no path.
    explicit OutputFileStream(platform::URL url);

    // Creates an empty file and opens it, in one step (no temporary); throws unableToCreate
    // when something is already there or the file cannot be made.
    void create();
    // Opens the existing file for writing at its end; does nothing while open.
    void open();
    void write(const platform::Data& bytes);
    void write(std::string_view text);
    // Cuts the file back to `length` bytes (after a write that failed part of the way).
    void truncate(std::uint64_t length);
    // Flushes the file to storage and closes it; does nothing when not open.
    void close();

    // The bytes the open file holds now, whichever stream of this process wrote them (all
    // streams open on one file share one count, so this asks the kernel nothing); nothing
    // when it is not open or could not be measured.
    std::optional<std::uint64_t> size() const;

    const platform::URL& fileURL() const { return fileURL_; }
    bool isOpen() const { return fileHandle_ != nullptr; }

    struct SharedSize;

private:
    void adopt(std::shared_ptr<platform::FileHandle> handle);
    void release();
    void remeasure();

    std::shared_ptr<platform::FileHandle> fileHandle_;
    std::shared_ptr<SharedSize> size_;
    platform::URL fileURL_;
    std::string filePath_;
};

}  // namespace qor
