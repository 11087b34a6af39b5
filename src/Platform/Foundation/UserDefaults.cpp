#include "Platform/Foundation/UserDefaults.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
#include <condition_variable>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <sstream>
#include <system_error>

#include "Platform/Foundation/AppDirectories.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/FileWriting.h"
#include "Platform/Support/ASCIIText.h"
#include "Platform/Support/ProcessInfo.h"

namespace qor::platform {

// The values of one suite file, shared by every UserDefaults object of that suite.
class UserDefaultsStore {
public:
    explicit UserDefaultsStore(std::filesystem::path file) : file_(std::move(file)) {}

    std::optional<PlistValue> get(std::string_view key) {
        std::lock_guard lock(mutex_);
        loadIfNeeded();
        const auto found = values_.find(std::string(key));
        if (found == values_.end()) return std::nullopt;
        return found->second;
    }

    PlistDictionary snapshot() {
        std::lock_guard lock(mutex_);
        loadIfNeeded();
        return values_;
    }

    void set(std::string_view key, PlistValue value) {
        std::lock_guard lock(mutex_);
        loadIfNeeded();
        auto [position, inserted] = values_.try_emplace(std::string(key), value);
        if (!inserted) {
            if (position->second == value) return;
            position->second = std::move(value);
        }
        dirty_ = true;
    }

    void remove(std::string_view key) {
        std::lock_guard lock(mutex_);
        loadIfNeeded();
        if (values_.erase(std::string(key)) > 0) dirty_ = true;
    }

    bool synchronize() {
        std::lock_guard lock(mutex_);
        if (!dirty_) return true;
        if (!write()) return false;
        dirty_ = false;
        return true;
    }

    const std::filesystem::path& file() const { return file_; }

private:
    void loadIfNeeded();
    // Temporaries of replaces that a killed process left beside the suite's file.
    void removeStaleTemporaries() const;
    bool write();

