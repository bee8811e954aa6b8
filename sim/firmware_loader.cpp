#include "sim/firmware_loader.h"

#include <algorithm>

#include "sim/printer_sim.h"

namespace deveder::sim {

namespace {

constexpr std::uint16_t kSetSpeed = 0x2B;
constexpr std::uint16_t kImage = 0x2F;
constexpr std::uint16_t kBlock = 0x2E;
constexpr std::uint32_t kImageEnd = 0xFFFFFFFF;
constexpr std::uint32_t kBegin = 3;
constexpr std::uint32_t kSumBlock = 4;
constexpr std::uint32_t kFinish = 6;
constexpr std::size_t kBlockBytes = 256;

unsigned Byte(const std::string& s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

std::uint32_t Le(const std::string& s, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | Byte(s, at + static_cast<std::size_t>(i));
  return v;
}

std::uint32_t Be(const std::string& s, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | Byte(s, at + static_cast<std::size_t>(i));
  return v;
}

void AppendLe(std::string& s, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
}

void AppendBe(std::string& s, std::uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) s.push_back(static_cast<char>(v >> (8 * i)));
}

unsigned XorOf(const std::string& s, std::size_t from, std::size_t to) {
  unsigned x = 0;
  for (std::size_t i = from; i < to; ++i) x ^= Byte(s, i);
  return x;
}

unsigned SumOf(const std::string& s, std::size_t to) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < to; ++i) sum += Byte(s, i);
  return sum & 0xFF;
}

}  // namespace

FirmwareLoader::FirmwareLoader(PrinterSim& sim) : sim_(sim) {}

void FirmwareLoader::BeginPacket(Framing framing) {
  framing_ = framing;
  inPacket_ = true;
  packet_.clear();
}

std::size_t FirmwareLoader::Consume(const char* data, std::size_t n) {
  std::size_t i = 0;
  while (i < n && inPacket_) {
    packet_.push_back(data[i++]);
    std::size_t total = 0;
    if (framing_ == Framing::Xor && packet_.size() >= 12) {
      if (packet_.size() == 12 && XorOf(packet_, 0, 10) != Byte(packet_, 10)) {
        Reject("xor header check failed");
        return i;
      }
      total = 12 + Le(packet_, 8, 2);
    } else if (framing_ == Framing::Sum && packet_.size() >= 4) {
      const std::uint32_t frameLength = Be(packet_, 2, 2);
      if (frameLength < 6) {
        Reject("sum frame length below 6");
        return i;
      }
      total = 7 + frameLength;
    }
    if (total != 0 && packet_.size() >= total) {
      inPacket_ = false;
      HandlePacket();
    }
  }
  return i;
}

void FirmwareLoader::Reject(const std::string& why) {
  inPacket_ = false;
  sim_.Record({LogEntry::Event, packet_, why});
}

void FirmwareLoader::HandlePacket() {
  sim_.Record({framing_ == Framing::Xor ? LogEntry::XorPacket : LogEntry::SumPacket, packet_,
               "baud " + std::to_string(sim_.LineBaud())});
  if (framing_ == Framing::Xor) HandleXor();
  else HandleSum();
}

void FirmwareLoader::HandleXor() {
  const std::uint16_t command = static_cast<std::uint16_t>(Le(packet_, 2, 2));
  const std::uint32_t argument = Le(packet_, 4, 4);
  const std::size_t n = Le(packet_, 8, 2);
  if (XorOf(packet_, 11, 12 + n) != 0) return sim_.Record({LogEntry::Event, "", "xor payload check failed"});
  const std::string reply = XorReply(command, argument);
  // A reply to the same command for another argument.
  const std::string stray = XorReply(command, argument + 1);

  if (command == kSetSpeed && n == 0) {
    // The rate is asked for at the line's current speed, whatever an earlier
    // transfer left; once acknowledged, the loader listens at the new one.
    if (sim_.GetFaults().noGoAhead) return;
    if (Acknowledge(reply, stray)) expectedBaud_ = argument;
    return;
  }
  if (expectedBaud_ != 0 && sim_.LineBaud() != expectedBaud_) {
    return sim_.Record({LogEntry::Event, "", "request at " + std::to_string(sim_.LineBaud()) +
                                                 " baud, the loader listens at " + std::to_string(expectedBaud_)});
  }
  if (command == kImage && n == 0 && argument == 0) {
    StartImage(0);
    Acknowledge(reply, stray);
    return;
  }
  if (command == kImage && n == 0 && argument == kImageEnd) {
    if (!active_) return sim_.Record({LogEntry::Event, "", "image end without a start"});
    FinishImage(true);
    expectedBaud_ = 0;
    if (!sim_.GetFaults().noConfirmation) Acknowledge(reply, stray);
    return;
  }
  if (command == kBlock && n > 0) {
    if (!active_) return sim_.Record({LogEntry::Event, "", "block without an image start"});
    if (PutBlock(argument, packet_.data() + 12, n)) Acknowledge(reply, stray);
    return;
  }
  sim_.Record({LogEntry::Event, "", "unknown xor request"});
}

