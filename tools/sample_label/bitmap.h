// A 1-bit drawing surface and the few shapes the sample label is made of.
// Plain integer geometry only, so that the picture is the same bytes on every
// machine and compiler.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace deveder::label {

// One byte a pixel, 1 = a printed (black) dot. Drawing outside is clipped.
class Bitmap {
 public:
  Bitmap(int width, int height) : w_(width), h_(height), px_(static_cast<std::size_t>(width) * height, 0) {}

  int width() const { return w_; }
  int height() const { return h_; }
  bool At(int x, int y) const { return x >= 0 && y >= 0 && x < w_ && y < h_ && px_[Index(x, y)]; }
  void Set(int x, int y, bool dot) {
    if (x >= 0 && y >= 0 && x < w_ && y < h_) px_[Index(x, y)] = dot ? 1 : 0;
  }

  void Fill(int x, int y, int w, int h, bool dot = true);
  // A filled rectangle whose corners are rounded with radius r.
  void FillRounded(int x, int y, int w, int h, int r, bool dot = true);
  // The outline of a rounded rectangle, `t` dots thick, inside the bounds.
  void FrameRounded(int x, int y, int w, int h, int r, int t);
  void FillCircle(int cx, int cy, int r, bool dot = true);
  // Copies `src` with its top left corner at (x, y). Dots of `src` are drawn
  // in `dot`, its blanks leave the surface as it is.
  void Stamp(const Bitmap& src, int x, int y, bool dot = true);

 private:
  std::size_t Index(int x, int y) const { return static_cast<std::size_t>(y) * w_ + x; }
  int w_, h_;
  std::vector<std::uint8_t> px_;
};

// ---- type -----------------------------------------------------------------
// Text in a 5 x 7 dot face with two more rows for descenders (printable
// ASCII; unknown characters are blank), one blank column between characters. `scale` magnifies it: powers of two
// are smoothed so that diagonals stay diagonals, other factors repeat dots.
Bitmap RenderText(const std::string& text, int scale);
// Width in dots of `text` at `scale`, without the trailing blank column.
int TextWidth(const std::string& text, int scale);

// Doubles a picture, keeping edges smooth (the Scale2x rule).
Bitmap Smooth2x(const Bitmap& src);

// ---- EAN-13 ---------------------------------------------------------------
// The check digit of twelve digits.
int Ean13CheckDigit(const std::string& twelveDigits);
// The 95 modules of an EAN-13 symbol of 13 digits, '1' for a bar; empty when
// the text is not 13 digits with the right check digit.
std::string Ean13Modules(const std::string& thirteenDigits);

}  // namespace deveder::label
