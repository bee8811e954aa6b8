#include "tools/sample_label/qr_code.h"

#include <algorithm>
#include <cstdlib>

namespace deveder::label {

namespace {

constexpr int kVersion = 3;
constexpr int kSize = 17 + 4 * kVersion;  // 29 modules
constexpr int kDataCodewords = 44;        // version 3-M: 70 codewords, 26 of them check codewords
constexpr int kCheckCodewords = 26;
constexpr int kAlignCentre = 22;          // the one alignment pattern of version 3

std::uint8_t GfMultiply(std::uint8_t a, std::uint8_t b) {
  int r = 0;
  for (int i = 7; i >= 0; --i) {
    r = (r << 1) ^ ((r >> 7) * 0x11D);
    if ((b >> i) & 1) r ^= a;
  }
  return static_cast<std::uint8_t>(r);
}

class Grid {
 public:
  Grid() : dark_(kSize * kSize, false), function_(kSize * kSize, false) {}
  bool Dark(int x, int y) const { return dark_[Index(x, y)]; }
  bool IsFunction(int x, int y) const { return function_[Index(x, y)]; }
  void SetFunction(int x, int y, bool dark) {
    dark_[Index(x, y)] = dark;
    function_[Index(x, y)] = true;
  }
  void SetData(int x, int y, bool dark) { dark_[Index(x, y)] = dark; }
  void Flip(int x, int y) { dark_[Index(x, y)] = !dark_[Index(x, y)]; }
  const std::vector<bool>& modules() const { return dark_; }

 private:
  static std::size_t Index(int x, int y) { return static_cast<std::size_t>(y) * kSize + x; }
  std::vector<bool> dark_, function_;
};

void DrawFinder(Grid& g, int cx, int cy) {
  // A 7 x 7 ring pattern with a 3 x 3 centre, and its light separator.
  for (int dy = -4; dy <= 4; ++dy) {
    for (int dx = -4; dx <= 4; ++dx) {
      const int x = cx + dx, y = cy + dy;
      if (x < 0 || y < 0 || x >= kSize || y >= kSize) continue;
      const int dist = std::max(std::abs(dx), std::abs(dy));
      g.SetFunction(x, y, dist != 2 && dist != 4);
    }
  }
}

void DrawFormatBits(Grid& g, int mask) {
  const int bits = QrFormatBitsM(mask);
  auto bit = [bits](int i) { return ((bits >> i) & 1) != 0; };
  // Around the top left finder.
  for (int i = 0; i <= 5; ++i) g.SetFunction(8, i, bit(i));
  g.SetFunction(8, 7, bit(6));
  g.SetFunction(8, 8, bit(7));
  g.SetFunction(7, 8, bit(8));
  for (int i = 9; i < 15; ++i) g.SetFunction(14 - i, 8, bit(i));
  // The copy beside the other two finders.
  for (int i = 0; i < 8; ++i) g.SetFunction(kSize - 1 - i, 8, bit(i));
  for (int i = 8; i < 15; ++i) g.SetFunction(8, kSize - 15 + i, bit(i));
  g.SetFunction(8, kSize - 8, true);  // the dark module
}

void DrawFunctionPatterns(Grid& g) {
  for (int i = 0; i < kSize; ++i) {
    g.SetFunction(6, i, i % 2 == 0);
    g.SetFunction(i, 6, i % 2 == 0);
  }
  DrawFinder(g, 3, 3);
  DrawFinder(g, kSize - 4, 3);
  DrawFinder(g, 3, kSize - 4);
  for (int dy = -2; dy <= 2; ++dy)
    for (int dx = -2; dx <= 2; ++dx)
      g.SetFunction(kAlignCentre + dx, kAlignCentre + dy, std::max(std::abs(dx), std::abs(dy)) != 1);
  DrawFormatBits(g, 0);  // reserves the format areas; redrawn with the chosen mask
}

bool MaskHits(int mask, int x, int y) {
  switch (mask) {
    case 0: return (x + y) % 2 == 0;
    case 1: return y % 2 == 0;
    case 2: return x % 3 == 0;
    case 3: return (x + y) % 3 == 0;
    case 4: return (x / 3 + y / 2) % 2 == 0;
    case 5: return x * y % 2 + x * y % 3 == 0;
    case 6: return (x * y % 2 + x * y % 3) % 2 == 0;
    default: return ((x + y) % 2 + x * y % 3) % 2 == 0;
  }
}

void ApplyMask(Grid& g, int mask) {
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x)
      if (!g.IsFunction(x, y) && MaskHits(mask, x, y)) g.Flip(x, y);
}

// The penalty score of a finished symbol: runs, 2 x 2 blocks, finder-like
// sequences and the balance of dark and light.
long Penalty(const Grid& g) {
  long score = 0;
  auto line = [&](bool columns) {
    for (int a = 0; a < kSize; ++a) {
      int run = 0;
      bool colour = false;
      std::vector<bool> seq;
      for (int b = 0; b < kSize; ++b) {
        const bool d = columns ? g.Dark(a, b) : g.Dark(b, a);
        seq.push_back(d);
        if (b > 0 && d == colour) {
          ++run;
        } else {
          if (run >= 5) score += 3 + (run - 5);
          colour = d;
          run = 1;
        }
      }
      if (run >= 5) score += 3 + (run - 5);
      // 1:1:3:1:1 dark-light-dark-light-dark with four light modules on
      // either side (outside the symbol counts as light).
      static const bool kCore[7] = {true, false, true, true, true, false, true};
      for (int s = -4; s < kSize; ++s) {
        bool core = true;
        for (int k = 0; k < 7 && core; ++k) {
          const int i = s + k;
          core = i >= 0 && i < kSize && seq[static_cast<std::size_t>(i)] == kCore[k];
        }
        if (!core) continue;
        auto light = [&](int from) {
          for (int i = from; i < from + 4; ++i)
            if (i >= 0 && i < kSize && seq[static_cast<std::size_t>(i)]) return false;
          return true;
        };
        if (light(s - 4)) score += 40;
        if (light(s + 7)) score += 40;
      }
    }
  };
  line(false);
  line(true);
  int darkCount = 0;
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      darkCount += g.Dark(x, y);
      if (x + 1 < kSize && y + 1 < kSize) {
        const bool d = g.Dark(x, y);
        if (g.Dark(x + 1, y) == d && g.Dark(x, y + 1) == d && g.Dark(x + 1, y + 1) == d) score += 3;
      }
    }
  }
  const int total = kSize * kSize;
  const int k = (std::abs(darkCount * 20 - total * 10) + total - 1) / total - 1;
  score += 10L * (k > 0 ? k : 0);
  return score;
}

}  // namespace

