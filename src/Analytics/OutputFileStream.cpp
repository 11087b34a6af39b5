#include "Analytics/OutputFileStream.h"

#include <span>

#include "Platform/Foundation/FileManager.h"

namespace qor {

namespace {

const char* codeName(OutputFileStream::OutputStreamError::Code code) {
    using Code = OutputFileStream::OutputStreamError::Code;
    switch (code) {
        case Code::invalidPath:
            return "invalidPath";
        case Code::unableToOpen:
            return "unableToOpen";
        case Code::unableToWrite:
            return "unableToWrite";
        case Code::unableToCreate:
            return "unableToCreate";
        case Code::unableToClose:
            return "unableToClose";
    }
    return "unknown";
}

}  // namespace

OutputFileStream::OutputStreamError::OutputStreamError(Code code, std::string path)
    : code(code), path(std::move(path)), description_(std::string(codeName(code)) + "(" + this->path + ")") {}

OutputFileStream::OutputFileStream(platform::URL url) : fileURL_(std::move(url)), filePath_(fileURL_.path()) {
    if (filePath_.empty() || !fileURL_.isFileURL()) {
        throw OutputStreamError(OutputStreamError::Code::invalidPath, "");
    }
}

void OutputFileStream::create() {
    if (fileHandle_) return;
    // Made and opened in one step: no temporary to strand, nothing replaced.
    try {
        fileHandle_ = platform::FileHandle::forCreatingNew(filePath_);
    } catch (const std::exception&) {
        throw OutputStreamError(OutputStreamError::Code::unableToCreate, filePath_);
    }
}

void OutputFileStream::open() {
    if (fileHandle_) return;
    // Opened in append mode: every write lands at the end even if someone else appended
    // in between. The file must exist already.
    std::shared_ptr<platform::FileHandle> handle;
    if (platform::FileManager::defaultManager().fileExists(filePath_)) {
        try {
            handle = platform::FileHandle::forAppending(filePath_);
        } catch (const std::exception&) {
        }
    }
    if (!handle) throw OutputStreamError(OutputStreamError::Code::unableToOpen, filePath_);
    try {
        handle->seekToEnd();
    } catch (const std::exception&) {
        // A handle that cannot move still writes; the next write reports a real failure.
    }
    fileHandle_ = std::move(handle);
}

void OutputFileStream::write(const platform::Data& bytes) {
    if (bytes.empty() || !fileHandle_) return;
    try {
        fileHandle_->write(bytes);
    } catch (const std::exception&) {
        throw OutputStreamError(OutputStreamError::Code::unableToWrite, filePath_);
    }
}

void OutputFileStream::write(std::string_view text) {
    if (text.empty() || !fileHandle_) return;
    try {
        fileHandle_->write(
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    } catch (const std::exception&) {
        throw OutputStreamError(OutputStreamError::Code::unableToWrite, filePath_);
    }
}

std::optional<std::uint64_t> OutputFileStream::size() const {
    if (!fileHandle_) return std::nullopt;
    try {
        return fileHandle_->seekToEnd();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void OutputFileStream::close() {
    auto handle = std::move(fileHandle_);
    fileHandle_.reset();
    if (!handle) return;
    try {
        handle->synchronize();
        handle->close();
    } catch (const std::exception&) {
        // Whatever happened, the handle is given up; its destructor closes the descriptor.
        throw OutputStreamError(OutputStreamError::Code::unableToClose, filePath_);
    }
}

}  // namespace qor
