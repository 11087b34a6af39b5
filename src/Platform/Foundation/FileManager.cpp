#include "Platform/Foundation/FileManager.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>

#include "Platform/Foundation/AppDirectories.h"
#include "Platform/Foundation/FileWriting.h"
#include "Platform/Foundation/PlatformError.h"

namespace qor::platform {
namespace {

using Code = PlatformError::Code;

void requirePath(std::string_view operation, const std::filesystem::path& path) {
    if (path.empty()) {
        throw PlatformError(Code::fileInvalidName, std::string(operation) + " failed: the path is empty");
    }
}

PlatformError fromErrorCode(std::string_view operation, const std::filesystem::path& path, const std::error_code& error,
                            Code fallback) {
    return PlatformError::fromErrno(operation, path.string(), error.value(), fallback);
}

bool existsNoFollow(const std::filesystem::path& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

}  // namespace

FileManager& FileManager::defaultManager() {
    static FileManager manager;
    return manager;
}

std::vector<std::filesystem::path> FileManager::urls(SearchPathDirectory directory, SearchPathDomainMask) const {
    switch (directory) {
        case SearchPathDirectory::documentDirectory:
            return {documentsDirectory()};
    }
    return {};
}

void FileManager::createDirectory(const std::filesystem::path& path, bool withIntermediateDirectories) const {
    requirePath("Creating folder", path);
    if (withIntermediateDirectories) {
        std::error_code error;
        createPrivateFolders(path, error);
        // An existing folder is fine here, but a file in its place is not.
        std::error_code typeError;
        if (existsNoFollow(path) && !std::filesystem::is_directory(path, typeError)) {
            throw PlatformError(Code::fileExists,
                                "Creating folder \"" + path.string() + "\" failed: a file is in the way", path.string(),
                                EEXIST);
        }
        if (error) throw fromErrorCode("Creating folder", path, error, Code::fileWriteFailed);
        return;
    }
    if (::mkdir(path.c_str(), privateFolderMode) != 0) {
        throw PlatformError::fromErrno("Creating folder", path.string(), errno, Code::fileWriteFailed);
    }
}

bool FileManager::fileExists(const std::filesystem::path& path) const {
    bool isDirectory = false;
    return fileExists(path, isDirectory);
}

bool FileManager::fileExists(const std::filesystem::path& path, bool& isDirectory) const {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        isDirectory = false;
        return false;
    }
    isDirectory = S_ISDIR(info.st_mode);
    return true;
}

FileAttributes FileManager::attributesOfItem(const std::filesystem::path& path) const {
    requirePath("Reading attributes of", path);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        throw PlatformError::fromErrno("Reading attributes of", path.string(), errno, Code::fileReadFailed);
    }
    FileAttributes attributes;
    attributes.size = static_cast<std::uint64_t>(info.st_size);
    attributes.isDirectory = S_ISDIR(info.st_mode);
    return attributes;
}

void FileManager::moveItem(const std::filesystem::path& source, const std::filesystem::path& destination) const {
    requirePath("Moving", source);
    requirePath("Moving", destination);
    const std::string what = "Moving \"" + source.string() + "\" to";
    // The kernel refuses to replace an existing target, so no check-then-act race is possible.
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) == 0) return;
    int error = errno;
    if (error == EINVAL || error == ENOSYS || error == ENOTSUP) {
        // A file system without no-replace renames: check first, then rename.
        if (!existsNoFollow(source))
            throw PlatformError::fromErrno(what, destination.string(), ENOENT, Code::fileWriteFailed);
        if (existsNoFollow(destination))
            throw PlatformError::fromErrno(what, destination.string(), EEXIST, Code::fileWriteFailed);
        if (::rename(source.c_str(), destination.c_str()) == 0) return;
        error = errno;
    }
    if (error == EXDEV) {
        // Another file system: copy, then remove the original.
        if (existsNoFollow(destination))
            throw PlatformError::fromErrno(what, destination.string(), EEXIST, Code::fileWriteFailed);
        std::error_code copyError;
        std::filesystem::copy(source, destination,
                              std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks,
                              copyError);
        if (copyError) throw fromErrorCode(what, destination, copyError, Code::fileWriteFailed);
        std::filesystem::remove_all(source, copyError);
        if (copyError) throw fromErrorCode("Removing moved item", source, copyError, Code::fileWriteFailed);
        return;
    }
    throw PlatformError::fromErrno(what, destination.string(), error, Code::fileWriteFailed);
}

void FileManager::removeItem(const std::filesystem::path& path) const {
    requirePath("Removing", path);
    if (!existsNoFollow(path)) throw PlatformError::fromErrno("Removing", path.string(), ENOENT, Code::fileWriteFailed);
    std::error_code error;
    std::filesystem::remove_all(path, error);
    if (error) throw fromErrorCode("Removing", path, error, Code::fileWriteFailed);
}

std::vector<std::filesystem::path> FileManager::contentsOfDirectory(const std::filesystem::path& path,
                                                                    bool skipsHiddenFiles) const {
    requirePath("Listing", path);
    std::error_code error;
    std::filesystem::directory_iterator iterator(path, error);
    if (error) throw fromErrorCode("Listing", path, error, Code::fileReadFailed);
    std::vector<std::filesystem::path> entries;
    for (const auto end = std::filesystem::directory_iterator(); iterator != end; iterator.increment(error)) {
        if (error) break;
        const auto name = iterator->path().filename().string();
        if (skipsHiddenFiles && name.starts_with('.')) continue;
        entries.push_back(iterator->path());
    }
    if (error) throw fromErrorCode("Listing", path, error, Code::fileReadFailed);
    std::sort(entries.begin(), entries.end(),
              [](const auto& lhs, const auto& rhs) { return lhs.filename().string() < rhs.filename().string(); });
    return entries;
}

bool FileManager::createFile(const std::filesystem::path& path, const Data& contents) const {
    if (path.empty() || !path.has_filename()) return false;
    return replaceFileAtomically(path, std::as_bytes(std::span(contents)));
}

}  // namespace qor::platform