    std::mutex mutex_;
    const std::filesystem::path file_;
    bool loaded_ = false;
    bool dirty_ = false;
    PlistDictionary values_;
};

namespace {

using Json = nlohmann::json;

Json encode(const PlistValue& value) {
    return std::visit(
        [](const auto& v) -> Json {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return Json{{"string", v}};
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                return Json{{"integer", v}};
            } else if constexpr (std::is_same_v<T, double>) {
                // JSON has no NaN or infinities; keep them as text.
                if (std::isnan(v)) return Json{{"real", "nan"}};
                if (std::isinf(v)) return Json{{"real", v > 0 ? "inf" : "-inf"}};
                return Json{{"real", v}};
            } else if constexpr (std::is_same_v<T, bool>) {
                return Json{{"bool", v}};
            } else if constexpr (std::is_same_v<T, Data>) {
                return Json{{"data", plist::base64Encode(v)}};
            } else if constexpr (std::is_same_v<T, PlistArray>) {
                Json array = Json::array();
                for (const auto& element : v) array.push_back(encode(element));
                return Json{{"array", std::move(array)}};
            } else {
                Json object = Json::object();
                for (const auto& [key, element] : v) object[key] = encode(element);
                return Json{{"dictionary", std::move(object)}};
            }
        },
        value.storage());
}

std::optional<PlistValue> decode(const Json& json) {
    if (!json.is_object() || json.size() != 1) return std::nullopt;
    const auto entry = json.begin();
    const std::string& kind = entry.key();
    const Json& value = entry.value();
    if (kind == "string" && value.is_string()) return PlistValue(value.get<std::string>());
    if (kind == "integer" && value.is_number_integer()) return PlistValue(value.get<std::int64_t>());
    if (kind == "real") {
        if (value.is_number()) return PlistValue(value.get<double>());
        if (value == "nan") return PlistValue(std::nan(""));
        if (value == "inf") return PlistValue(HUGE_VAL);
        if (value == "-inf") return PlistValue(-HUGE_VAL);
        return std::nullopt;
    }
    if (kind == "bool" && value.is_boolean()) return PlistValue(value.get<bool>());
    if (kind == "data" && value.is_string()) {
        auto bytes = plist::base64Decode(value.get<std::string>());
        if (!bytes) return std::nullopt;
        return PlistValue(std::move(*bytes));
    }
    if (kind == "array" && value.is_array()) {
        PlistArray array;
        for (const auto& element : value) {
            auto decoded = decode(element);
            if (!decoded) return std::nullopt;
            array.push_back(std::move(*decoded));
        }
        return PlistValue(std::move(array));
    }
    if (kind == "dictionary" && value.is_object()) {
        PlistDictionary dictionary;
        for (const auto& [key, element] : value.items()) {
            auto decoded = decode(element);
            if (!decoded) return std::nullopt;
            dictionary.emplace(key, std::move(*decoded));
        }
        return PlistValue(std::move(dictionary));
    }
    return std::nullopt;
}

// Every live store by its file. A store that is being destroyed keeps its entry until its
// pending changes are on disk, and a new object for the same suite waits for that, so it
// always reads the latest file.
struct Registry {
    std::mutex mutex;
    std::condition_variable released;
    struct Entry {
        std::weak_ptr<UserDefaultsStore> store;
        const UserDefaultsStore* raw = nullptr;
    };
    std::map<std::filesystem::path, Entry> entries;
};

Registry& registry() {
    // Never destroyed (the exit-time rule): a worker thread may still release the last object
    // of a suite while the process exits.
    static auto* instance = new Registry;
    return *instance;
}

std::shared_ptr<UserDefaultsStore> storeFor(const std::filesystem::path& file) {
    auto& r = registry();
    std::unique_lock lock(r.mutex);
    for (;;) {
        const auto found = r.entries.find(file);
        if (found == r.entries.end()) break;
        if (auto existing = found->second.store.lock()) return existing;
        r.released.wait(lock);
    }
    auto* raw = new UserDefaultsStore(file);
    std::shared_ptr<UserDefaultsStore> store(raw, [](UserDefaultsStore* dying) {
        dying->synchronize();
        {
            auto& reg = registry();
            std::lock_guard guard(reg.mutex);
            const auto found = reg.entries.find(dying->file());
            if (found != reg.entries.end() && found->second.raw == dying) reg.entries.erase(found);
        }
        registry().released.notify_all();
        delete dying;
    });
    r.entries[file] = Registry::Entry{store, raw};
    return store;
}

bool isUsableSuiteName(std::string_view name) {
    return !name.empty() && name != "NSGlobalDomain" && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

std::filesystem::path suiteFile(std::string_view suiteName) {
    auto folder = std::filesystem::absolute(preferencesDirectory()).lexically_normal();
    return folder / (std::string(suiteName) + ".json");
}

std::optional<double> numberFromText(const std::string& text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

void UserDefaultsStore::loadIfNeeded() {
    if (loaded_) return;
    loaded_ = true;
    removeStaleTemporaries();
    std::ifstream stream(file_, std::ios::binary);
    if (!stream) return;  // a suite that was never written
    std::ostringstream contents;
    contents << stream.rdbuf();
    Json root = Json::parse(contents.str(), nullptr, false);
    if (root.is_discarded() || !root.is_object()) {
        // Keep the unreadable file aside instead of overwriting it at the next write.
        std::error_code error;
        std::filesystem::rename(file_, file_.string() + ".unreadable", error);
        std::cerr << "QORUniversalSDK: defaults file " << file_.string() << " is not readable; starting empty\n";
        return;
    }
    for (const auto& [key, encoded] : root.items()) {
        if (auto value = decode(encoded)) values_.insert_or_assign(key, std::move(*value));
    }
}

void UserDefaultsStore::removeStaleTemporaries() const {
    std::error_code error;
    std::filesystem::directory_iterator entries(file_.parent_path(), error);
    if (error) return;
    const std::string finalName = file_.filename().string();
    for (const auto end = std::filesystem::directory_iterator(); entries != end; entries.increment(error)) {
        if (error) return;
        if (isReplaceTemporary(entries->path().filename().string(), finalName)) {
            std::error_code ignored;
            std::filesystem::remove(entries->path(), ignored);
        }
    }
}

bool UserDefaultsStore::write() {
    std::error_code error;
    if (!createPrivateFolders(file_.parent_path(), error)) return false;
    Json root = Json::object();
    for (const auto& [key, value] : values_) root[key] = encode(value);
    const std::string text = root.dump(-1, ' ', false, Json::error_handler_t::replace);

    // A reader sees the old suite or the new one.
    return replaceFileAtomically(file_, std::as_bytes(std::span(text)));
}

UserDefaults::UserDefaults(std::string suiteName, std::shared_ptr<UserDefaultsStore> store)
    : suiteName_(std::move(suiteName)), store_(std::move(store)) {}

std::shared_ptr<UserDefaults> UserDefaults::standard() {
    std::string name = Bundle::main()->bundleIdentifier().value_or("");
    if (!isUsableSuiteName(name)) name = executablePath().filename().string();
    if (!isUsableSuiteName(name)) name = "QORUniversalSDK";
    return std::make_shared<UserDefaults>(name, storeFor(suiteFile(name)));
}

std::shared_ptr<UserDefaults> UserDefaults::make(std::string_view suiteName) {
    if (!isUsableSuiteName(suiteName)) return nullptr;
    return std::make_shared<UserDefaults>(std::string(suiteName), storeFor(suiteFile(suiteName)));
}

std::filesystem::path UserDefaults::filePath() const { return store_->file(); }

std::optional<PlistValue> UserDefaults::objectForKey(std::string_view key) const { return store_->get(key); }

std::optional<std::string> UserDefaults::stringForKey(std::string_view key) const {
    const auto value = store_->get(key);
    if (!value || !value->isString()) return std::nullopt;
    return *value->asString();
}

std::int64_t UserDefaults::integerForKey(std::string_view key) const {
    const auto value = store_->get(key);
    if (!value) return 0;
    if (const auto* integer = value->asInteger()) return *integer;
    if (const auto* flag = value->asBool()) return *flag ? 1 : 0;
    if (const auto* real = value->asReal()) {
        if (!std::isfinite(*real) || std::fabs(*real) >= 9.2e18) return 0;
        return static_cast<std::int64_t>(*real);
    }
    if (const auto* text = value->asString()) {
        std::int64_t parsed = 0;
        const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), parsed);
        if (error == std::errc() && end == text->data() + text->size()) return parsed;
    }
    return 0;
}

double UserDefaults::doubleForKey(std::string_view key) const {
    const auto value = store_->get(key);
    if (!value) return 0;
    if (const auto* real = value->asReal()) return *real;
    if (const auto* integer = value->asInteger()) return static_cast<double>(*integer);
    if (const auto* flag = value->asBool()) return *flag ? 1.0 : 0.0;
    if (const auto* text = value->asString()) return numberFromText(*text).value_or(0.0);
    return 0;
}

bool UserDefaults::boolForKey(std::string_view key) const {
    const auto value = store_->get(key);
    if (!value) return false;
    if (const auto* flag = value->asBool()) return *flag;
    if (const auto* integer = value->asInteger()) return *integer != 0;
    if (const auto* real = value->asReal()) return *real != 0.0;
    if (const auto* text = value->asString()) {
        const auto lower = lowercasedASCII(*text);
        return lower == "yes" || lower == "true" || lower == "1";
    }
    return false;
}

std::optional<Data> UserDefaults::dataForKey(std::string_view key) const {
    const auto value = store_->get(key);
    if (!value || !value->isData()) return std::nullopt;
    return *value->asData();
}

std::optional<PlistArray> UserDefaults::arrayForKey(std::string_view key) const {
    const auto value = store_->get(key);
    if (!value || !value->isArray()) return std::nullopt;
    return *value->asArray();
}

std::optional<PlistDictionary> UserDefaults::dictionaryForKey(std::string_view key) const {
    const auto value = store_->get(key);
    if (!value || !value->isDictionary()) return std::nullopt;
    return *value->asDictionary();
}

PlistDictionary UserDefaults::dictionaryRepresentation() const { return store_->snapshot(); }

void UserDefaults::set(PlistValue value, std::string_view key) { store_->set(key, std::move(value)); }

void UserDefaults::removeObject(std::string_view key) { store_->remove(key); }

bool UserDefaults::synchronize() { return store_->synchronize(); }

}  // namespace qor::platform
