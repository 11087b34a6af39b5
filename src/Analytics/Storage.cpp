#include "Analytics/Storage.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "Analytics/Analytics.h"
#include "Analytics/AnalyticsError.h"
#include "Core/ISO8601Formatter.h"
#include "Core/PlatformFacts.h"
#include "Core/SharedAnalyticsLog.h"
#include "Platform/Foundation/FileManager.h"

namespace qor {

namespace {

constexpr std::string_view kOpeningText = "{ \"batch\": [";
constexpr const char* kFileSuffix = "-lumatix-events";
constexpr const char* kFinishedExtension = "temp";

// Appends `text` with one write. A write that fails part of the way (a full disk) may
// already have put some bytes down; they are cut off again, so the file only ever holds
// whole events and stays one valid batch for the events after it.
// Without a known size nothing is cut.
std::exception_ptr appendWhole(OutputFileStream& stream, std::string_view text,
                               std::optional<std::uint64_t> sizeBefore) {
    try {
        stream.write(text);
        return nullptr;
    } catch (...) {
        std::error_code ignored;
        if (sizeBefore) std::filesystem::resize_file(stream.fileURL().path(), *sizeBefore, ignored);
        return std::current_exception();
    }
}

}  // namespace

const char* Storage::key(Constants constant) {
    switch (constant) {
        case Constants::userId:
            return "lumatix.userId";
        case Constants::traits:
            return "lumatix.traits";
        case Constants::anonymousId:
            return "lumatix.anonymousId";
        case Constants::settings:
            return "lumatix.settings";
        case Constants::events:
            return "lumatix.events";
    }
    return "";
}

Storage::Storage(std::string writeKey, std::shared_ptr<platform::UserDefaults> userDefaults)
    : writeKey_(std::move(writeKey)),
      userDefaults_(std::move(userDefaults)),
      syncQueue_(platform::DispatchQueue::serial("sync.qor.io")),
      eventsFolderURL_(findEventsFolderURL(writeKey_)) {}

std::shared_ptr<Storage> Storage::make(std::string writeKey, const std::shared_ptr<Store>& store) {
    auto defaults = platform::UserDefaults::make("io.qor.storage." + writeKey);
    auto storage = std::make_shared<Storage>(std::move(writeKey), std::move(defaults));
    if (store) {
        std::weak_ptr<Storage> weakStorage = storage;
        const auto mainQueue = platform::DispatchQueue::main();
        store->subscribe<UserInfo>(storage, false, mainQueue, [weakStorage](const UserInfo& state) {
            if (auto alive = weakStorage.lock()) alive->userInfoUpdate(state);
        });
        store->subscribe<System>(storage, false, mainQueue, [weakStorage](const System& state) {
            if (auto alive = weakStorage.lock()) alive->systemUpdate(state);
        });
    }
    return storage;
}

void Storage::setAnalytics(std::weak_ptr<Analytics> analytics) {
    std::lock_guard<std::mutex> guard(mutex_);
    analytics_ = std::move(analytics);
}

void Storage::setOnFinish(std::function<void(const platform::URL&)> onFinish) {
    std::lock_guard<std::mutex> guard(mutex_);
    onFinish_ = std::move(onFinish);
}

void Storage::report(std::exception_ptr error) const {
    std::shared_ptr<Analytics> analytics;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        analytics = analytics_.lock();
    }
    if (analytics) analytics->reportInternalError(std::move(error), false);
}

// MARK: Defaults

std::optional<platform::PlistValue> Storage::object(Constants key) const {
    if (!userDefaults_) return std::nullopt;
    return userDefaults_->objectForKey(Storage::key(key));
}

void Storage::storeValue(Constants key, const std::optional<platform::PlistValue>& value, bool encodingFailed) {
    if (!userDefaults_ || encodingFailed) return;
    if (value) {
        userDefaults_->set(*value, Storage::key(key));
    } else {
        userDefaults_->removeObject(Storage::key(key));
    }
}

void Storage::synchronize() {
    if (userDefaults_) userDefaults_->synchronize();
}

std::int64_t Storage::readCounter() const {
    if (!userDefaults_) return 0;
    return userDefaults_->integerForKey(key(Constants::events));
}

void Storage::userInfoUpdate(const UserInfo& state) {
    write(Constants::userId, state.userId);
    write(Constants::traits, state.traits);
    write(Constants::anonymousId, std::optional<std::string>(state.anonymousId));
}

void Storage::systemUpdate(const System& state) {
    if (state.settings) write(Constants::settings, state.settings);
}

// MARK: Files

std::optional<platform::URL> Storage::eventsFolder() const {
    auto folder = eventsFolderURL();
    if (!folder) return std::nullopt;
    try {
        platform::FileManager::defaultManager().createDirectory(folder->path(), true);
    } catch (const std::exception&) {
        // Ignored here: the file operations that follow report what goes wrong.
    }
    return folder;
}

