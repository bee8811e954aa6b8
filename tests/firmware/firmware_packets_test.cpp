// Packets of both framings byte for byte, and the reply receiver fed one
// byte at a time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/firmware_packets.h"

using namespace deveder;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Hex(const std::string& text) {
  Bytes out;
  for (std::size_t i = 0; i < text.size(); i += 3) out.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
  return out;
}

Bytes Xor(ReplyReceiver& r, std::uint16_t command, std::uint32_t argument, const Bytes& payload = {}) {
  Bytes buf(12 + payload.size());
  const auto n = BuildXorPacket(r, buf.data(), command, argument, payload.data(), static_cast<std::uint16_t>(payload.size()));
  EXPECT_EQ(n, buf.size());
  return buf;
}

Bytes Sum(ReplyReceiver& r, std::uint32_t command, const Bytes& payload) {
  Bytes buf(13 + payload.size());
  const auto n = BuildSumPacket(r, buf.data(), command, payload.data(), static_cast<std::uint32_t>(payload.size()));
  EXPECT_EQ(n, buf.size());
  return buf;
}

Bytes SizePayload(std::uint32_t size) {
  Bytes p(9);
  EXPECT_EQ(PutImageSize(p.data(), size), 9);
  return p;
}

void FeedXor(ReplyReceiver& r, const Bytes& bytes) {
  for (auto b : bytes) r.FeedXorReplyByte(b);
}
void FeedSum(ReplyReceiver& r, const Bytes& bytes) {
  for (auto b : bytes) r.FeedSumReplyByte(b);
}

// An XOR reply with correct checks.
Bytes XorReply(std::uint16_t command, std::uint32_t argument, const Bytes& payload = {}) {
  ReplyReceiver scratch;
  Bytes b = Xor(scratch, command, argument, payload);
  b[1] = 0xAE;
  b[10] ^= 0xAF ^ 0xAE;
  return b;
}

// A sum reply carrying `payload` after a count and one byte, as a printer may.
Bytes SumReply(std::uint32_t command, const Bytes& payload = {}) {
  ReplyReceiver scratch;
  if (payload.empty()) return Sum(scratch, command, {});
  Bytes body{static_cast<std::uint8_t>(payload.size() >> 24), static_cast<std::uint8_t>(payload.size() >> 16),
             static_cast<std::uint8_t>(payload.size() >> 8), static_cast<std::uint8_t>(payload.size()), 0x00};
  body.insert(body.end(), payload.begin(), payload.end());
  // Bytes 8 to 11 of a frame are its payload length field: write the count
  // there by building the frame by hand.
  Bytes f{0x1B, 0x10, 0, 0, static_cast<std::uint8_t>(command >> 16), static_cast<std::uint8_t>(command >> 8),
          static_cast<std::uint8_t>(command), 0};
  f.insert(f.end(), body.begin(), body.end());
  const std::size_t L = f.size() - 7 + 1;
  f[2] = static_cast<std::uint8_t>(L >> 8);
  f[3] = static_cast<std::uint8_t>(L);
  std::uint8_t s = 0;
  for (auto b : f) s = static_cast<std::uint8_t>(s + b);
  f.push_back(s);
  return f;
}

}  // namespace

TEST(FirmwarePackets, XorRequestsByteForByte) {
  ReplyReceiver r;
  EXPECT_EQ(Xor(r, 0x2B, 115200), Hex("03 AF 2B 00 00 C2 01 00 00 00 44 00"));
  EXPECT_EQ(Xor(r, 0x2F, 0), Hex("03 AF 2F 00 00 00 00 00 00 00 83 00"));
  EXPECT_EQ(Xor(r, 0x2F, 0xFFFFFFFF), Hex("03 AF 2F 00 FF FF FF FF 00 00 83 00"));
  EXPECT_EQ(Xor(r, 0x2E, 256, {0x61, 0x62, 0x63}), Hex("03 AF 2E 00 00 01 00 00 03 00 80 60 61 62 63"));
}

