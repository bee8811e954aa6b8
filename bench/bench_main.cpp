// deveder-bench: every figure of the tool in one table of medians.
#include <cstdio>
#include <cstring>

#include "bench/bench_util.h"
#include "link/std_streams_posix.h"

namespace deveder::bench {
void BenchLink();
void BenchWalk();
void BenchStartup(int argc, char** argv);
}  // namespace deveder::bench

// Page benchmarks land with their pages.
void BenchSettings() __attribute__((weak));
void BenchRadio() __attribute__((weak));
void BenchTestPage() __attribute__((weak));
void BenchFont() __attribute__((weak));
void BenchFirmware() __attribute__((weak));

int main(int argc, char** argv) {
  deveder::EnsureStandardStreams();
  std::printf("| %-52s | %19s | %s\n", "measurement (median)", "value", "remark");
  std::printf("|%s|%s|%s\n", std::string(54, '-').c_str(), std::string(21, '-').c_str(), "---");
  deveder::bench::BenchLink();
  if (BenchSettings) BenchSettings();
  if (BenchRadio) BenchRadio();
  if (BenchTestPage) BenchTestPage();
  if (BenchFont) BenchFont();
  if (BenchFirmware) BenchFirmware();
  deveder::bench::BenchWalk();
  deveder::bench::BenchStartup(argc, argv);
  return 0;
}
