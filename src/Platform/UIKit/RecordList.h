#pragma once

#include <mutex>
#include <utility>
#include <vector>

namespace qor::platform {

// A list of records that the UI stand-ins append to and hosts and tests read back. The UI runs
// on the main thread, but the lists are process-wide, so they take a lock anyway.
template <class Record>
class RecordList {
public:
    void append(Record record) {
        std::lock_guard<std::mutex> guard(mutex_);
        records_.push_back(std::move(record));
    }
    std::vector<Record> all() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return records_;
    }
    void clear() {
        std::lock_guard<std::mutex> guard(mutex_);
        records_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<Record> records_;
};

}  // namespace qor::platform
