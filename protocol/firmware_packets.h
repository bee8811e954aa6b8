// Firmware packets: the two framings, the reply receiver and one
// request/reply exchange with its time limit and resends.
//
// XOR framing (serial ports): 03 AF, command (16 bits), argument (32 bits),
// payload length n (16 bits), all little-endian, then a header check (XOR of
// bytes 0 to 9), a payload check (XOR of the payload) and the payload.
// Replies have 03 AE as lead bytes and echo command and argument.
//
// Sum framing (USB): 1B 10, frame length L = n + 6 (16 bits), command (24
// bits), 00, payload length n (32 bits), all big-endian, the payload and a
// checksum (sum modulo 256 of every byte before it). Replies use the same
// lead bytes and echo the command.
#pragma once

#include <cstdint>

#include "link/link.h"

namespace deveder {

// XOR framing commands.
inline constexpr std::uint16_t kXorSetSpeed = 0x2B;  // "+", argument: the new bit rate
inline constexpr std::uint16_t kXorImage = 0x2F;     // "/", argument 0: start, 0xFFFFFFFF: end
inline constexpr std::uint16_t kXorBlock = 0x2E;     // ".", argument: byte offset of the block
inline constexpr std::uint32_t kXorImageStart = 0;
inline constexpr std::uint32_t kXorImageEnd = 0xFFFFFFFF;

// Sum framing commands.
inline constexpr std::uint32_t kSumBegin = 3;   // payload: the image size
inline constexpr std::uint32_t kSumBlock = 4;   // payload: block number, count, data
inline constexpr std::uint32_t kSumFinish = 6;  // payload: the image size

inline constexpr int kXorHeaderBytes = 12;
inline constexpr int kSumOverheadBytes = 13;
// The sum framing's 16-bit frame length counts the payload plus 6.
inline constexpr std::uint32_t kSumLargestPayload = 0xFFFF - 6;
inline constexpr int kImageSizeBytes = 9;
// Firmware images travel in blocks of this many bytes.
inline constexpr int kFirmwareBlockBytes = 256;
// Header of the sum framing's block payload: 00, block number, count.
inline constexpr int kSumBlockHeaderBytes = 7;

// Recognises reply frames one byte at a time. Building a packet sets what the
// reply must echo; the exchange resets the receiver at every send. A frame
// that cannot fit the 1024-byte buffer is dropped and the receiver hunts for
// the next lead byte.
class ReplyReceiver {
 public:
  static constexpr int kBufferSize = 1024;

  // Count, declared length and acknowledged back to zero; expectations stay.
  void Reset();

  // The expectations, as BuildXorPacket and BuildSumPacket record them.
  void ExpectXor(std::uint16_t command, std::uint32_t argument);
  void ExpectSum(std::uint32_t command);

  void FeedXorReplyByte(std::uint8_t byte);
  void FeedSumReplyByte(std::uint8_t byte);

  // The payload of an acknowledged reply, at most `capacity` bytes of it;
  // 0 when nothing was acknowledged or the reply carries none.
  int TakeXorReplyPayload(std::uint8_t* destination, int capacity) const;
  int TakeSumReplyPayload(std::uint8_t* destination, int capacity) const;

  bool Acknowledged() const { return acknowledged_; }
  // Bytes of the current frame so far; 0 while hunting for a lead byte.
  int Count() const { return count_; }

 private:
  bool XorReplyMatches() const;

  int count_ = 0;
  int declared_ = 0;  // XOR: payload length n; sum: frame length L
  bool acknowledged_ = false;
  std::uint8_t expectedCommandLow_ = 0;
  std::uint32_t expectedArgument_ = 0;
  std::uint32_t expectedCommand_ = 0;
  std::uint8_t buffer_[kBufferSize] = {};
};

// Writes an XOR request into `buffer` (room for 12 + n bytes) and returns its
// length; `payload` may be null when n is 0. Sets the receiver's expectations
// without resetting it.
std::uint32_t BuildXorPacket(ReplyReceiver& receiver, std::uint8_t* buffer, std::uint16_t command,
                             std::uint32_t argument, const std::uint8_t* payload, std::uint16_t n);

// Writes a sum request into `buffer` (room for 13 + n bytes) and returns its
// length; the low 24 bits of `command` are sent. 0, and nothing written, when
// n exceeds kSumLargestPayload: the frame length could not carry it.
std::uint32_t BuildSumPacket(ReplyReceiver& receiver, std::uint8_t* buffer, std::uint32_t command,
                             const std::uint8_t* payload, std::uint32_t n);

// The 9-byte size payload: five zero bytes, then the size big-endian.
int PutImageSize(std::uint8_t* buffer, std::uint32_t size);

// The 7-byte header of a sum-framing block payload: 00, the block number
// (32 bits) and the count of image bytes that follow (16 bits), big-endian.
int PutSumBlockHeader(std::uint8_t* buffer, std::uint32_t block, std::uint16_t count);

using ReplyFeeder = void (ReplyReceiver::*)(std::uint8_t);
using ReplyTaker = int (ReplyReceiver::*)(std::uint8_t*, int) const;

// Sends `packet` and waits up to `limitMs` for an acknowledged reply, sending
// again until `attempts` sends have been made (at least one). The receiver is
// reset at every send and after the reply. Reply waits poll the descriptor and
// call the port pump between polls. On acknowledgement the reply's payload
// goes to `reply` (up to `replyCapacity` bytes, its length to `replyLength`
// when given) and the result is true. A port that fails a write or a read
// ends the exchange at once with false; so does the last send's time limit.
// `packet` must stay valid until the port is closed or the next write starts.
bool ExchangePacket(Link& link, ReplyReceiver& receiver, const std::uint8_t* packet, int length,
                    std::uint8_t* reply, int replyCapacity, int* replyLength, int attempts,
                    std::uint32_t limitMs, ReplyFeeder feeder, ReplyTaker taker);

}  // namespace deveder
