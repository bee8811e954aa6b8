// The sample label and the two print jobs that carry it: a CPCL job with the
// label as a run-length PCX picture, and a TSPL job with it cut into five
// BITMAP blocks. Both jobs have fixed sizes; the PCX data is made to come out
// at exactly kPcxDataBytes by choosing the label's test number.
#pragma once

#include <optional>
#include <string>

#include "tools/sample_label/bitmap.h"

namespace deveder::label {

// The label in printer dots (203 dpi): 72.7 mm across, 130 mm down.
inline constexpr int kLabelWidth = 584;
inline constexpr int kLabelHeight = 1039;

// The PCX picture: where it sits on the label and its size.
inline constexpr int kPcxX = 8;
inline constexpr int kPcxY = 56;
inline constexpr int kPcxWidth = 560;
inline constexpr int kPcxHeight = 918;
inline constexpr int kPcxBytesPerLine = kPcxWidth / 8;
inline constexpr int kPcxDataBytes = 36403;
inline constexpr int kPcxHeaderBytes = 128;

inline constexpr std::size_t kCpclJobBytes = 36570;
inline constexpr std::size_t kTsplJobBytes = 61967;

// The five BITMAP blocks of the TSPL job, in label dots (x, y) and in bytes
// of eight dots across (width) by dots down (height).
struct TsplBlock {
  int x, y, widthBytes, height;
};
inline constexpr TsplBlock kTsplBlocks[5] = {
    {40, 56, 66, 144}, {16, 208, 70, 16}, {24, 224, 66, 176}, {16, 408, 70, 416}, {16, 824, 68, 152},
};

// What is varied to make the PCX data come out at exactly kPcxDataBytes: the
// height of the barcode's bars (in coarse steps) and the five-digit test
// number in the footer (in single bytes).
struct LabelTuning {
  int barHeight = 0;
  int testNumber = 0;
};
inline constexpr int kPreferredBarHeight = 104;
inline constexpr int kBarHeightSlack = 24;

// The whole label.
Bitmap DrawSampleLabel(const LabelTuning& tuning);

// PCX run-length data of a part of `label` (a set bit is a blank, as the
// picture's palette says): each line on its own, runs of up to 63 bytes.
std::string PcxRunLength(const Bitmap& label, int x, int y, int width, int height);

// The 128-byte PCX header of a 1-bit picture of kPcxWidth x kPcxHeight.
std::string PcxHeader();

std::string CpclJob(const Bitmap& label);
std::string TsplJob(const Bitmap& label);

struct SampleJobs {
  LabelTuning tuning;
  std::string cpcl;
  std::string tspl;
};

// Draws the label, tunes it until its PCX data has exactly kPcxDataBytes,
// and builds both jobs. nullopt (with `error` set) when no tuning fits.
std::optional<SampleJobs> BuildSampleJobs(std::string& error);

}  // namespace deveder::label
