// The two built-in sample print jobs, by their resource numbers. The build
// generates them (tools/sample_label) and links them into the program; no
// file is read at run time.
#pragma once

#include <cstdint>
#include <span>

namespace deveder {

inline constexpr int kSampleJobCpcl = 155;  // CPCL, 36,570 bytes
inline constexpr int kSampleJobTspl = 156;  // TSPL, 61,967 bytes

// The bytes of a sample job; empty when there is no job of that number.
std::span<const std::uint8_t> FindSampleJob(int resourceId);

}  // namespace deveder
