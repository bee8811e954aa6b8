#include "protocol/firmware_packets.h"

#include "link/port_hooks.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace deveder {

namespace {

constexpr std::uint8_t kXorLead = 0x03;
constexpr std::uint8_t kXorRequestMark = 0xAF;
constexpr std::uint8_t kXorReplyMark = 0xAE;
constexpr std::uint8_t kSumLead = 0x1B;
constexpr std::uint8_t kSumMark = 0x10;
// The smallest sum frame length, counted from byte 7 to the end: the zero
// byte, the payload length field and the checksum.
constexpr int kSumShortestFrameLength = 6;

// Bytes of a reply read from the port at a time.
constexpr int kReadChunk = 256;
// Between two polls of a reply wait the pump runs; a poll returns as soon as
// bytes arrive.
constexpr int kPollSliceMs = 1;

std::uint8_t XorOf(const std::uint8_t* bytes, int count) {
  std::uint8_t x = 0;
  for (int i = 0; i < count; ++i) x ^= bytes[i];
  return x;
}

std::uint8_t SumOf(const std::uint8_t* bytes, std::uint32_t count) {
  std::uint8_t s = 0;
  for (std::uint32_t i = 0; i < count; ++i) s = static_cast<std::uint8_t>(s + bytes[i]);
  return s;
}

void PutLe16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void PutLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void PutBe(std::uint8_t* p, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * (bytes - 1 - i)));
}

std::uint32_t GetBe(const std::uint8_t* p, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  return v;
}

}  // namespace

// ---- receiver ---------------------------------------------------------------

void ReplyReceiver::Reset() {
  count_ = 0;
  declared_ = 0;
  acknowledged_ = false;
}

void ReplyReceiver::ExpectXor(std::uint16_t command, std::uint32_t argument) {
  expectedCommandLow_ = static_cast<std::uint8_t>(command);
  expectedArgument_ = argument;
}

void ReplyReceiver::ExpectSum(std::uint32_t command) { expectedCommand_ = command; }

bool ReplyReceiver::XorReplyMatches() const {
  // Only the command's low byte is echoed reliably; byte 3 is not compared.
  const std::uint32_t argument = static_cast<std::uint32_t>(buffer_[4]) | (static_cast<std::uint32_t>(buffer_[5]) << 8) |
                                 (static_cast<std::uint32_t>(buffer_[6]) << 16) |
                                 (static_cast<std::uint32_t>(buffer_[7]) << 24);
  return buffer_[2] == expectedCommandLow_ && argument == expectedArgument_;
}

void ReplyReceiver::FeedXorReplyByte(std::uint8_t byte) {
  if (count_ == 0) {
    if (byte == kXorLead) buffer_[count_++] = byte;
    return;
  }
  if (count_ == 1) {
    // A repeated lead byte becomes the new first byte.
    if (byte == kXorReplyMark) buffer_[count_++] = byte;
    else if (byte != kXorLead) count_ = 0;
    return;
  }
  if (count_ < kXorHeaderBytes) {
    buffer_[count_++] = byte;
    if (count_ < kXorHeaderBytes) return;
    if (buffer_[10] != XorOf(buffer_, 10)) {
      count_ = 0;  // a broken header: hunt again from the next byte
      return;
    }
    declared_ = buffer_[8] | (buffer_[9] << 8);
    if (kXorHeaderBytes + declared_ > kBufferSize) {
      // The payload would not fit: drop the frame rather than store past the
      // buffer, and hunt again.
      count_ = 0;
      declared_ = 0;
      return;
    }
    if (declared_ == 0 && XorReplyMatches()) acknowledged_ = true;
    return;
  }
  // A complete frame, accepted or not, ignores everything after it.
  if (count_ >= kXorHeaderBytes + declared_) return;
  buffer_[count_++] = byte;
  if (count_ == kXorHeaderBytes + declared_ && XorOf(buffer_ + 11, declared_ + 1) == 0 && XorReplyMatches())
    acknowledged_ = true;
}

void ReplyReceiver::FeedSumReplyByte(std::uint8_t byte) {
  if (count_ == 0) {
    if (byte == kSumLead) buffer_[count_++] = byte;
    return;
  }
  if (count_ == 1) {
    if (byte == kSumMark) buffer_[count_++] = byte;
    else if (byte != kSumLead) count_ = 0;
    return;
  }
  if (count_ < 4) {
    buffer_[count_++] = byte;
    if (count_ < 4) return;
    declared_ = static_cast<int>(GetBe(buffer_ + 2, 2));
    // Too short to be a frame, or too long to fit: hunt again.
    if (declared_ < kSumShortestFrameLength || declared_ + 7 > kBufferSize) {
      count_ = 0;
      declared_ = 0;
    }
    return;
  }
  if (count_ < 7) {
    buffer_[count_++] = byte;
    if (count_ == 7 && GetBe(buffer_ + 4, 3) != (expectedCommand_ & 0xFFFFFF)) {
      count_ = 0;  // a reply to another request
      declared_ = 0;
    }
    return;
  }
  const int total = declared_ + 7;
  if (count_ >= total) return;
  buffer_[count_++] = byte;
  if (count_ == total && SumOf(buffer_, static_cast<std::uint32_t>(total - 1)) == buffer_[total - 1])
    acknowledged_ = true;
}