TEST(FirmwarePackets, SumRequestsByteForByte) {
  ReplyReceiver r;
  EXPECT_EQ(SizePayload(1000), Hex("00 00 00 00 00 00 00 03 E8"));
  EXPECT_EQ(Sum(r, 3, SizePayload(1000)), Hex("1B 10 00 0F 00 00 03 00 00 00 00 09 00 00 00 00 00 00 00 03 E8 31"));
  EXPECT_EQ(Sum(r, 6, SizePayload(1000)), Hex("1B 10 00 0F 00 00 06 00 00 00 00 09 00 00 00 00 00 00 00 03 E8 34"));
  EXPECT_EQ(Sum(r, 4, {0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x03, 0x61, 0x62, 0x63}),
            Hex("1B 10 00 10 00 00 04 00 00 00 00 0A 00 00 00 00 02 00 03 61 62 63 74"));
  // Block headers: number and count big-endian, every byte of both used.
  Bytes header(7, 0xEE);
  EXPECT_EQ(PutSumBlockHeader(header.data(), 2, 3), 7);
  EXPECT_EQ(header, Hex("00 00 00 00 02 00 03"));
  EXPECT_EQ(PutSumBlockHeader(header.data(), 0x01020304, 0x0100), 7);
  EXPECT_EQ(header, Hex("00 01 02 03 04 01 00"));
  // The 16-bit frame length carries at most 65529 payload bytes.
  std::vector<std::uint8_t> big(65536);
  EXPECT_EQ(BuildSumPacket(r, big.data(), 4, big.data(), 65530), 0u);
}

TEST(ReplyReceiver, RecognisesTheDocumentedReplies) {
  ReplyReceiver r;
  Xor(r, 0x2B, 115200);
  FeedXor(r, Hex("03 AE 2B 00 00 C2 01 00 00 00 45 00"));
  EXPECT_TRUE(r.Acknowledged());
  r.Reset();
  Sum(r, 3, SizePayload(1000));
  FeedSum(r, Hex("1B 10 00 06 00 00 03 00 00 00 00 00 34"));
  EXPECT_TRUE(r.Acknowledged());
  EXPECT_EQ(r.TakeSumReplyPayload(nullptr, 0), 0);
}

TEST(ReplyReceiver, RepeatedLeadBytesStartTheFrame) {
  ReplyReceiver r;
  Xor(r, 0x2F, 0);
  Bytes x = XorReply(0x2F, 0);
  x.insert(x.begin(), {0x55, 0x03});
  FeedXor(r, x);
  EXPECT_TRUE(r.Acknowledged());

  r.Reset();
  Sum(r, 4, {0, 0, 0, 0, 0, 0, 0});
  Bytes s = SumReply(4);
  s.insert(s.begin(), {0x1B, 0x00, 0x1B});  // a lead followed by anything else is dropped
  FeedSum(r, s);
  EXPECT_TRUE(r.Acknowledged());
}

TEST(ReplyReceiver, XorBrokenHeaderIsDroppedAndHuntingGoesOn) {
  ReplyReceiver r;
  Xor(r, 0x2F, 0);
  Bytes bad = XorReply(0x2F, 0);
  bad[10] ^= 1;
  FeedXor(r, bad);
  EXPECT_FALSE(r.Acknowledged());
  EXPECT_EQ(r.Count(), 0);
  FeedXor(r, XorReply(0x2F, 0));
  EXPECT_TRUE(r.Acknowledged());
}

TEST(ReplyReceiver, XorReplyToAnotherRequestBlocksUntilReset) {
  ReplyReceiver r;
  Xor(r, 0x2E, 512, Bytes(256, 1));
  // Byte 3 is not compared: only the low byte of the command is echoed.
  FeedXor(r, [] { Bytes b = XorReply(0x2E, 512); b[3] = 0x7F; b[10] ^= 0x7F; return b; }());
  EXPECT_TRUE(r.Acknowledged());

  for (const Bytes& other : {XorReply(0x2F, 512), XorReply(0x2E, 256)}) {
    r.Reset();
    FeedXor(r, other);
    FeedXor(r, XorReply(0x2E, 512));  // correct, but the receiver is full
    EXPECT_FALSE(r.Acknowledged());
    r.Reset();
    FeedXor(r, XorReply(0x2E, 512));
    EXPECT_TRUE(r.Acknowledged());
  }
  // A failing payload check blocks the same way.
  r.Reset();
  Bytes bad = XorReply(0x2E, 512, {1, 2, 3});
  bad.back() ^= 0x10;
  FeedXor(r, bad);
  FeedXor(r, XorReply(0x2E, 512));
  EXPECT_FALSE(r.Acknowledged());
}

