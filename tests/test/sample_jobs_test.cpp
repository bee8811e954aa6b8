// The two built-in sample jobs, read back from their bytes as a printer
// would read them, and the codes the label generator draws.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pages/test/sample_jobs.h"
#include "tools/sample_label/bitmap.h"
#include "tools/sample_label/qr_code.h"

using namespace deveder;

namespace {

std::string Job(int id) {
  const auto bytes = FindSampleJob(id);
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

int Le16(const std::string& s, std::size_t at) {
  return static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8;
}

// A picture as rows of packed bytes, a clear bit a printed dot, placed at
// label coordinates.
struct Picture {
  int x = 0, y = 0, bytesPerLine = 0;
  std::vector<std::string> rows;
  bool Dot(int lx, int ly) const {
    const int col = lx - x, row = ly - y;
    return !(static_cast<unsigned char>(rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(col / 8)]) &
             (0x80 >> (col % 8)));
  }
};

// Decodes PCX run-length data line by line. Fails the test on a run that
// crosses a line end or on data left over.
Picture DecodePcx(const std::string& data, int lines, int bytesPerLine) {
  Picture pic;
  pic.bytesPerLine = bytesPerLine;
  std::size_t at = 0;
  for (int y = 0; y < lines; ++y) {
    std::string row;
    while (static_cast<int>(row.size()) < bytesPerLine) {
      if (at >= data.size()) {
        ADD_FAILURE() << "data ends in line " << y;
        return pic;
      }
      unsigned char v = static_cast<unsigned char>(data[at++]);
      std::size_t count = 1;
      if ((v & 0xC0) == 0xC0) {
        count = v & 0x3F;
        EXPECT_GT(count, 0u) << "empty run in line " << y;
        if (at >= data.size()) {
          ADD_FAILURE() << "data ends in a run";
          return pic;
        }
        v = static_cast<unsigned char>(data[at++]);
      }
      row.append(count, static_cast<char>(v));
    }
    EXPECT_EQ(static_cast<int>(row.size()), bytesPerLine) << "a run crosses the end of line " << y;
    pic.rows.push_back(row);
  }
  EXPECT_EQ(at, data.size()) << "data beyond the last line";
  return pic;
}

}  // namespace

TEST(SampleJobs, OnlyTheTwoNumbersExist) {
  EXPECT_EQ(FindSampleJob(kSampleJobCpcl).size(), 36570u);
  EXPECT_EQ(FindSampleJob(kSampleJobTspl).size(), 61967u);
  for (int id : {0, 154, 157, -1}) EXPECT_TRUE(FindSampleJob(id).empty()) << id;
}

TEST(SampleJobs, CpclJobIsHeaderPcxPictureAndPrint) {
  const std::string job = Job(kSampleJobCpcl);
  const std::string head = "! 8 203 203 1039 1\r\nPCX 8 56\r\n";
  const std::string tail = "\r\nPRINT\r\n";
  ASSERT_EQ(job.size(), 36570u);
  EXPECT_EQ(job.substr(0, head.size()), head);
  EXPECT_EQ(job.substr(job.size() - tail.size()), tail);

  const std::string pcx = job.substr(head.size(), job.size() - head.size() - tail.size());
  ASSERT_EQ(pcx.size(), 36531u);
  EXPECT_EQ(pcx[0], 10);  // manufacturer
  EXPECT_EQ(pcx[1], 5);   // version
  EXPECT_EQ(pcx[2], 1);   // run-length encoded
  EXPECT_EQ(pcx[3], 1);   // bits a pixel
  EXPECT_EQ(Le16(pcx, 4), 0);
  EXPECT_EQ(Le16(pcx, 6), 0);
  EXPECT_EQ(Le16(pcx, 8), 559);
  EXPECT_EQ(Le16(pcx, 10), 917);
  EXPECT_EQ(Le16(pcx, 12), 300);
  EXPECT_EQ(Le16(pcx, 14), 300);
  // Palette entry 0 black, entry 1 white, the rest unused.
  EXPECT_EQ(pcx.substr(16, 6), std::string("\0\0\0\xff\xff\xff", 6));
  EXPECT_EQ(pcx.substr(22, 42), std::string(42, '\0'));
  EXPECT_EQ(pcx[64], 0);
  EXPECT_EQ(pcx[65], 1);  // planes
  EXPECT_EQ(Le16(pcx, 66), 70);
  EXPECT_EQ(Le16(pcx, 68), 1);
  EXPECT_EQ(pcx.substr(70, 58), std::string(58, '\0'));

  const Picture pic = DecodePcx(pcx.substr(128), 918, 70);
  EXPECT_EQ(pcx.size() - 128, 36403u);
  EXPECT_EQ(pic.rows.size(), 918u);
}

