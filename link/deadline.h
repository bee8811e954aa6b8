// A point in time a wait must not pass: every bounded wait of the port
// layer and of the page actions is written against one.
#pragma once

#include <algorithm>
#include <chrono>

namespace deveder {

class Deadline {
 public:
  using Clock = std::chrono::steady_clock;

  static Deadline At(Clock::time_point when) { return Deadline(when); }
  static Deadline After(Clock::duration span) { return Deadline(Clock::now() + span); }
  static Deadline AfterMs(long long ms) { return After(std::chrono::milliseconds(std::max(ms, 0LL))); }

  Clock::time_point When() const { return when_; }
  bool Passed() const { return Clock::now() >= when_; }
  Clock::duration Left() const { return std::max(when_ - Clock::now(), Clock::duration::zero()); }
  // What is left in whole milliseconds, rounded up so that a wait of the
  // last fraction of a millisecond does not spin; at most about 12 days.
  int MsLeft() const {
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(Left()).count();
    return static_cast<int>(std::min<long long>((us + 999) / 1000, 1LL << 30));
  }
  Deadline Sooner(Deadline other) const { return Deadline(std::min(when_, other.when_)); }

 private:
  explicit Deadline(Clock::time_point when) : when_(when) {}
  Clock::time_point when_;
};

}  // namespace deveder
