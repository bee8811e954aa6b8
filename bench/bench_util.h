// Helpers of the benchmark program: timing and one table of medians.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace deveder::bench {

using Clock = std::chrono::steady_clock;

inline double MsSince(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Runs `fn` `runs` times and returns the median of its wall time in ms.
inline double MedianMs(int runs, const std::function<void()>& fn) {
  std::vector<double> t;
  for (int i = 0; i < runs; ++i) {
    auto t0 = Clock::now();
    fn();
    t.push_back(MsSince(t0));
  }
  return Median(t);
}

// One row of the table: what was measured, its median and a remark.
inline void Row(const std::string& what, double value, const char* unit, const std::string& remark = "") {
  std::printf("| %-52s | %12.3f %-6s | %s\n", what.c_str(), value, unit, remark.c_str());
  std::fflush(stdout);
}

}  // namespace deveder::bench
