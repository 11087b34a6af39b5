#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "Platform/Foundation/Data.h"

namespace qor::platform {

enum class SearchPathDirectory { documentDirectory };
enum class SearchPathDomainMask { userDomainMask };

struct FileAttributes {
    std::uint64_t size = 0;  // bytes, as the file system reports them now
    bool isDirectory = false;
};

// File-system operations over std::filesystem and POSIX calls. Failures throw PlatformError
// (see PlatformError.h) whose text names the operation, the path and the cause.
// Stateless: the one default() object may be used from any thread.
class FileManager {
public:
    static FileManager& defaultManager();

    // The app's documents folder (<app home>/Documents), read anew at each call; not created here.
    std::vector<std::filesystem::path> urls(SearchPathDirectory directory, SearchPathDomainMask domain) const;

    // Without intermediates, the parent must exist and the folder must not; with them, an
    // existing folder is fine. A file in the way is an error either way. Every folder made here
    // is this user's alone (privateFolderMode, FileWriting.h); existing ones keep their mode.
    void createDirectory(const std::filesystem::path& path, bool withIntermediateDirectories) const;

    bool fileExists(const std::filesystem::path& path) const;
    bool fileExists(const std::filesystem::path& path, bool& isDirectory) const;

    FileAttributes attributesOfItem(const std::filesystem::path& path) const;

    // Fails with fileExists when anything is already at `destination`; it never replaces.
    void moveItem(const std::filesystem::path& source, const std::filesystem::path& destination) const;

    // Removes a file, or a folder with everything in it. A missing item is an error.
    void removeItem(const std::filesystem::path& path) const;

    // Full paths of the folder's entries, sorted by name; hidden entries (names starting with
    // ".") are left out when skipsHiddenFiles is set.
    std::vector<std::filesystem::path> contentsOfDirectory(const std::filesystem::path& path,
                                                           bool skipsHiddenFiles = true) const;

    // Writes `contents` to a new or existing file (replacing it, with FileWriting.h's privateFileMode) and
    // reports success.
    bool createFile(const std::filesystem::path& path, const Data& contents = {}) const;
};

}  // namespace qor::platform
