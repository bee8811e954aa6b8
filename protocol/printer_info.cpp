#include "protocol/printer_info.h"

#include <chrono>
#include <cstring>

#include "protocol/command_line.h"

namespace deveder {

unsigned char ParseModelReply(char* reply, PrinterInfo& info) {
  info.modelNumber = 0;
  info.languageMask = 0;
  info.namedFormFlag = 0;
  char name[32] = {};
  char* rest = reply;
  int position = 1;
  while (rest) {
    char* field = rest;
    char* semi = std::strchr(rest, ';');
    if (semi) {
      *semi = '\0';
      rest = semi + 1;
    } else {
      rest = nullptr;
    }
    if (*field) {
      switch (position) {
        case 1:
          // The name holds 31 bytes; a longer first field is cut.
          std::strncpy(name, field, sizeof name - 1);
          break;
        case 2:
          info.modelNumber = static_cast<std::int16_t>(static_cast<std::uint16_t>(ParseDecimal(field) & 0xFFFF));
          break;
        case 3:
          if (std::strstr(field, "CPCL")) info.languageMask |= kLangCpcl;
          if (std::strstr(field, "ESCPOS")) info.languageMask |= kLangEscpos;
          if (std::strstr(field, "TSPL")) info.languageMask |= kLangTspl;
          if (std::strstr(field, "ZPL")) info.languageMask |= kLangZpl;
          break;
        case 4:
          info.namedFormFlag = kNamedFormFlag;
          break;
        default:
          break;
      }
    }
    ++position;
  }
  std::memcpy(info.modelName, name, sizeof name);
  return info.namedFormFlag;
}

int ProbePrinterModel(PortHandle port, char* buffer, int bufferSize, PrinterInfo& info) {
  const std::string line = ModelRequestLine();
  if (PortWrite(port, line.data(), static_cast<int>(line.size())) != 0) return -1;
  int n = PortReadReply(port, buffer, bufferSize - 1);
  // A printer that went away is not one that said nothing.
  if (PortReplyLost()) return -1;
  buffer[n] = '\0';
  return ParseModelReply(buffer, info);
}

int DrainPort(PortHandle port, char* buffer, int bufferSize) {
  const std::string line = ModelRequestLine();
  if (PortWrite(port, line.data(), static_cast<int>(line.size())) != 0) return -1;
  // A series allows 10 reads of 10 polls; a read that brings data starts a
  // new series; the drain ends when a read gives up or a series runs out.
  // A printer that never stops sending is cut off after kDrainLimit.
  constexpr auto kDrainLimit = std::chrono::milliseconds(2000);
  const auto start = std::chrono::steady_clock::now();
  int left = 10;
  while (left > 0 && std::chrono::steady_clock::now() - start < kDrainLimit) {
    int r = PortReadOnce(port, buffer, bufferSize, 10);
    if (r < 0) break;
    if (r > 0) left = 10;
    else --left;
  }
  return PortReplyLost() ? -1 : 0;
}

}  // namespace deveder
