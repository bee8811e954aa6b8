#include "protocol/printer_info.h"

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

int ProbePrinterModel(Link& link, char* buffer, int bufferSize, PrinterInfo& info) {
  // Bytes left on the port by an earlier exchange are no answer to this one.
  if (!link.DiscardInput().ok()) return -1;
  if (!link.SendLine(ModelRequestLine()).ok()) return -1;
  const IoResult r = link.ReadReply(buffer, bufferSize - 1);
  // A printer that went away is not one that said nothing.
  if (r.lost()) return -1;
  buffer[r.bytes] = '\0';
  return ParseModelReply(buffer, info);
}

int DrainPort(Link& link, char* buffer, int bufferSize) {
  if (!link.DiscardInput().ok()) return -1;
  if (!link.SendLine(ModelRequestLine()).ok()) return -1;
  // The answer is gathered like any reply and thrown away.
  return link.ReadReply(buffer, bufferSize).lost() ? -1 : 0;
}

}  // namespace deveder
