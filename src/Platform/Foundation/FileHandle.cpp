#include "Platform/Foundation/FileHandle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Platform/Foundation/FileWriting.h"
#include "Platform/Foundation/PlatformError.h"

namespace qor::platform {
namespace {

using Code = PlatformError::Code;

std::shared_ptr<FileHandle> openHandle(const std::filesystem::path& path, int flags, std::string_view operation) {
    if (path.empty()) throw PlatformError(Code::fileInvalidName, std::string(operation) + " failed: the path is empty");
    int fd = -1;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, privateFileMode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) throw PlatformError::fromErrno(operation, path.string(), errno, Code::fileWriteFailed);
    return std::make_shared<FileHandle>(fd, path);
}

}  // namespace

FileHandle::FileHandle(int fd, std::filesystem::path path) : fd_(fd), path_(std::move(path)) {}

FileHandle::~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
}

std::shared_ptr<FileHandle> FileHandle::forWritingAtPath(const std::filesystem::path& path) {
    try {
        return forWriting(path);
    } catch (const PlatformError&) {
        return nullptr;
    }
}

std::shared_ptr<FileHandle> FileHandle::forWriting(const std::filesystem::path& path) {
    return openHandle(path, O_WRONLY, "Opening for writing");
}

std::shared_ptr<FileHandle> FileHandle::forAppending(const std::filesystem::path& path) {
    return openHandle(path, O_WRONLY | O_APPEND | O_CREAT, "Opening for appending");
}

std::shared_ptr<FileHandle> FileHandle::forCreatingNew(const std::filesystem::path& path) {
    return openHandle(path, O_WRONLY | O_APPEND | O_CREAT | O_EXCL, "Creating");
}

int FileHandle::requireOpen(std::string_view operation) const {
    if (fd_ < 0) {
        throw PlatformError(Code::fileNotOpen,
                            std::string(operation) + " \"" + path_.string() + "\" failed: the file is closed",
                            path_.string());
    }
    return fd_;
}

void FileHandle::write(std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    const int fd = requireOpen("Writing to");
    if (!writeAll(fd, std::as_bytes(bytes))) {
        throw PlatformError::fromErrno("Writing to", path_.string(), errno, Code::fileWriteFailed);
    }
}

std::uint64_t FileHandle::seekToEnd() {
    std::lock_guard lock(mutex_);
    const off_t offset = ::lseek(requireOpen("Seeking in"), 0, SEEK_END);
    if (offset < 0) throw PlatformError::fromErrno("Seeking in", path_.string(), errno, Code::fileReadFailed);
    return static_cast<std::uint64_t>(offset);
}

std::uint64_t FileHandle::offset() const {
    std::lock_guard lock(mutex_);
    const off_t offset = ::lseek(requireOpen("Reading the offset of"), 0, SEEK_CUR);
    if (offset < 0)
        throw PlatformError::fromErrno("Reading the offset of", path_.string(), errno, Code::fileReadFailed);
    return static_cast<std::uint64_t>(offset);
}

void FileHandle::truncate(std::uint64_t length) {
    std::lock_guard lock(mutex_);
    const int fd = requireOpen("Truncating");
    if (::ftruncate(fd, static_cast<off_t>(length)) != 0 || ::lseek(fd, static_cast<off_t>(length), SEEK_SET) < 0) {
        throw PlatformError::fromErrno("Truncating", path_.string(), errno, Code::fileWriteFailed);
    }
}

FileHandle::Identity FileHandle::identity() const {
    std::lock_guard lock(mutex_);
    struct stat status {};
    if (::fstat(requireOpen("Reading the identity of"), &status) != 0) {
        throw PlatformError::fromErrno("Reading the identity of", path_.string(), errno, Code::fileReadFailed);
    }
    return Identity{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

void FileHandle::synchronize() {
    std::lock_guard lock(mutex_);
    if (::fsync(requireOpen("Synchronizing")) != 0) {
        throw PlatformError::fromErrno("Synchronizing", path_.string(), errno, Code::fileWriteFailed);
    }
}

void FileHandle::close() {
    std::lock_guard lock(mutex_);
    if (fd_ < 0) return;
    const int fd = fd_;
    fd_ = -1;
    // Linux releases the descriptor even when close reports an error, so never retry it.
    if (::close(fd) != 0 && errno != EINTR) {
        throw PlatformError::fromErrno("Closing", path_.string(), errno, Code::fileWriteFailed);
    }
}

bool FileHandle::isOpen() const {
    std::lock_guard lock(mutex_);
    return fd_ >= 0;
}

}  // namespace qor::platform