int ReplyReceiver::TakeXorReplyPayload(std::uint8_t* destination, int capacity) const {
  if (!acknowledged_ || declared_ == 0 || destination == nullptr || capacity <= 0) return 0;
  const int n = std::min(declared_, capacity);
  std::memcpy(destination, buffer_ + kXorHeaderBytes, static_cast<std::size_t>(n));
  return n;
}

int ReplyReceiver::TakeSumReplyPayload(std::uint8_t* destination, int capacity) const {
  if (!acknowledged_ || declared_ <= 7 || destination == nullptr || capacity <= 0) return 0;
  // The payload runs from byte 13 up to the checksum; a count that claims
  // more than the frame holds is not trusted.
  const std::uint32_t count = GetBe(buffer_ + 8, 4);
  const std::uint32_t room = static_cast<std::uint32_t>(declared_ + 7 - 1 - 13);
  if (count > room) return 0;
  const int n = std::min(static_cast<int>(count), capacity);
  std::memcpy(destination, buffer_ + 13, static_cast<std::size_t>(n));
  return n;
}

// ---- packets ------------------------------------------------------------------

std::uint32_t BuildXorPacket(ReplyReceiver& receiver, std::uint8_t* buffer, std::uint16_t command,
                             std::uint32_t argument, const std::uint8_t* payload, std::uint16_t n) {
  buffer[0] = kXorLead;
  buffer[1] = kXorRequestMark;
  PutLe16(buffer + 2, command);
  PutLe32(buffer + 4, argument);
  PutLe16(buffer + 8, n);
  buffer[10] = XorOf(buffer, 10);
  if (n > 0) std::memcpy(buffer + kXorHeaderBytes, payload, n);
  buffer[11] = XorOf(buffer + kXorHeaderBytes, n);
  receiver.ExpectXor(command, argument);
  return kXorHeaderBytes + static_cast<std::uint32_t>(n);
}

std::uint32_t BuildSumPacket(ReplyReceiver& receiver, std::uint8_t* buffer, std::uint32_t command,
                             const std::uint8_t* payload, std::uint32_t n) {
  if (n > kSumLargestPayload) return 0;
  buffer[0] = kSumLead;
  buffer[1] = kSumMark;
  PutBe(buffer + 2, n + 6, 2);
  PutBe(buffer + 4, command, 3);
  buffer[7] = 0;
  PutBe(buffer + 8, n, 4);
  if (n > 0) std::memcpy(buffer + 12, payload, n);
  buffer[12 + n] = SumOf(buffer, 12 + n);
  receiver.ExpectSum(command);
  return kSumOverheadBytes + n;
}

int PutImageSize(std::uint8_t* buffer, std::uint32_t size) {
  std::memset(buffer, 0, 5);
  PutBe(buffer + 5, size, 4);
  return kImageSizeBytes;
}

int PutSumBlockHeader(std::uint8_t* buffer, std::uint32_t block, std::uint16_t count) {
  buffer[0] = 0;
  PutBe(buffer + 1, block, 4);
  PutBe(buffer + 5, count, 2);
  return kSumBlockHeaderBytes;
}

// ---- exchange -------------------------------------------------------------------

bool ExchangePacket(Link& link, ReplyReceiver& receiver, const std::uint8_t* packet, int length,
                    std::uint8_t* reply, int replyCapacity, int* replyLength, int attempts,
                    std::uint32_t limitMs, ReplyFeeder feeder, ReplyTaker taker) {
  if (replyLength) *replyLength = 0;
  std::uint8_t chunk[kReadChunk];
  int sendsLeft = attempts;
  while (true) {
    receiver.Reset();
    const Deadline deadline = Deadline::AfterMs(limitMs);
    int sent = 0;
    // One read after another until the reply is acknowledged or the time
    // limit has passed; the limit is tested at every poll, so a send's wait
    // ends within a poll slice of it.
    do {
      // Bytes the descriptor did not take at once go out as it drains.
      if (sent < length) {
        const IoResult w = link.WriteNow(packet + sent, length - sent);
        if (!w.ok()) return false;
        sent += w.bytes;
      }
      const IoResult r = link.ReadNow(chunk, kReadChunk, milliseconds(std::min(kPollSliceMs, deadline.MsLeft())), false);
      if (r.lost() || r.fault == PortFault::OtherError) return false;
      for (int i = 0; i < r.bytes; ++i) (receiver.*feeder)(chunk[i]);
      if (receiver.Acknowledged()) {
        const int n = (receiver.*taker)(reply, replyCapacity);
        if (replyLength) *replyLength = n;
        receiver.Reset();
        return true;
      }
      CallPortPump();
    } while (!deadline.Passed());
    if (--sendsLeft <= 0) return false;
  }
}

}  // namespace deveder
