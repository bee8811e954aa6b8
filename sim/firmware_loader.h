// The printer's firmware loaders: XOR framing on a serial line, sum framing
// over USB. Requests are checked and answered with replies that echo them;
// the image is assembled and recorded with its size and hash.
//
// XOR loader: "+" with a bit rate is answered at the current speed, and every
// later request must arrive at that rate (tcgetattr on the master shows what
// the tool set); "/" 0 starts an image, "." puts a block at its offset and
// "/" 0xFFFFFFFF ends the image. Blocks always carry 256 bytes, so the image
// it records is the blocks' extent, padding of the last block included.
//
// Sum loader: command 3 announces the size, command 4 carries block number,
// count and data, command 6 repeats the size and ends the image.
//
// Requests with a failing check, for an unknown command, out of order or out
// of place get no reply; the log says why.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace deveder::sim {

class PrinterSim;

class FirmwareLoader {
 public:
  enum class Framing { Xor, Sum };
  // The loader keeps images up to this size.
  static constexpr std::size_t kLargestImage = 64u << 20;

  explicit FirmwareLoader(PrinterSim& sim);

  // A packet of `framing` begins with the next byte given to Consume.
  void BeginPacket(Framing framing);
  // Takes bytes of the packet being received; returns how many it took.
  // Fewer than n means the packet ended (complete or rejected).
  std::size_t Consume(const char* data, std::size_t n);
  bool InPacket() const { return inPacket_; }

 private:
  void Reject(const std::string& why);
  void HandlePacket();
  void HandleXor();
  void HandleSum();
  // Sends `reply` unless the acknowledgement is to be dropped; with the
  // wrong-command fault `stray` (a reply to another request) goes first.
  // False when the acknowledgement was dropped.
  bool Acknowledge(const std::string& reply, const std::string& stray);
  void StartImage(std::uint32_t announced);
  bool PutBlock(std::uint64_t offset, const char* data, std::size_t k);
  void FinishImage(bool complete);
  std::string XorReply(std::uint16_t command, std::uint32_t argument) const;
  std::string SumReply(std::uint32_t command) const;

  PrinterSim& sim_;
  Framing framing_ = Framing::Xor;
  bool inPacket_ = false;
  std::string packet_;
  // The image being received.
  bool active_ = false;
  std::string image_;
  std::uint32_t announced_ = 0;
  // After an acknowledged "+": the rate every later XOR request must use.
  std::uint32_t expectedBaud_ = 0;
  int acksDropped_ = 0;
};

}  // namespace deveder::sim
