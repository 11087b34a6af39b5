#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace qor::platform {

// One process-wide thread that runs short actions at their deadlines (handing a block
// to a queue, waking a timer source). Actions must not block; they run outside the
// scheduler's lock, so they may schedule or cancel entries themselves.
class DeadlineScheduler {
 public:
  using Clock = std::chrono::steady_clock;

  static DeadlineScheduler& shared();

  // Returns an id for cancel(); ids are never 0.
  std::uint64_t schedule(Clock::time_point deadline, std::function<void()> action);
  // Drops the entry if it has not started; unknown or finished ids are ignored.
  void cancel(std::uint64_t id);

 private:
  DeadlineScheduler() = default;
  void loop();

  using Key = std::pair<Clock::time_point, std::uint64_t>;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<Key, std::function<void()>> entries_;
  std::unordered_map<std::uint64_t, Clock::time_point> deadlines_;
  std::uint64_t nextId_ = 1;
  bool started_ = false;
};

}  // namespace qor::platform
