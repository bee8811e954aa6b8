// The printer's firmware loaders: XOR framing on a serial line, sum framing
// over USB. Requests are checked and answered; the image is assembled and
// recorded with its size and hash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace deveder::sim {

class PrinterSim;

class FirmwareLoader {
 public:
  enum class Framing { Xor, Sum };
  explicit FirmwareLoader(PrinterSim& sim);

  // A packet of `framing` begins with the next byte given to Consume.
  void BeginPacket(Framing framing);
  // Takes bytes of the packet being received; returns how many it took.
  // Fewer than n means the packet ended (complete or rejected).
  std::size_t Consume(const char* data, std::size_t n);
  bool InPacket() const { return inPacket_; }

 private:
  void HandlePacket();

  PrinterSim& sim_;
  Framing framing_ = Framing::Xor;
  bool inPacket_ = false;
  std::string packet_;
};

}  // namespace deveder::sim