TEST(SampleJobs, TsplJobIsSetUpFiveBitmapsAndPrint) {
  const std::string job = Job(kSampleJobTspl);
  ASSERT_EQ(job.size(), 61967u);
  const std::string setUp =
      "SIZE 72.7 mm, 130 mm\r\nDIRECTION 0,0\r\nREFERENCE 0,0\r\nOFFSET 0 mm\r\nSET PEEL OFF\r\n"
      "SET CUTTER OFF\r\nSET PARTIAL_CUTTER OFF\r\nSET TEAR ON\r\nCLS\r\n";
  ASSERT_EQ(setUp.size(), 137u);
  EXPECT_EQ(job.substr(0, setUp.size()), setUp);

  struct Block {
    const char* head;
    std::size_t data;
  };
  const Block blocks[] = {{"BITMAP 40,56,66,144,1,", 9504},
                          {"BITMAP 16,208,70,16,1,", 1120},
                          {"BITMAP 24,224,66,176,1,", 11616},
                          {"BITMAP 16,408,70,416,1,", 29120},
                          {"BITMAP 16,824,68,152,1,", 10336}};
  std::size_t at = setUp.size();
  for (const Block& b : blocks) {
    const std::string head = b.head;
    ASSERT_EQ(job.substr(at, head.size()), head);
    at += head.size() + b.data;
    ASSERT_EQ(job.substr(at, 2), "\r\n") << head;
    at += 2;
  }
  EXPECT_EQ(job.substr(at), "PRINT 1,1\r\n");
}

// Both jobs print the same label: wherever a TSPL block and the PCX picture
// cover the same dot, they agree, and each shows a real picture.
TEST(SampleJobs, BothJobsShowTheSameLabel) {
  const std::string cpcl = Job(kSampleJobCpcl);
  Picture pcx = DecodePcx(cpcl.substr(30 + 128, 36403), 918, 70);
  ASSERT_EQ(pcx.rows.size(), 918u);
  pcx.x = 8;
  pcx.y = 56;

  const std::string tspl = Job(kSampleJobTspl);
  struct Rect {
    int x, y, wb, h;
  };
  const Rect rects[] = {{40, 56, 66, 144}, {16, 208, 70, 16}, {24, 224, 66, 176}, {16, 408, 70, 416}, {16, 824, 68, 152}};
  std::size_t at = 137;
  long compared = 0, dots = 0;
  for (const Rect& r : rects) {
    const std::string head = "BITMAP " + std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.wb) +
                             "," + std::to_string(r.h) + ",1,";
    ASSERT_EQ(tspl.compare(at, head.size(), head), 0) << head;
    at += head.size();
    Picture blk;
    blk.x = r.x;
    blk.y = r.y;
    blk.bytesPerLine = r.wb;
    for (int row = 0; row < r.h; ++row, at += static_cast<std::size_t>(r.wb))
      blk.rows.push_back(tspl.substr(at, static_cast<std::size_t>(r.wb)));
    at += 2;
    for (int y = r.y; y < r.y + r.h; ++y) {
      for (int x = r.x; x < r.x + r.wb * 8; ++x) {
        if (x < 8 || x >= 568 || y >= 56 + 918) continue;
        ASSERT_EQ(blk.Dot(x, y), pcx.Dot(x, y)) << "dot " << x << "," << y;
        ++compared;
        dots += blk.Dot(x, y);
      }
    }
  }
  EXPECT_GT(compared, 450000);
  // A label: mostly paper, with a good share of print.
  EXPECT_GT(dots, compared / 10);
  EXPECT_LT(dots, compared / 2);
}

TEST(LabelCodes, ReedSolomonAndFormatBits) {
  // Version 1-M codewords of "HELLO WORLD" and their ten check codewords.
  const std::vector<std::uint8_t> data = {32, 91, 11, 120, 209, 114, 220, 77, 67, 64, 236, 17, 236, 17, 236, 17};
  EXPECT_EQ(label::ReedSolomonRemainder(data, 10),
            (std::vector<std::uint8_t>{196, 35, 39, 119, 235, 215, 231, 226, 93, 23}));
  const int expected[8] = {0b101010000010010, 0b101000100100101, 0b101111001111100, 0b101101101001011,
                           0b100010111111001, 0b100000011001110, 0b100111110010111, 0b100101010100000};
  for (int mask = 0; mask < 8; ++mask) EXPECT_EQ(label::QrFormatBitsM(mask), expected[mask]) << mask;
  EXPECT_EQ(label::EncodeQrV3M(std::string(42, 'x')).size, 29);
  EXPECT_EQ(label::EncodeQrV3M(std::string(43, 'x')).size, 0);
}

TEST(LabelCodes, Ean13) {
  EXPECT_EQ(label::Ean13CheckDigit("400638133393"), 1);
  EXPECT_EQ(label::Ean13CheckDigit("200203072130"), 4);
  const std::string m = label::Ean13Modules("4006381333931");
  ASSERT_EQ(m.size(), 95u);
  // Guards, first left digit 0 in the L set (first digit 4: L G L L G G),
  // and the last right digit 1 in the R set.
  EXPECT_EQ(m.substr(0, 3), "101");
  EXPECT_EQ(m.substr(3, 7), "0001101");
  EXPECT_EQ(m.substr(10, 7), "0100111");  // 0 in the G set
  EXPECT_EQ(m.substr(45, 5), "01010");
  EXPECT_EQ(m.substr(85, 7), "1100110");
  EXPECT_EQ(m.substr(92), "101");
  EXPECT_TRUE(label::Ean13Modules("4006381333932").empty());  // wrong check digit
  EXPECT_TRUE(label::Ean13Modules("40063813339").empty());
}