std::vector<std::uint8_t> ReedSolomonRemainder(const std::vector<std::uint8_t>& data, int degree) {
  // Generator: the product of (x - 2^i) for i = 0 .. degree-1, leading 1 left out.
  std::vector<std::uint8_t> divisor(static_cast<std::size_t>(degree), 0);
  divisor.back() = 1;
  std::uint8_t root = 1;
  for (int i = 0; i < degree; ++i) {
    for (std::size_t j = 0; j < divisor.size(); ++j) {
      divisor[j] = GfMultiply(divisor[j], root);
      if (j + 1 < divisor.size()) divisor[j] ^= divisor[j + 1];
    }
    root = GfMultiply(root, 0x02);
  }
  std::vector<std::uint8_t> result(static_cast<std::size_t>(degree), 0);
  for (std::uint8_t b : data) {
    const std::uint8_t factor = b ^ result.front();
    result.erase(result.begin());
    result.push_back(0);
    for (std::size_t i = 0; i < result.size(); ++i) result[i] ^= GfMultiply(divisor[i], factor);
  }
  return result;
}

int QrFormatBitsM(int mask) {
  const int data = (0 << 3) | (mask & 7);  // level M is 00
  int rem = data;
  for (int i = 0; i < 10; ++i) rem = (rem << 1) ^ ((rem >> 9) * 0x537);
  return ((data << 10) | rem) ^ 0x5412;
}

QrSymbol EncodeQrV3M(const std::string& text) {
  if (text.size() > kDataCodewords - 2) return {};
  // Mode 0100 (bytes), an 8-bit count, the bytes, a terminator of up to four
  // zero bits, zero bits to the byte, then the pad bytes EC 11 in turn.
  std::vector<bool> bits;
  auto put = [&bits](unsigned value, int count) {
    for (int i = count - 1; i >= 0; --i) bits.push_back(((value >> i) & 1) != 0);
  };
  put(0x4, 4);
  put(static_cast<unsigned>(text.size()), 8);
  for (unsigned char c : text) put(c, 8);
  const std::size_t capacityBits = kDataCodewords * 8;
  for (int i = 0; i < 4 && bits.size() < capacityBits; ++i) bits.push_back(false);
  while (bits.size() % 8) bits.push_back(false);
  for (unsigned pad = 0xEC; bits.size() < capacityBits; pad ^= 0xEC ^ 0x11) put(pad, 8);

  std::vector<std::uint8_t> codewords(kDataCodewords, 0);
  for (std::size_t i = 0; i < bits.size(); ++i)
    if (bits[i]) codewords[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
  const std::vector<std::uint8_t> check = ReedSolomonRemainder(codewords, kCheckCodewords);
  codewords.insert(codewords.end(), check.begin(), check.end());

  Grid grid;
  DrawFunctionPatterns(grid);
  // Two-module columns from the right edge, up and down in turn, skipping
  // the vertical timing pattern.
  std::size_t i = 0;
  for (int right = kSize - 1; right >= 1; right -= 2) {
    if (right == 6) right = 5;
    for (int vert = 0; vert < kSize; ++vert) {
      for (int j = 0; j < 2; ++j) {
        const int x = right - j;
        const bool upward = ((right + 1) & 2) == 0;
        const int y = upward ? kSize - 1 - vert : vert;
        if (grid.IsFunction(x, y) || i >= codewords.size() * 8) continue;
        grid.SetData(x, y, (codewords[i / 8] >> (7 - i % 8)) & 1);
        ++i;
      }
    }
  }

  int bestMask = 0;
  long bestScore = -1;
  for (int mask = 0; mask < 8; ++mask) {
    ApplyMask(grid, mask);
    DrawFormatBits(grid, mask);
    const long score = Penalty(grid);
    if (bestScore < 0 || score < bestScore) {
      bestScore = score;
      bestMask = mask;
    }
    ApplyMask(grid, mask);  // undo
  }
  ApplyMask(grid, bestMask);
  DrawFormatBits(grid, bestMask);

  QrSymbol out;
  out.size = kSize;
  out.dark = grid.modules();
  return out;
}

}  // namespace deveder::label