void FirmwareLoader::HandleSum() {
  const std::size_t total = packet_.size();
  const std::uint32_t frameLength = Be(packet_, 2, 2);
  const std::uint32_t command = Be(packet_, 4, 3);
  if (SumOf(packet_, total - 1) != Byte(packet_, total - 1))
    return sim_.Record({LogEntry::Event, "", "sum checksum failed"});
  if (Byte(packet_, 7) != 0 || Be(packet_, 8, 4) != frameLength - 6)
    return sim_.Record({LogEntry::Event, "", "sum payload length does not match the frame"});
  const std::size_t n = frameLength - 6;
  const std::string payload = packet_.substr(12, n);
  const std::string reply = SumReply(command);
  const std::string stray = SumReply(command + 1);
  const bool sizePayload = n == 9 && payload.compare(0, 5, std::string(5, '\0')) == 0;

  if (command == kBegin && sizePayload) {
    if (sim_.GetFaults().noGoAhead) return;
    StartImage(Be(payload, 5, 4));
    Acknowledge(reply, stray);
    return;
  }
  if (command == kSumBlock && n >= 7 && payload[0] == 0) {
    if (!active_) return sim_.Record({LogEntry::Event, "", "block without an announced image"});
    const std::uint64_t block = Be(payload, 1, 4);
    const std::size_t k = Be(payload, 5, 2);
    const std::uint64_t offset = block * kBlockBytes;
    if (n != 7 + k || k == 0 || k > kBlockBytes || offset + k > announced_)
      return sim_.Record({LogEntry::Event, "", "block does not fit the announced image"});
    if (PutBlock(offset, payload.data() + 7, k)) Acknowledge(reply, stray);
    return;
  }
  if (command == kFinish && sizePayload) {
    if (!active_ || Be(payload, 5, 4) != announced_)
      return sim_.Record({LogEntry::Event, "", "finish does not match the announced image"});
    FinishImage(image_.size() == announced_);
    if (!sim_.GetFaults().noConfirmation) Acknowledge(reply, stray);
    return;
  }
  sim_.Record({LogEntry::Event, "", "unknown sum request"});
}

bool FirmwareLoader::Acknowledge(const std::string& reply, const std::string& stray) {
  const Faults f = sim_.GetFaults();
  if (acksDropped_ < f.dropFirstAcks) {
    ++acksDropped_;
    sim_.Record({LogEntry::Event, "", "acknowledgement dropped"});
    return false;
  }
  sim_.Send(f.replyWrongCommand ? stray + reply : reply);
  return true;
}

void FirmwareLoader::StartImage(std::uint32_t announced) {
  // A start that is repeated before any block (its acknowledgement was lost)
  // is the same image.
  const bool repeated = active_ && image_.empty();
  active_ = true;
  image_.clear();
  announced_ = announced;
  const FirmwareRecord record{framing_ == Framing::Xor ? "xor" : "sum", 0, 0, false, announced};
  if (repeated) sim_.UpdateFirmware(record);
  else sim_.RecordFirmware(record);
}

bool FirmwareLoader::PutBlock(std::uint64_t offset, const char* data, std::size_t k) {
  // Blocks come in order; a resent block lands on itself.
  if (offset > image_.size() || offset + k > kLargestImage) {
    sim_.Record({LogEntry::Event, "", "block at " + std::to_string(offset) + " leaves a gap or is too large"});
    return false;
  }
  const std::size_t at = static_cast<std::size_t>(offset);
  if (image_.size() < at + k) image_.resize(at + k);
  image_.replace(at, k, data, k);
  sim_.UpdateFirmware({framing_ == Framing::Xor ? "xor" : "sum", image_.size(), 0, false, announced_});
  return true;
}

void FirmwareLoader::FinishImage(bool complete) {
  active_ = false;
  sim_.UpdateFirmware({framing_ == Framing::Xor ? "xor" : "sum", image_.size(),
                       Fnv1a64(image_.data(), image_.size()), complete, announced_});
  sim_.Record({LogEntry::Event, "", "firmware image of " + std::to_string(image_.size()) + " bytes"});
}

std::string FirmwareLoader::XorReply(std::uint16_t command, std::uint32_t argument) const {
  std::string r = "\x03\xAE";
  AppendLe(r, command, 2);
  AppendLe(r, argument, 4);
  AppendLe(r, 0, 2);
  r.push_back(static_cast<char>(XorOf(r, 0, 10)));
  r.push_back('\0');
  return r;
}

std::string FirmwareLoader::SumReply(std::uint32_t command) const {
  std::string r = "\x1B\x10";
  AppendBe(r, 6, 2);
  AppendBe(r, command, 3);
  AppendBe(r, 0, 1);
  AppendBe(r, 0, 4);
  r.push_back(static_cast<char>(SumOf(r, r.size())));
  return r;
}

}  // namespace deveder::sim
