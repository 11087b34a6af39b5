#pragma once

#include <stdexcept>
#include <string>

namespace qor::platform {

// The one error that the file, property-list and defaults stand-ins throw. `what()` is a
// readable sentence naming the operation, the path and the cause; `code()` lets a caller
// tell the common cases apart without parsing text.
class PlatformError : public std::runtime_error {
public:
    enum class Code {
        fileNoSuchFile,       // the item does not exist
        fileExists,           // the target of a create or move is already there
        fileNoPermission,     // the operating system refused access
        fileInvalidName,      // an empty or unusable path
        fileReadFailed,       // any other failure while reading or inspecting
        fileWriteFailed,      // any other failure while writing, moving or removing
        fileNotOpen,          // an operation on a closed file handle
        propertyListCorrupt,  // a property list that cannot be parsed
    };

    PlatformError(Code code, std::string message, std::string path = {}, int systemError = 0);

    Code code() const noexcept { return code_; }
    const std::string& path() const noexcept { return path_; }
    // The errno value behind the failure, or 0 when the failure did not come from a system call.
    int systemError() const noexcept { return systemError_; }

    // Builds the error for a failed system call: the code is derived from `errnoValue`
    // (ENOENT, EEXIST, EACCES/EPERM) and falls back to `fallback`.
    static PlatformError fromErrno(std::string_view operation, const std::string& path, int errnoValue, Code fallback);

private:
    Code code_;
    std::string path_;
    int systemError_;
};

}  // namespace qor::platform
