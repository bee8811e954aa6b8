// One packet exchange against the simulated printer's loaders over a real
// pty: resends, time limits, faults and the serial speed switch.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "protocol/firmware_packets.h"
#include "sim/printer_sim.h"
#include "test_support.h"

using namespace deveder;

namespace {

std::unique_ptr<sim::PrinterSim> StartedPrinter(const sim::Faults& faults) {
  sim::Options o;
  o.faults = faults;
  auto printer = std::make_unique<sim::PrinterSim>(o);
  EXPECT_TRUE(printer->Start());
  return printer;
}

struct Rig {
  explicit Rig(bool serial, sim::Faults faults = {})
      : printer(StartedPrinter(faults)), open(OpenLink(printer->PortPath(), {serial, std::nullopt})), port(*open.link) {}

  bool Xor(std::uint16_t command, std::uint32_t argument, int attempts, std::uint32_t limitMs, int n = 0) {
    std::uint8_t payload[256] = {};
    const auto length = BuildXorPacket(receiver, packet, command, argument, payload, static_cast<std::uint16_t>(n));
    return ExchangePacket(port, receiver, packet, static_cast<int>(length), reply, sizeof reply, &replyLength, attempts,
                          limitMs, &ReplyReceiver::FeedXorReplyByte, &ReplyReceiver::TakeXorReplyPayload);
  }
  bool Sum(std::uint32_t command, const std::uint8_t* payload, std::uint32_t n, int attempts, std::uint32_t limitMs) {
    const auto length = BuildSumPacket(receiver, packet, command, payload, n);
    return ExchangePacket(port, receiver, packet, static_cast<int>(length), reply, sizeof reply, &replyLength, attempts,
                          limitMs, &ReplyReceiver::FeedSumReplyByte, &ReplyReceiver::TakeSumReplyPayload);
  }
  bool Begin(std::uint32_t size, int attempts, std::uint32_t limitMs) {
    std::uint8_t p[9];
    PutImageSize(p, size);
    return Sum(3, p, 9, attempts, limitMs);
  }
  std::size_t Sent() const { return printer->Packets().size(); }

  std::unique_ptr<sim::PrinterSim> printer;
  OpenResult open;
  Link& port = *open.link;
  ReplyReceiver receiver;
  std::uint8_t packet[600];
  std::uint8_t reply[1024];
  int replyLength = -1;
};

std::string Note(const sim::PrinterSim& p, std::size_t packet) {
  std::size_t seen = 0;
  for (const auto& e : p.Log())
    if (e.kind == sim::LogEntry::XorPacket || e.kind == sim::LogEntry::SumPacket)
      if (seen++ == packet) return e.note;
  return "";
}

}  // namespace

TEST(FirmwareExchange, AttemptsCountTheSendsAndThePumpRunsWhileWaiting) {
  sim::Faults f;
  f.silent = true;
  Rig l(true, f);
  int pumped = 0;
  tst::PumpHook hook([&] { ++pumped; });
  EXPECT_FALSE(l.Xor(0x2B, 115200, 1, 60));
  EXPECT_EQ(l.Sent(), 1u);
  EXPECT_GT(pumped, 10);
  EXPECT_FALSE(l.Xor(0x2B, 115200, 3, 60));
  l.printer->WaitFor([&] { return l.Sent() == 4u; }, 1000);
  const std::vector<std::string> packets = l.printer->Packets();
  ASSERT_EQ(packets.size(), 4u);
  EXPECT_EQ(packets[3], packets[0]) << "a resend is the same packet";
}

TEST(FirmwareExchange, XorLoaderListensAtTheNewSpeedOnceAcknowledged) {
  Rig l(true);
  ASSERT_TRUE(l.port.Configure(19200).ok());
  ASSERT_TRUE(l.Xor(0x2B, 115200, 1, 500));
  EXPECT_EQ(l.replyLength, 0);
  EXPECT_EQ(Note(*l.printer, 0), "baud 19200");
  // Still at the old speed: the loader does not understand.
  EXPECT_FALSE(l.Xor(0x2F, 0, 1, 100));
  ASSERT_TRUE(l.port.Configure(115200).ok());
  EXPECT_TRUE(l.Xor(0x2F, 0, 1, 500));
  EXPECT_EQ(Note(*l.printer, 2), "baud 115200");
  EXPECT_EQ(l.printer->LineBaud(), 115200u);
}

TEST(FirmwareExchange, DroppedAcknowledgementsAreResent) {
  sim::Faults f;
  f.dropFirstAcks = 2;
  Rig l(false, f);
  EXPECT_TRUE(l.Begin(100, 3, 100));
  EXPECT_EQ(l.Sent(), 3u);
  ASSERT_EQ(l.printer->Firmware().size(), 1u) << "a repeated begin is the same image";
  EXPECT_EQ(l.printer->Firmware()[0].announcedSize, 100u);
}

TEST(FirmwareExchange, RepliesToAnotherRequestInEitherFraming) {
  sim::Faults f;
  f.replyWrongCommand = true;
  f.garbageBeforeReplies = std::string("\x03\x1B\x10\x00", 4);
  {
    // The sum receiver drops the stray reply at its seventh byte.
    Rig l(false, f);
    EXPECT_TRUE(l.Begin(100, 1, 500));
  }
  {
    // The XOR receiver is blocked by it until the send's time runs out.
    Rig l(true, f);
    EXPECT_FALSE(l.Xor(0x2B, 115200, 2, 100));
    EXPECT_EQ(l.Sent(), 2u);
  }
  f.replyWrongCommand = false;
  Rig l(true, f);
  EXPECT_TRUE(l.Xor(0x2B, 115200, 1, 500)) << "garbage alone is skipped";
}

TEST(FirmwareExchange, LoaderChecksRequestsAndAnswersNothingElse) {
  Rig l(false);
  std::uint8_t block[7 + 3] = {0, 0, 0, 0, 0, 0, 3, 'a', 'b', 'c'};
  EXPECT_FALSE(l.Sum(4, block, sizeof block, 1, 80)) << "no block before the image is announced";
  ASSERT_TRUE(l.Begin(300, 1, 500));
  block[4] = 2;  // block 2 would leave a gap
  EXPECT_FALSE(l.Sum(4, block, sizeof block, 1, 80));
  block[4] = 0;
  EXPECT_TRUE(l.Sum(4, block, sizeof block, 1, 500));
  // A corrupted checksum is not answered.
  const auto length = BuildSumPacket(l.receiver, l.packet, 4, block, sizeof block);
  l.packet[length - 1] ^= 1;
  EXPECT_FALSE(ExchangePacket(l.port, l.receiver, l.packet, static_cast<int>(length), nullptr, 0, nullptr, 1, 80,
                              &ReplyReceiver::FeedSumReplyByte, &ReplyReceiver::TakeSumReplyPayload));
  EXPECT_EQ(l.printer->Firmware().back().size, 3u);
}

TEST(FirmwareExchange, HangUpEndsTheExchangeWithoutResends) {
  sim::Faults f;
  f.silent = true;
  f.hangUpAfterBytes = 5;
  Rig l(false, f);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(l.Begin(100, 3, 2000));
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1500));
  EXPECT_TRUE(l.printer->HungUp());
}
