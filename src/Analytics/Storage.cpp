#include "Analytics/Storage.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>

#include "Analytics/Analytics.h"
#include "Analytics/AnalyticsError.h"
#include "Core/ISO8601Formatter.h"
#include "Core/PlatformFacts.h"
#include "Core/SharedAnalyticsLog.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/FileWriting.h"
#include "Platform/Support/FaultPoint.h"

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
        auto failure = std::current_exception();
        try {
            if (sizeBefore) stream.truncate(*sizeBefore);
        } catch (...) {
            // The write's own failure is the one to report.
        }
        return failure;
    }
}

// What a batch file's name says: its number and whether it is finished (".temp"), or a
// temporary that an interrupted create of an earlier version left ("<n>-lumatix-events.XXXXXX").
struct BatchName {
    enum class Kind { open, finished, temporary };
    std::int64_t number = 0;
    Kind kind = Kind::open;
};

std::optional<BatchName> parseBatchName(std::string_view name) {
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), number);
    if (error != std::errc() || end == name.data() || number < 0) return std::nullopt;
    std::string_view rest(end, static_cast<std::size_t>(name.data() + name.size() - end));
    const std::string_view suffix = kFileSuffix;
    if (rest.substr(0, suffix.size()) != suffix) return std::nullopt;
    rest.remove_prefix(suffix.size());
    if (rest.empty()) return BatchName{number, BatchName::Kind::open};
    if (rest.front() == '.' && rest.substr(1) == kFinishedExtension)
        return BatchName{number, BatchName::Kind::finished};
    const std::string base(name.substr(0, name.size() - rest.size()));
    if (platform::isReplaceTemporary(name, base)) return BatchName{number, BatchName::Kind::temporary};
    return std::nullopt;
}

// True when the file ends with a batch's closing text: "],\"sentAt\":\"<24 characters>\",
// \"writeKey\":\"<key>\"}". An event never ends so (its last member is not a write key), so
// this tells a finished file from one that still takes events.
bool endsWithClosing(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary | std::ios::ate);
    if (!stream) return false;
    const std::streamoff size = stream.tellg();
    const std::streamoff length = std::min<std::streamoff>(size, 1024);
    std::string tail(static_cast<std::size_t>(length), '\0');
    stream.seekg(size - length);
    if (!stream.read(tail.data(), length)) return false;
    const std::string_view sentAt = "],\"sentAt\":\"";
    const std::string_view writeKey = "\",\"writeKey\":\"";
    const auto at = tail.rfind(sentAt);
    if (at == std::string::npos) return false;
    const std::size_t keyAt = at + sentAt.size() + 24;
    if (tail.compare(keyAt, writeKey.size(), writeKey) != 0) return false;
    const std::string_view key = std::string_view(tail).substr(keyAt + writeKey.size());
    return key.size() >= 2 && key.substr(key.size() - 2) == "\"}" &&
           key.substr(0, key.size() - 2).find('"') == std::string_view::npos;
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

void Storage::reportNow(std::exception_ptr error) const {
    std::shared_ptr<Analytics> analytics;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        analytics = analytics_.lock();
    }
    if (analytics) analytics->reportInternalError(std::move(error), false);
}

void Storage::report(std::exception_ptr error) {
    // The error handler is host code: never called while the storage queue is held.
    defer([this, error = std::move(error)] { reportNow(error); });
}

void Storage::defer(std::function<void()> work) {
    if (deferred_ != nullptr) {
        deferred_->push_back(std::move(work));
    } else {
        work();
    }
}

void Storage::perform(const std::function<void()>& body) {
    std::vector<std::function<void()>> deferred;
    syncQueue_->sync([&] {
        deferred_ = &deferred;
        struct Reset {
            std::vector<std::function<void()>>*& pointer;
            ~Reset() { pointer = nullptr; }
        } reset{deferred_};
        body();
    });
    for (auto& work : deferred) work();
}

