// A small QR code encoder: byte mode, version 3, error correction level M
// (up to 42 bytes of text, one Reed-Solomon block), mask chosen by the usual
// penalty rules.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace deveder::label {

// The error-correction codewords of `data` for a generator of `degree`
// (Reed-Solomon over GF(256), polynomial 0x11D).
std::vector<std::uint8_t> ReedSolomonRemainder(const std::vector<std::uint8_t>& data, int degree);

// The 15 format bits of level M with mask `mask` (0-7), bit 14 first.
int QrFormatBitsM(int mask);

// A square of modules, true = dark; row-major, Size() x Size().
struct QrSymbol {
  int size = 0;
  std::vector<bool> dark;
  bool At(int x, int y) const { return dark[static_cast<std::size_t>(y) * size + x]; }
};

// Encodes `text` (bytes as they are). An empty symbol when it does not fit.
QrSymbol EncodeQrV3M(const std::string& text);

}  // namespace deveder::label