TEST(ReplyReceiver, SumReplyToAnotherCommandIsDroppedAtItsSeventhByte) {
  ReplyReceiver r;
  Sum(r, 4, {0, 0, 0, 0, 0, 0, 0});
  const Bytes other = SumReply(3);
  for (int i = 0; i < 6; ++i) r.FeedSumReplyByte(other[i]);
  EXPECT_EQ(r.Count(), 6);
  r.FeedSumReplyByte(other[6]);
  EXPECT_EQ(r.Count(), 0);
  FeedSum(r, Bytes(other.begin() + 7, other.end()));
  FeedSum(r, SumReply(4));
  EXPECT_TRUE(r.Acknowledged());

  // A frame length below 6 is dropped at byte 4; a bad checksum blocks.
  r.Reset();
  FeedSum(r, Hex("1B 10 00 05"));
  EXPECT_EQ(r.Count(), 0);
  Bytes bad = SumReply(4);
  bad.back() ^= 1;
  FeedSum(r, bad);
  FeedSum(r, SumReply(4));
  EXPECT_FALSE(r.Acknowledged());
}

TEST(ReplyReceiver, PayloadsAreTakenWithinFrameAndDestination) {
  ReplyReceiver r;
  Xor(r, 0x2B, 1);
  FeedXor(r, XorReply(0x2B, 1, {9, 8, 7}));
  std::uint8_t out[8] = {};
  EXPECT_EQ(r.TakeXorReplyPayload(out, sizeof out), 3);
  EXPECT_EQ(out[2], 7);
  EXPECT_EQ(r.TakeXorReplyPayload(out, 2), 2);
  r.Reset();
  EXPECT_EQ(r.TakeXorReplyPayload(out, sizeof out), 0);

  Sum(r, 3, {});
  FeedSum(r, SumReply(3, {4, 5, 6}));
  ASSERT_TRUE(r.Acknowledged());
  EXPECT_EQ(r.TakeSumReplyPayload(out, sizeof out), 3);
  EXPECT_EQ(out[0], 4);
  // A count that claims more than the frame holds is not trusted.
  r.Reset();
  Bytes lying = SumReply(3, {4, 5, 6});
  lying[11] = 200;
  lying.back() = static_cast<std::uint8_t>(lying.back() + 200 - 3);
  FeedSum(r, lying);
  ASSERT_TRUE(r.Acknowledged());
  EXPECT_EQ(r.TakeSumReplyPayload(out, sizeof out), 0);
}

TEST(ReplyReceiver, FramesTooLongForTheBufferAreDropped) {
  ReplyReceiver r;
  // XOR: 12 + 1013 bytes do not fit 1024; 12 + 1012 do.
  Xor(r, 0x2E, 0);
  FeedXor(r, XorReply(0x2E, 0, Bytes(1013, 0x03)));
  EXPECT_FALSE(r.Acknowledged());
  FeedXor(r, XorReply(0x2E, 0));
  EXPECT_TRUE(r.Acknowledged());
  r.Reset();
  FeedXor(r, XorReply(0x2E, 0, Bytes(1012, 0x42)));
  EXPECT_TRUE(r.Acknowledged());

  // Sum: L above 1017 does not fit; a frame of L = 1017 does.
  r.Reset();
  Sum(r, 4, {});
  FeedSum(r, SumReply(4, Bytes(1011, 0x1B)));  // L = 7 + 1011 = 1018
  EXPECT_FALSE(r.Acknowledged());
  FeedSum(r, SumReply(4));
  EXPECT_TRUE(r.Acknowledged());
  r.Reset();
  const Bytes fits = SumReply(4, Bytes(1010, 0x1B));  // L = 1017
  ASSERT_EQ(fits.size(), 1024u);
  FeedSum(r, fits);
  EXPECT_TRUE(r.Acknowledged());
}