void Storage::performLater(std::function<void()> body) {
    auto self = weak_from_this().lock();
    if (!self) {
        perform(body);
        return;
    }
    // The block holds the storage until it has run: a change is written even when the last
    // other reference goes meanwhile.
    syncQueue_->async([self, body = std::move(body)] {
        std::vector<std::function<void()>> deferred;
        self->deferred_ = &deferred;
        body();
        self->deferred_ = nullptr;
        for (auto& work : deferred) work();
    });
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

void Storage::saveCounter(std::int64_t next) {
    if (!userDefaults_) return;
    userDefaults_->set(platform::PlistValue(next), key(Constants::events));
    synchronize();
}

void Storage::userInfoUpdate(const UserInfo& state) {
    // The three values of one change go down in one write of the suite.
    std::optional<platform::PlistValue> userId;
    if (state.userId) userId = storedForm(*state.userId);
    std::optional<platform::PlistValue> traits;
    bool traitsFailed = false;
    if (state.traits) {
        traits = storedForm(*state.traits);
        traitsFailed = !traits;
    }
    // The suite's values change at once (in memory: no disk work), so every later read, also
    // by a new Storage of the write key, sees them; the one write of the suite follows on the
    // storage queue.
    storeValue(Constants::userId, userId, false);
    storeValue(Constants::traits, traits, traitsFailed);
    storeValue(Constants::anonymousId, platform::PlistValue(state.anonymousId), false);
    performLater([this] { synchronize(); });
}

void Storage::systemUpdate(const System& state) {
    if (!state.settings) return;
    const auto settings = storedForm(*state.settings);
    storeValue(Constants::settings, settings, !settings);
    performLater([this] { synchronize(); });
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

platform::URL Storage::batchFile(std::int64_t number, bool finished) const {
    // Every event asks for the open file of the current number: its name is made once.
    if (!finished && lastOpenFile_ && lastOpenFile_->first == number) return lastOpenFile_->second;
    auto file = eventsFolderURL()->appendingPathComponent(std::to_string(number) + kFileSuffix);
    if (finished) return file.appendingPathExtension(kFinishedExtension);
    lastOpenFile_.emplace(number, file);
    return file;
}

std::optional<platform::URL> Storage::currentFile() {
    const std::int64_t index = readCounter();
    if (userDefaults_) userDefaults_->set(platform::PlistValue(index), key(Constants::events));
    if (!eventsFolderURL()) return std::nullopt;
    return batchFile(index, false);
}

std::optional<std::uint64_t> Storage::openFileSize(const platform::URL& file) const {
    // The stream already open on the file knows its size without a look-up of its path.
    if (!outputStream_ || !(outputStream_->fileURL() == file)) return std::nullopt;
    return outputStream_->size();
}

std::optional<platform::FileAttributes> Storage::attributesOf(const platform::URL& file) {
    try {
        return platform::FileManager::defaultManager().attributesOfItem(file.path());
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void Storage::recoverIfNeeded() {
    if (recovered_) return;
    recovered_ = true;
    if (const auto folder = eventsFolderURL()) recoverFiles(*folder);
}

void Storage::recoverFiles(const platform::URL& folder) {
    std::vector<std::filesystem::path> entries;
    try {
        entries = platform::FileManager::defaultManager().contentsOfDirectory(folder.path(), true);
    } catch (const std::exception&) {
        return;  // no folder yet: nothing was left
    }
    std::int64_t highestFinished = -1;
    std::set<std::int64_t> open;
    bool changed = false;
    for (const auto& entry : entries) {
        const auto name = parseBatchName(entry.filename().string());
        if (!name) continue;
        switch (name->kind) {
            case BatchName::Kind::temporary: {
                std::error_code ignored;
                changed |= std::filesystem::remove(entry, ignored);
                break;
            }
            case BatchName::Kind::finished:
                highestFinished = std::max(highestFinished, name->number);
                break;
            case BatchName::Kind::open:
                open.insert(name->number);
                break;
        }
    }

    // The counter never trails a finished file.
    std::int64_t counter = std::max(readCounter(), highestFinished + 1);
    if (!open.empty()) counter = std::max(counter, *open.rbegin());
    if (counter != readCounter()) saveCounter(counter);

    // Every open file but the current one, and the current one when its closing text is
    // already written, is finished now; the current one keeps taking events.
    for (const std::int64_t number : open) {
        const auto file = batchFile(number, false);
        const bool closed = endsWithClosing(file.path());
        if (number == counter && !closed) continue;
        if (!closed) {
            try {
                outputStream_ = std::make_unique<OutputFileStream>(file);
                outputStream_->open();
            } catch (...) {
                outputStream_.reset();
                report(std::current_exception());
                continue;
            }
            // finish() writes the closing text (the opening text first when even that is
            // missing), moves the counter on and renames.
            std::uint64_t size = 0;
            if (const auto attributes = attributesOf(file)) size = attributes->size;
            if (size == 0) appendWhole(*outputStream_, kOpeningText, 0);
            finish(file);
        } else {
            if (number == counter) saveCounter(counter + 1);
            renameFinished(file, number);
        }
        changed = true;
    }
    if (changed) platform::synchronizeDirectory(folder.path());
}

std::optional<platform::URL> Storage::renameFinished(const platform::URL& file, std::int64_t number) {
    auto& files = platform::FileManager::defaultManager();
    auto finished = batchFile(number, true);
    if (files.fileExists(finished.path())) {
        // The finished name is taken (left by a run that stopped before it saved the counter):
        // the file takes the first number past every file of the folder, so that neither is lost.
        std::int64_t highest = std::max(number, readCounter());
        try {
            for (const auto& entry : files.contentsOfDirectory(file.deletingLastPathComponent().path(), true)) {
                if (const auto name = parseBatchName(entry.filename().string()))
                    highest = std::max(highest, name->number);
            }
        } catch (const std::exception&) {
        }
        number = highest + 1;
        finished = batchFile(number, true);
        if (readCounter() <= number) saveCounter(number + 1);
    }
    try {
        files.moveItem(file.path(), finished.path());
    } catch (const std::exception&) {
        report(std::make_exception_ptr(AnalyticsError::storageUnableToRename(file.path())));
        return std::nullopt;
    }
    return finished;
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

void Storage::storeEvent(const std::function<void(std::string& line)>& appendText) {
    recoverIfNeeded();
    auto file = currentFile();
    bool first = false;

    // One look at the file answers both questions: is it there, and how big is it. A file
    // started here holds the opening text only, far below the limit.
    bool exists = false;
    std::uint64_t size = 0;
    if (file) {
        if (const auto open = openFileSize(*file)) {
            exists = true;
            size = *open;
        } else if (auto attributes = attributesOf(*file)) {
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
            // Left by an earlier run (recovery kept it as the current file): append to it.
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

    // The comma and the event go down in one write, so a failed write never leaves a
    // comma without its event behind; the event is encoded straight after its comma.
    std::string line;
    if (!first) line += ',';
    try {
        appendText(line);
    } catch (...) {
        report(std::current_exception());
        return;
    }
    if (!outputStream_) {
        const std::string fileDescription = file ? file->absoluteString() : std::string("nil");
        defer([fileDescription] {
            logThroughSharedAnalytics("Storage: Output stream is nil for " + fileDescription, LogFilterKind::error,
                                      "storeEvent(toFile:event:)", 259);
        });
        return;
    }
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
        outputStream_->close();  // with its data on the storage
    } catch (...) {
        report(std::current_exception());
    }
    outputStream_.reset();
    // A test can stop the process here: closed, not yet renamed, counter not moved.
    platform::faultPoint("Storage.finish.closingWritten");

    // The next number is saved before the rename: a file on disk is never ahead of the
    // counter, and a start after a stop between the two finishes this file by its closing.
    const auto number = parseBatchName(file.lastPathComponent());
    const std::int64_t current = number ? number->number : readCounter();
    saveCounter(std::max(readCounter(), current + 1));
    platform::faultPoint("Storage.finish.counterSaved");

    const auto finished = renameFinished(file, current);
    if (finished) platform::synchronizeDirectory(file.deletingLastPathComponent().path());
    platform::faultPoint("Storage.finish.renamed");
    std::function<void(const platform::URL&)> onFinish;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        onFinish = onFinish_;
    }
    if (onFinish && finished) defer([onFinish, url = *finished] { onFinish(url); });
}

std::optional<std::vector<platform::URL>> Storage::read(Constants key) {
    if (key != Constants::events) return std::nullopt;
    std::vector<platform::URL> result;
    perform([&] {
        recoverIfNeeded();
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
    perform([&] {
        try {
            platform::FileManager::defaultManager().removeItem(file.path());
        } catch (const std::exception&) {
            // Already gone, or not ours to remove: nothing to do either way.
        }
    });
}

}  // namespace qor