std::optional<platform::URL> Storage::findEventsFolderURL(const std::string& writeKey) {
    auto& files = platform::FileManager::defaultManager();
    std::vector<std::filesystem::path> documents;
    try {
        documents = files.urls(platform::SearchPathDirectory::documentDirectory,
                               platform::SearchPathDomainMask::userDomainMask);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (documents.empty() || documents.front().empty()) return std::nullopt;
    return platform::URL::fileURL(documents.front().string(), true).appendingPathComponent("lumatix/" + writeKey);
}

std::optional<platform::URL> Storage::currentFile() {
    const std::int64_t index = readCounter();
    if (userDefaults_) userDefaults_->set(platform::PlistValue(index), key(Constants::events));
    auto folder = eventsFolderURL();
    if (!folder) return std::nullopt;
    return folder->appendingPathComponent(std::to_string(index) + kFileSuffix);
}

std::optional<platform::FileAttributes> Storage::attributesOf(const platform::URL& file) {
    try {
        return platform::FileManager::defaultManager().attributesOfItem(file.path());
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

bool Storage::startFile(const platform::URL& file) {
    try {
        // The folder is made when a file is about to be created in it, and when it is listed.
        platform::FileManager::defaultManager().createDirectory(file.deletingLastPathComponent().path(), true);
    } catch (const std::exception&) {
        // The creation below reports what goes wrong.
    }
    // A file that could not be started takes no events: they are dropped with the log
    // line of storeEvent instead of vanishing into a stream with no file.
    try {
        outputStream_ = std::make_unique<OutputFileStream>(file);
        outputStream_->create();
    } catch (...) {
        outputStream_.reset();
        report(std::current_exception());
        return false;
    }
    if (auto error = appendWhole(*outputStream_, kOpeningText, 0)) {
        outputStream_.reset();
        report(error);
        return false;
    }
    return true;
}

void Storage::storeEvent(const std::function<std::optional<std::string>()>& eventText) {
    auto file = currentFile();
    bool first = false;

    // One look at the file answers both questions: is it there, and how big is it. A file
    // started here holds the opening text only, far below the limit.
    bool exists = false;
    std::uint64_t size = 0;
    if (file) {
        if (auto attributes = attributesOf(*file)) {
            exists = true;
            size = attributes->size;
        }
    }
    if (!file) {
        // No documents folder: there is nowhere to write.
        report(std::make_exception_ptr(
            OutputFileStream::OutputStreamError(OutputFileStream::OutputStreamError::Code::invalidPath, "")));
    } else if (!exists) {
        first = startFile(*file);
        if (first) size = kOpeningText.size();
    } else {
        if (!outputStream_) {
            // Left by an earlier run: append to it.
            try {
                outputStream_ = std::make_unique<OutputFileStream>(*file);
                outputStream_->open();
            } catch (...) {
                outputStream_.reset();
                report(std::current_exception());
            }
        }
        // A file that holds no event yet (its run stopped right after making it, or the
        // event write failed) must not get a comma before its first event, and one that
        // lacks even the opening text gets it now: either would spoil the whole batch.
        if (outputStream_ && size == 0) {
            if (auto error = appendWhole(*outputStream_, kOpeningText, 0)) {
                outputStream_.reset();
                report(error);
            } else {
                size = kOpeningText.size();
            }
        }
        first = size <= kOpeningText.size();
    }

    if (file && exists && size >= maxFileSize) {
        finish(*file);
        file = currentFile();
        first = file && startFile(*file);
        if (first) size = kOpeningText.size();
    }

    std::optional<std::string> text;
    try {
        text = eventText();
    } catch (...) {
        report(std::current_exception());
        return;
    }
    if (!outputStream_ || !text) {
        const std::string fileDescription = file ? file->absoluteString() : std::string("nil");
        logThroughSharedAnalytics("Storage: Output stream is nil for " + fileDescription, LogFilterKind::error,
                                  "storeEvent(toFile:event:)", 259);
        return;
    }
    // The comma and the event go down in one write, so a failed write never leaves a
    // comma without its event behind.
    std::string line;
    line.reserve(text->size() + 1);
    if (!first) line += ',';
    line += *text;
    if (auto error = appendWhole(*outputStream_, line, file ? std::optional(size) : std::nullopt)) report(error);
}

void Storage::finish(const platform::URL& file) {
    if (!outputStream_) return;
    const std::string closing = "],\"sentAt\":\"" + sharedISO8601Formatter().string(platform::Date::now()) +
                                "\",\"writeKey\":\"" + writeKey_ + platformSuffix() + "\"}";
    try {
        outputStream_->write(std::string_view(closing));
    } catch (...) {
        report(std::current_exception());
    }
    try {
        outputStream_->close();
    } catch (...) {
        report(std::current_exception());
    }
    outputStream_.reset();

    const auto finished = file.appendingPathExtension(kFinishedExtension);
    try {
        platform::FileManager::defaultManager().moveItem(file.path(), finished.path());
    } catch (const std::exception&) {
        report(std::make_exception_ptr(AnalyticsError::storageUnableToRename(file.path())));
    }
    std::function<void(const platform::URL&)> onFinish;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        onFinish = onFinish_;
    }
    if (onFinish) onFinish(finished);
    if (userDefaults_) userDefaults_->set(platform::PlistValue(readCounter() + 1), key(Constants::events));
}

std::optional<std::vector<platform::URL>> Storage::read(Constants key) {
    if (key != Constants::events) return std::nullopt;
    std::vector<platform::URL> result;
    syncQueue_->sync([&] {
        const auto file = currentFile();
        if (file) finish(*file);
        synchronize();
        const auto folder = eventsFolder();
        if (!folder) return;
        std::vector<std::filesystem::path> entries;
        try {
            entries = platform::FileManager::defaultManager().contentsOfDirectory(folder->path(), true);
        } catch (const std::exception&) {
            return;
        }
        for (const auto& entry : entries) {
            auto url = platform::URL::fileURL(entry.string());
            if (url.pathExtension() == kFinishedExtension) result.push_back(std::move(url));
        }
        std::stable_sort(result.begin(), result.end(), [](const platform::URL& a, const platform::URL& b) {
            return a.lastPathComponent() < b.lastPathComponent();
        });
    });
    return result;
}

void Storage::remove(const platform::URL& file) {
    syncQueue_->sync([&] {
        try {
            platform::FileManager::defaultManager().removeItem(file.path());
        } catch (const std::exception&) {
            // Already gone, or not ours to remove: nothing to do either way.
        }
    });
}

}  // namespace qor
