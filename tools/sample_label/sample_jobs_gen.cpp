// deveder-sample-jobs: builds the two built-in sample print jobs, checks them
// by reading them back, and writes them as a C++ source for the program and
// as pictures to look at.
//
//   deveder-sample-jobs OUT.cpp PNG_DIR
//
// Output: OUT.cpp (FindSampleJob with both jobs as byte arrays),
// PNG_DIR/sample_label_cpcl.png and PNG_DIR/sample_label_tspl.png, each the
// label as its job would print it, read back from the job's own bytes.
#include <QImage>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tools/sample_label/sample_jobs.h"

using namespace deveder::label;

namespace {

int Fail(const std::string& what) {
  std::fprintf(stderr, "deveder-sample-jobs: %s\n", what.c_str());
  return 1;
}

// Sets the 1-bit row `bytes` (clear bit = dot) into `img` at (x, y).
void PutRow(QImage& img, int x, int y, const unsigned char* bytes, int count) {
  for (int i = 0; i < count * 8; ++i)
    if (!(bytes[i / 8] & (0x80 >> (i % 8)))) img.setPixel(x + i, y, qRgb(0, 0, 0));
}

QImage BlankLabel() {
  QImage img(kLabelWidth, kLabelHeight, QImage::Format_RGB32);
  img.fill(qRgb(255, 255, 255));
  return img;
}

// The CPCL job read back: header line, PCX line, the PCX picture decoded.
bool ReadCpcl(const std::string& job, QImage& img, std::string& why) {
  const std::string head = "! 8 203 203 1039 1\r\nPCX 8 56\r\n";
  const std::string tail = "\r\nPRINT\r\n";
  if (job.compare(0, head.size(), head) != 0 || job.compare(job.size() - tail.size(), tail.size(), tail) != 0) {
    why = "CPCL job lines";
    return false;
  }
  const auto* p = reinterpret_cast<const unsigned char*>(job.data()) + head.size() + kPcxHeaderBytes;
  const auto* end = reinterpret_cast<const unsigned char*>(job.data()) + job.size() - tail.size();
  std::vector<unsigned char> line;
  for (int y = 0; y < kPcxHeight; ++y) {
    line.clear();
    while (line.size() < static_cast<std::size_t>(kPcxBytesPerLine)) {
      if (p >= end) {
        why = "PCX data ends early";
        return false;
      }
      unsigned count = 1, value = *p++;
      if ((value & 0xC0) == 0xC0) {
        count = value & 0x3F;
        if (p >= end) {
          why = "PCX data ends in a run";
          return false;
        }
        value = *p++;
      }
      line.insert(line.end(), count, static_cast<unsigned char>(value));
    }
    if (line.size() != static_cast<std::size_t>(kPcxBytesPerLine)) {
      why = "a PCX run crosses a line";
      return false;
    }
    PutRow(img, kPcxX, kPcxY + y, line.data(), kPcxBytesPerLine);
  }
  if (p != end) {
    why = "PCX data longer than the picture";
    return false;
  }
  return true;
}

bool ReadTspl(const std::string& job, QImage& img, std::string& why) {
  std::size_t at = job.find("CLS\r\n");
  if (at == std::string::npos) {
    why = "TSPL set-up lines";
    return false;
  }
  at += 5;
  for (const TsplBlock& b : kTsplBlocks) {
    std::ostringstream head;
    head << "BITMAP " << b.x << ',' << b.y << ',' << b.widthBytes << ',' << b.height << ",1,";
    const std::string h = head.str();
    if (job.compare(at, h.size(), h) != 0) {
      why = "BITMAP line " + h;
      return false;
    }
    at += h.size();
    for (int row = 0; row < b.height; ++row, at += static_cast<std::size_t>(b.widthBytes))
      PutRow(img, b.x, b.y + row, reinterpret_cast<const unsigned char*>(job.data()) + at, b.widthBytes);
    if (job.compare(at, 2, "\r\n") != 0) {
      why = "BITMAP data length";
      return false;
    }
    at += 2;
  }
  if (job.substr(at) != "PRINT 1,1\r\n") {
    why = "TSPL trailer";
    return false;
  }
  return true;
}

// Whether the picture read back shows the label wherever the job covers it.
bool SameAsLabel(const QImage& img, const Bitmap& label, int x, int y, int w, int h) {
  for (int py = y; py < y + h; ++py)
    for (int px = x; px < x + w; ++px)
      if ((img.pixel(px, py) == qRgb(0, 0, 0)) != label.At(px, py)) return false;
  return true;
}

void WriteArray(std::ostream& out, const char* name, const std::string& bytes) {
  out << "alignas(16) constexpr std::uint8_t " << name << "[" << bytes.size() << "] = {";
  char buf[8];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i % 24 == 0) out << "\n   ";
    std::snprintf(buf, sizeof buf, " 0x%02x,", static_cast<unsigned char>(bytes[i]));
    out << buf;
  }
  out << "\n};\n\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Fail("usage: deveder-sample-jobs OUT.cpp PNG_DIR");
  std::string error;
  const std::optional<SampleJobs> jobs = BuildSampleJobs(error);
  if (!jobs) {
    // The untuned label, for whoever changes the drawing and has to bring
    // its size back into reach.
    const Bitmap draft = DrawSampleLabel({kPreferredBarHeight, 0});
    QImage img = BlankLabel();
    for (int y = 0; y < kLabelHeight; ++y)
      for (int x = 0; x < kLabelWidth; ++x)
        if (draft.At(x, y)) img.setPixel(x, y, qRgb(0, 0, 0));
    img.save(QString::fromStdString(std::string(argv[2]) + "/sample_label_draft.png"), "PNG");
    return Fail(error);
  }
  if (jobs->cpcl.size() != kCpclJobBytes) return Fail("CPCL job of " + std::to_string(jobs->cpcl.size()) + " bytes");
  if (jobs->tspl.size() != kTsplJobBytes) return Fail("TSPL job of " + std::to_string(jobs->tspl.size()) + " bytes");

  const Bitmap label = DrawSampleLabel(jobs->tuning);
  QImage cpcl = BlankLabel(), tspl = BlankLabel();
  std::string why;
  if (!ReadCpcl(jobs->cpcl, cpcl, why)) return Fail("CPCL job does not read back: " + why);
  if (!SameAsLabel(cpcl, label, kPcxX, kPcxY, kPcxWidth, kPcxHeight)) return Fail("CPCL picture differs from the label");
  if (!ReadTspl(jobs->tspl, tspl, why)) return Fail("TSPL job does not read back: " + why);
  for (const TsplBlock& b : kTsplBlocks)
    if (!SameAsLabel(tspl, label, b.x, b.y, b.widthBytes * 8, b.height)) return Fail("TSPL block differs from the label");

  const std::string dir = argv[2];
  if (!cpcl.save(QString::fromStdString(dir + "/sample_label_cpcl.png"), "PNG") ||
      !tspl.save(QString::fromStdString(dir + "/sample_label_tspl.png"), "PNG"))
    return Fail("cannot write the pictures to " + dir);

  std::ostringstream out;
  out << "// Written by deveder-sample-jobs (tools/sample_label); not to be edited.\n"
      << "// The sample label: bar height " << jobs->tuning.barHeight << ", test number "
      << jobs->tuning.testNumber << ".\n"
      << "#include \"pages/test/sample_jobs.h\"\n\nnamespace deveder {\n\nnamespace {\n\n";
  WriteArray(out, "kCpclJob", jobs->cpcl);
  WriteArray(out, "kTsplJob", jobs->tspl);
  out << "}  // namespace\n\n"
      << "std::span<const std::uint8_t> FindSampleJob(int resourceId) {\n"
      << "  switch (resourceId) {\n"
      << "    case kSampleJobCpcl: return kCpclJob;\n"
      << "    case kSampleJobTspl: return kTsplJob;\n"
      << "    default: return {};\n"
      << "  }\n}\n\n}  // namespace deveder\n";
  // Written only when it changed, so that a rerun does not rebuild the core.
  const std::string text = out.str();
  {
    std::ifstream old(argv[1], std::ios::binary);
    std::ostringstream had;
    had << old.rdbuf();
    if (old && had.str() == text) return 0;
  }
  std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
  file << text;
  if (!file.flush()) return Fail(std::string("cannot write ") + argv[1]);
  std::printf("sample jobs: CPCL %zu bytes, TSPL %zu bytes, bar height %d, test number %05d\n", jobs->cpcl.size(),
              jobs->tspl.size(), jobs->tuning.barHeight, jobs->tuning.testNumber);
  return 0;
}
