#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qor::platform {

// A memory cache from keys to values that keeps at most `countLimit` entries (0: no limit).
// When an insertion goes over the limit, the least recently used entries leave first: an entry
// counts as used when it is stored or found. Values are handed out as copies, so a cache of
// shared pointers shares its objects without copying them. Safe to use from any thread; values
// that leave the cache are released after its lock is let go.
template <class Key, class Value, class Hash = std::hash<Key>>
class NSCache {
public:
    explicit NSCache(std::size_t countLimit = 0) : countLimit_(countLimit) {}
    NSCache(const NSCache&) = delete;
    NSCache& operator=(const NSCache&) = delete;

    std::size_t countLimit() const { return countLimit_; }

    std::optional<Value> object(const Key& key) {
        std::lock_guard<std::mutex> guard(mutex_);
        const auto found = index_.find(key);
        if (found == index_.end()) return std::nullopt;
        entries_.splice(entries_.begin(), entries_, found->second);
        return found->second->second;
    }

    void setObject(Value value, const Key& key) {
        std::vector<Entry> released;
        std::lock_guard<std::mutex> guard(mutex_);
        if (const auto found = index_.find(key); found != index_.end()) {
            released.push_back(std::move(*found->second));
            entries_.erase(found->second);
            index_.erase(found);
        }
        entries_.emplace_front(key, std::move(value));
        index_.emplace(key, entries_.begin());
        while (countLimit_ > 0 && entries_.size() > countLimit_) {
            index_.erase(entries_.back().first);
            released.push_back(std::move(entries_.back()));
            entries_.pop_back();
        }
    }

    void removeObject(const Key& key) {
        std::optional<Entry> released;
        std::lock_guard<std::mutex> guard(mutex_);
        const auto found = index_.find(key);
        if (found == index_.end()) return;
        released = std::move(*found->second);
        entries_.erase(found->second);
        index_.erase(found);
    }

    void removeAllObjects() {
        std::list<Entry> released;
        std::lock_guard<std::mutex> guard(mutex_);
        index_.clear();
        released.swap(entries_);
    }

    std::size_t count() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return entries_.size();
    }

private:
    using Entry = std::pair<Key, Value>;

    const std::size_t countLimit_;
    mutable std::mutex mutex_;
    std::list<Entry> entries_;  // most recently used first
    std::unordered_map<Key, typename std::list<Entry>::iterator, Hash> index_;
};

}  // namespace qor::platform
