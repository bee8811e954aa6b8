#include "sim/firmware_loader.h"

#include "sim/printer_sim.h"

namespace deveder::sim {

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
    if (framing_ == Framing::Xor && packet_.size() >= 10) {
      total = 12 + (static_cast<unsigned char>(packet_[8]) | (static_cast<unsigned char>(packet_[9]) << 8));
    } else if (framing_ == Framing::Sum && packet_.size() >= 4) {
      total = 7 + ((static_cast<unsigned char>(packet_[2]) << 8) | static_cast<unsigned char>(packet_[3]));
    }
    if (total != 0 && packet_.size() >= total) {
      inPacket_ = false;
      HandlePacket();
    }
  }
  return i;
}

void FirmwareLoader::HandlePacket() {
  sim_.Record({framing_ == Framing::Xor ? LogEntry::XorPacket : LogEntry::SumPacket, packet_, ""});
}

}  // namespace deveder::sim
