#include "Analytics/OutputFileStream.h"

#include <atomic>
#include <map>
#include <mutex>
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

// The one count of bytes that every stream open on one file shares, so that a stream learns
// what another stream of this process appended without asking the kernel on every event.
struct OutputFileStream::SharedSize {
    explicit SharedSize(std::uint64_t initial) : bytes(initial) {}
    std::atomic<std::uint64_t> bytes;
};

namespace {

// The shared counts by file identity (not path: batch files are renamed while open). An
// entry lives as long as a stream holds it; the first stream to open a file measures it.
class OpenFileSizes {
public:
    static OpenFileSizes& shared() {
        static auto* sizes = new OpenFileSizes();  // never destroyed: streams may close during exit
        return *sizes;
    }

    std::shared_ptr<OutputFileStream::SharedSize> sizeOf(platform::FileHandle& handle) {
        const auto identity = handle.identity();
        std::lock_guard lock(mutex_);
        if (auto existing = sizes_[identity].lock()) return existing;
        std::erase_if(sizes_, [](const auto& entry) { return entry.second.expired(); });
        auto made = std::make_shared<OutputFileStream::SharedSize>(handle.seekToEnd());
        sizes_[identity] = made;
        return made;
    }

private:
    std::mutex mutex_;
    std::map<platform::FileHandle::Identity, std::weak_ptr<OutputFileStream::SharedSize>> sizes_;
};

}  // namespace

void OutputFileStream::adopt(std::shared_ptr<platform::FileHandle> handle) {
    try {
        size_ = OpenFileSizes::shared().sizeOf(*handle);
    } catch (const std::exception&) {
        // A file that cannot be measured still takes writes; its size is just unknown.
        size_.reset();
    }
    fileHandle_ = std::move(handle);
}

void OutputFileStream::release() {
    fileHandle_.reset();
    size_.reset();
}

void OutputFileStream::create() {
    if (fileHandle_) return;
    // Made and opened in one step: no temporary to strand, nothing replaced.
    std::shared_ptr<platform::FileHandle> handle;
    try {
        handle = platform::FileHandle::forCreatingNew(filePath_);
    } catch (const std::exception&) {
        throw OutputStreamError(OutputStreamError::Code::unableToCreate, filePath_);
    }
    adopt(std::move(handle));
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
    adopt(std::move(handle));
}

void OutputFileStream::write(const platform::Data& bytes) {
    write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void OutputFileStream::write(std::string_view text) {
    if (text.empty() || !fileHandle_) return;
    try {
        fileHandle_->write(
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    } catch (const std::exception&) {
        // Part of it may be down: the count starts again from what the file holds.
        remeasure();
        throw OutputStreamError(OutputStreamError::Code::unableToWrite, filePath_);
    }
    if (size_) size_->bytes.fetch_add(text.size());
}

void OutputFileStream::truncate(std::uint64_t length) {
    if (!fileHandle_) return;
    try {
        fileHandle_->truncate(length);
    } catch (const std::exception&) {
        remeasure();
        throw OutputStreamError(OutputStreamError::Code::unableToWrite, filePath_);
    }
    if (size_) size_->bytes.store(length);
}

void OutputFileStream::remeasure() {
    if (!size_) return;
    try {
        size_->bytes.store(fileHandle_->seekToEnd());
    } catch (const std::exception&) {
        size_.reset();
    }
}

std::optional<std::uint64_t> OutputFileStream::size() const {
    if (!fileHandle_ || !size_) return std::nullopt;
    return size_->bytes.load();
}

void OutputFileStream::close() {
    auto handle = std::move(fileHandle_);
    release();
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
