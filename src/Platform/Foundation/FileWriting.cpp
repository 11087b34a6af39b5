#include "Platform/Foundation/FileWriting.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "Platform/Support/FaultPoint.h"

namespace qor::platform {

bool writeAll(int fd, std::span<const std::byte> bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t result = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (result < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        written += static_cast<std::size_t>(result);
    }
    return true;
}

bool synchronizeDirectory(const std::filesystem::path& folder) {
    int fd = -1;
    do {
        fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

bool isReplaceTemporary(std::string_view name, std::string_view finalName) {
    constexpr std::size_t suffixLength = 6;
    if (name.size() != finalName.size() + 1 + suffixLength) return false;
    if (name.substr(0, finalName.size()) != finalName || name[finalName.size()] != '.') return false;
    for (const char c : name.substr(finalName.size() + 1)) {
        const bool letterOrDigit = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letterOrDigit) return false;
    }
    return true;
}

bool createPrivateFolders(const std::filesystem::path& path, std::error_code& error) {
    error.clear();
    // The folders to make, deepest first: up to the first that exists.
    std::vector<std::filesystem::path> missing;
    for (auto folder = path; !folder.empty(); folder = folder.parent_path()) {
        struct stat info {};
        if (::stat(folder.c_str(), &info) == 0) {
            if (S_ISDIR(info.st_mode)) break;
            error = std::make_error_code(std::errc::not_a_directory);
            return false;
        }
        if (errno != ENOENT || folder == folder.parent_path()) {
            error.assign(errno, std::generic_category());
            return false;
        }
        missing.push_back(folder);
    }
    for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
        if (::mkdir(folder->c_str(), privateFolderMode) == 0) continue;
        const int failure = errno;
        struct stat info {};
        // Made meanwhile by another thread or process: fine if it is a folder.
        if (failure == EEXIST && ::stat(folder->c_str(), &info) == 0 && S_ISDIR(info.st_mode)) continue;
        error.assign(failure, std::generic_category());
        return false;
    }
    return true;
}

bool replaceFileAtomically(const std::filesystem::path& path, std::span<const std::byte> contents) {
    std::string temporary = path.string() + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return false;
    // A test can stop the process here, with the temporary open and still empty.
    faultPoint("replaceFileAtomically.temporaryOpen");
    const bool written = writeAll(fd, contents) && ::fchmod(fd, privateFileMode) == 0 && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename is in the folder's entries: they reach the storage too. A folder that cannot
    // be synchronised (a file system without that notion) does not undo the replace.
    synchronizeDirectory(path.has_parent_path() ? path.parent_path() : std::filesystem::path("."));
    return true;
}

}  // namespace qor::platform
