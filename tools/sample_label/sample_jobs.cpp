#include "tools/sample_label/sample_jobs.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "tools/sample_label/qr_code.h"

namespace deveder::label {

namespace {

// Two stacked panels with rounded corners hold everything below the title
// banner; their sides lie where every TSPL block reaches, and the 8-dot gaps
// between the blocks fall between banner and panels.
constexpr int kPanelX = 24;
constexpr int kPanelW = 528;
constexpr int kLine = 3;          // frame thickness
constexpr int kTextX = 40;        // left edge of text inside the panels
constexpr int kTextRight = 536;

// The test number: white digits in the black footer bar.
constexpr int kFooterY = 904;
constexpr int kFooterH = 58;
constexpr int kNumberScale = 2;
constexpr int kNumberY = kFooterY + (kFooterH - 7 * kNumberScale) / 2;
const char* const kNumberPrefix = "NO. ";

void Text(Bitmap& b, int x, int y, const std::string& s, int scale, bool dot = true) {
  b.Stamp(RenderText(s, scale), x, y, dot);
}
void TextCentred(Bitmap& b, int cx, int y, const std::string& s, int scale, bool dot = true) {
  Text(b, cx - TextWidth(s, scale) / 2, y, s, scale, dot);
}

std::string NumberText(int n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%05d", n % 100000);
  return std::string(kNumberPrefix) + buf;
}
int NumberX() { return kTextRight - 16 - TextWidth(NumberText(0), kNumberScale); }

// Title banner: the name in large type over a line of smaller text.
void DrawBanner(Bitmap& b) {
  b.FillRounded(40, 60, 496, 136, 18);
  TextCentred(b, 288, 76, "DEVEDER", 8, false);
  TextCentred(b, 288, 160, "SAMPLE LABEL * 203 DPI * DIRECT THERMAL", 2, false);
}

// Upper panel: a millimetre rule hanging from its top edge, then a ladder of
// type sizes and the label's facts.
void DrawUpperPanel(Bitmap& b) {
  const int top = 208, height = 192;
  b.FrameRounded(kPanelX, top, kPanelW, height, 12, kLine);
  for (int mm = 0;; ++mm) {
    const int x = kTextX + (mm * 2030 + 127) / 254;  // 203 dots an inch
    if (x > kTextRight) break;
    const int len = mm % 10 == 0 ? 11 : (mm % 5 == 0 ? 7 : 4);
    b.Fill(x, top + kLine, 2, len);
    if (mm % 10 == 0 && mm > 0) Text(b, x - (mm >= 100 ? 8 : 2), top + kLine + len + 2, std::to_string(mm / 10), 1);
  }
  int y = 236;
  Text(b, kTextX, y, "Sharp text, every size", 3);
  y += 21 + 8;
  Text(b, kTextX, y, "The quick brown fox jumps over the dog", 2);
  y += 14 + 6;
  Text(b, kTextX, y, "ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz 0123456789", 1);
  y += 7 + 9;
  b.Fill(kTextX, y, kTextRight - kTextX, 1);
  y += 7;
  const char* const facts[][2] = {
      {"RESOLUTION", "203 DPI, 8 DOTS/MM"},
      {"LABEL", "72.7 X 130 MM"},
      {"LANGUAGES", "CPCL, TSPL"},
  };
  for (const auto& f : facts) {
    Text(b, kTextX, y, f[0], 2);
    Text(b, kTextX + 180, y, f[1], 2);
    y += 14 + 6;
  }
}

// 8 black wedges of 22.5 degrees: a classic test of fine detail.
void DrawStar(Bitmap& b, int cx, int cy, int r) {
  // cos and sin of k * 22.5 degrees, times 1000, for k = 0 .. 15.
  static const int kDir[16][2] = {{1000, 0},   {924, 383},   {707, 707},   {383, 924},   {0, 1000},   {-383, 924},
                                  {-707, 707}, {-924, 383},  {-1000, 0},   {-924, -383}, {-707, -707}, {-383, -924},
                                  {0, -1000},  {383, -924},  {707, -707},  {924, -383}};
  for (int y = -r; y <= r; ++y) {
    for (int x = -r; x <= r; ++x) {
      if (x * x + y * y > r * r) continue;
      for (int k = 0; k < 16; k += 2) {
        const int* a = kDir[k];
        const int* c = kDir[(k + 1) % 16];
        if (a[0] * y - a[1] * x >= 0 && x * c[1] - y * c[0] > 0) {
          b.Set(cx + x, cy + y, true);
          break;
        }
      }
    }
  }
  b.FillCircle(cx, cy, 2, false);
}

// Lower panel: barcode and QR code, dithered greys, line widths and the star,
// a note for the reader and the footer bar.
void DrawLowerPanel(Bitmap& b, int barH) {
  const int top = 408, height = 564;
  b.FrameRounded(kPanelX, top, kPanelW, height, 12, kLine);

  // EAN-13, three dots a module, with its digits under the bars.
  const std::string digits = [] {
    std::string d = "200203072130";
    return d + static_cast<char>('0' + Ean13CheckDigit(d));
  }();
  const std::string modules = Ean13Modules(digits);
  const int barX = 64, barY = 448, module = 3;
  Text(b, barX, 424, "EAN-13", 2);
  for (std::size_t i = 0; i < modules.size(); ++i) {
    if (modules[i] != '1') continue;
    const bool guard = i < 3 || (i >= 45 && i < 50) || i >= 92;
    b.Fill(barX + static_cast<int>(i) * module, barY, module, barH + (guard ? 12 : 0));
  }
  Text(b, barX - 16, barY + barH + 4, digits.substr(0, 1), 2);
  // Each half's six digits centred under its 42 modules.
  TextCentred(b, barX + 24 * module, barY + barH + 4, digits.substr(1, 6), 2);
  TextCentred(b, barX + 71 * module, barY + barH + 4, digits.substr(7, 6), 2);

  // QR code, five dots a module.
  const QrSymbol qr = EncodeQrV3M("DEVEDER SAMPLE LABEL 203DPI 72.7X130MM");
  const int qrX = 380, qrY = 448, qrModule = 5;
  Text(b, qrX, 424, "QR CODE", 2);
  for (int y = 0; y < qr.size; ++y)
    for (int x = 0; x < qr.size; ++x)
      if (qr.At(x, y)) b.Fill(qrX + x * qrModule, qrY + y * qrModule, qrModule, qrModule);

  // Greys by ordered dithering (4 x 4 Bayer matrix).
  static const int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  const int greys[5] = {2, 4, 8, 12, 16};  // sixteenths
  const char* const names[5] = {"12%", "25%", "50%", "75%", "100%"};
  Text(b, kTextX, 612, "DITHERED GREYS", 2);
  for (int i = 0; i < 5; ++i) {
    const int x0 = kTextX + i * 101, y0 = 632, w = 92, h = 48;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (kBayer[y % 4][x % 4] < greys[i]) b.Set(x0 + x, y0 + y, true);
    TextCentred(b, x0 + w / 2, y0 + h + 6, names[i], 2);
  }

  // Line widths of 1 to 4 dots, three lines each, and the star.
  Text(b, kTextX, 716, "LINES 1 2 3 4 DOTS", 2);
  int x = kTextX;
  for (int w = 1; w <= 4; ++w) {
    for (int k = 0; k < 3; ++k, x += 2 * w) b.Fill(x, 738, w, 62);
    x += 18;
  }
  DrawStar(b, 300, 770, 44);
  Text(b, 362, 740, "FINE DETAIL", 2);
  Text(b, 362, 762, "Wedges meet", 2);
  Text(b, 362, 782, "in the centre", 2);

  // A note for the reader.
  b.Fill(kTextX, 820, kTextRight - kTextX, 1);
  Text(b, kTextX, 834, "Check: edges sharp, greys even,", 2);
  Text(b, kTextX, 854, "both codes scan, nothing missing.", 2);
  Text(b, kTextX, 878, "Printed by the DEVeder service tool.", 2);

  // Footer bar; the test number is drawn into it separately.
  b.FillRounded(kTextX, kFooterY, kTextRight - kTextX, kFooterH, 10);
  Text(b, kTextX + 16, kFooterY + (kFooterH - 21) / 2, "TEST PRINT", 3, false);
}

Bitmap DrawLabelBody(int barHeight) {
  Bitmap b(kLabelWidth, kLabelHeight);
  DrawBanner(b);
  DrawUpperPanel(b);
  DrawLowerPanel(b, barHeight);
  Text(b, NumberX(), kNumberY, kNumberPrefix, kNumberScale, false);
  return b;
}

// Where digit `place` (0 = first) of the test number starts.
int DigitX(int place) { return NumberX() + (4 + place) * 6 * kNumberScale; }

// One line of `label` from (x, y), `bytes` bytes across: a set bit is a
// blank (PCX palette entry 1 is white; TSPL prints the clear bits).
void PackLine(const Bitmap& label, int x, int y, int bytes, std::string& out) {
  for (int i = 0; i < bytes; ++i) {
    unsigned v = 0;
    for (int bit = 0; bit < 8; ++bit) v = (v << 1) | (label.At(x + i * 8 + bit, y) ? 0u : 1u);
    out.push_back(static_cast<char>(v));
  }
}

void EncodeRunLength(const std::string& line, std::string& out) {
  std::size_t i = 0;
  while (i < line.size()) {
    const unsigned char v = static_cast<unsigned char>(line[i]);
    std::size_t run = 1;
    while (i + run < line.size() && run < 63 && static_cast<unsigned char>(line[i + run]) == v) ++run;
    // A single byte stands for itself unless its top two bits are set,
    // which would make it read as a count.
    if (run > 1 || v >= 0xC0) out.push_back(static_cast<char>(0xC0 | run));
    out.push_back(static_cast<char>(v));
    i += run;
  }
}

std::size_t RunLengthCost(const Bitmap& label, int y) {
  std::string line, enc;
  PackLine(label, kPcxX, y, kPcxBytesPerLine, line);
  EncodeRunLength(line, enc);
  return enc.size();
}

void PutLe16(std::string& s, std::size_t at, int v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

}  // namespace

Bitmap DrawSampleLabel(const LabelTuning& tuning) {
  Bitmap b = DrawLabelBody(tuning.barHeight);
  const std::string digits = NumberText(tuning.testNumber).substr(4);
  for (int place = 0; place < 5; ++place)
    Text(b, DigitX(place), kNumberY, digits.substr(static_cast<std::size_t>(place), 1), kNumberScale, false);
  return b;
}

std::string PcxRunLength(const Bitmap& label, int x, int y, int width, int height) {
  std::string out, line;
  for (int row = y; row < y + height; ++row) {
    line.clear();
    PackLine(label, x, row, width / 8, line);
    EncodeRunLength(line, out);
  }
  return out;
}

std::string PcxHeader() {
  std::string h(kPcxHeaderBytes, '\0');
  h[0] = 10;  // manufacturer
  h[1] = 5;   // version
  h[2] = 1;   // run-length encoding
  h[3] = 1;   // bits a pixel
  PutLe16(h, 4, 0);
  PutLe16(h, 6, 0);
  PutLe16(h, 8, kPcxWidth - 1);
  PutLe16(h, 10, kPcxHeight - 1);
  PutLe16(h, 12, 300);
  PutLe16(h, 14, 300);
  // 16-colour palette at 16: entry 0 black, entry 1 white.
  h[19] = h[20] = h[21] = static_cast<char>(0xFF);
  h[65] = 1;  // colour planes
  PutLe16(h, 66, kPcxBytesPerLine);
  PutLe16(h, 68, 1);  // palette type: colour or black and white
  return h;
}

std::string CpclJob(const Bitmap& label) {
  std::string job = "! 8 203 203 1039 1\r\nPCX 8 56\r\n";
  job += PcxHeader();
  job += PcxRunLength(label, kPcxX, kPcxY, kPcxWidth, kPcxHeight);
  job += "\r\nPRINT\r\n";
  return job;
}

std::string TsplJob(const Bitmap& label) {
  std::string job =
      "SIZE 72.7 mm, 130 mm\r\nDIRECTION 0,0\r\nREFERENCE 0,0\r\nOFFSET 0 mm\r\nSET PEEL OFF\r\n"
      "SET CUTTER OFF\r\nSET PARTIAL_CUTTER OFF\r\nSET TEAR ON\r\nCLS\r\n";
  for (const TsplBlock& blk : kTsplBlocks) {
    job += "BITMAP " + std::to_string(blk.x) + "," + std::to_string(blk.y) + "," + std::to_string(blk.widthBytes) +
           "," + std::to_string(blk.height) + ",1,";
    for (int row = 0; row < blk.height; ++row) PackLine(label, blk.x, blk.y + row, blk.widthBytes, job);
    job += "\r\n";
  }
  job += "PRINT 1,1\r\n";
  return job;
}

std::optional<SampleJobs> BuildSampleJobs(std::string& error) {
  // The test number only changes the lines it is drawn on, the bar height
  // only the others. First every number is costed once, over the footer
  // lines of the bare label, as bits set into their packed bytes...
  constexpr int kRows = 7 * kNumberScale;
  const int numberTop = kNumberY - kPcxY;
  const Bitmap bare = DrawLabelBody(kPreferredBarHeight);
  std::string base[kRows];
  for (int r = 0; r < kRows; ++r) PackLine(bare, kPcxX, kNumberY + r, kPcxBytesPerLine, base[r]);
  struct Bit {
    int row, byte;
    char mask;
  };
  std::vector<Bit> digitBits[5][10];
  for (int place = 0; place < 5; ++place) {
    for (int d = 0; d < 10; ++d) {
      const Bitmap glyph = RenderText(std::string(1, static_cast<char>('0' + d)), kNumberScale);
      for (int gy = 0; gy < glyph.height(); ++gy) {
        for (int gx = 0; gx < glyph.width(); ++gx) {
          if (!glyph.At(gx, gy)) continue;
          const int i = DigitX(place) + gx - kPcxX;
          digitBits[place][d].push_back({gy, i / 8, static_cast<char>(0x80 >> (i % 8))});
        }
      }
    }
  }
  std::map<std::size_t, int> firstNumberOfCost;
  std::string rows[kRows], enc;
  for (int n = 0; n < 100000; ++n) {
    for (int r = 0; r < kRows; ++r) rows[r] = base[r];
    for (int place = 0, rest = n; place < 5; ++place, rest /= 10)
      for (const Bit& bit : digitBits[4 - place][rest % 10]) rows[bit.row][static_cast<std::size_t>(bit.byte)] |= bit.mask;
    enc.clear();
    for (const std::string& row : rows) EncodeRunLength(row, enc);
    firstNumberOfCost.emplace(enc.size(), n);
  }
  // ...then bar heights near the preferred one are tried until the rest of
  // the picture leaves a cost that some number has.
  for (int step = 0; step <= kBarHeightSlack; ++step) {
    for (int sign : {-1, 1}) {
      if (step == 0 && sign > 0) continue;
      LabelTuning tuning;
      tuning.barHeight = kPreferredBarHeight + sign * step;
      const Bitmap body = DrawLabelBody(tuning.barHeight);
      std::size_t fixed = 0;
      for (int row = 0; row < kPcxHeight; ++row)
        if (row < numberTop || row >= numberTop + kRows) fixed += RunLengthCost(body, kPcxY + row);
      if (fixed >= static_cast<std::size_t>(kPcxDataBytes)) continue;
      const auto hit = firstNumberOfCost.find(static_cast<std::size_t>(kPcxDataBytes) - fixed);
      if (hit == firstNumberOfCost.end()) continue;
      tuning.testNumber = hit->second;
      const Bitmap label = DrawSampleLabel(tuning);
      SampleJobs jobs;
      jobs.tuning = tuning;
      jobs.cpcl = CpclJob(label);
      jobs.tspl = TsplJob(label);
      return jobs;
    }
  }
  std::size_t fixedPreferred = 0;
  for (int row = 0; row < kPcxHeight; ++row)
    if (row < numberTop || row >= numberTop + kRows) fixedPreferred += RunLengthCost(bare, kPcxY + row);
  error = "no bar height within " + std::to_string(kBarHeightSlack) + " dots of " +
          std::to_string(kPreferredBarHeight) + " with a test number gives " + std::to_string(kPcxDataBytes) +
          " bytes of PCX data; at the preferred height the picture without its number takes " +
          std::to_string(fixedPreferred) + " bytes and the number " + std::to_string(firstNumberOfCost.begin()->first) +
          " to " + std::to_string(firstNumberOfCost.rbegin()->first);
  return std::nullopt;
}

}  // namespace deveder::label
