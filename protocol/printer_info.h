// PrinterInfo and the model probe.
#pragma once

#include <cstdint>
#include <string>

#include "link/link.h"

namespace deveder {

inline constexpr unsigned char kNamedFormFlag = 'O';

enum LanguageBits : std::uint8_t {
  kLangCpcl = 0x01,
  kLangEscpos = 0x02,
  kLangTspl = 0x04,
  kLangZpl = 0x08,
};

struct PrinterInfo {
  char modelName[32] = {};  // NUL-terminated, at most 31 bytes of text
  std::int16_t modelNumber = 0;
  std::uint8_t languageMask = 0;
  std::uint8_t namedFormFlag = 0;  // 'O' selects the named form

  // Counts the clears: another port, another printer. A page read before
  // the last clear belongs to another printer.
  std::uint32_t attachment = 0;

  void Clear() {
    const std::uint32_t next = attachment + 1;
    *this = PrinterInfo{};
    attachment = next;
  }
  bool named() const { return namedFormFlag == kNamedFormFlag; }
};

// Parses "name;number;languages;fourth..." in place (each ';' becomes NUL).
// Fills `info` and returns the named-form flag. A first field longer than 31
// bytes is cut to 31.
unsigned char ParseModelReply(char* reply, PrinterInfo& info);

// Discards what waits on the port, sends getvar "model" (always named),
// reads the reply into `buffer` (room kept for a NUL) and parses it. Returns the named-form flag, or -1 when the
// line could not be sent or the printer went away before it answered
// (PrinterInfo then unchanged).
int ProbePrinterModel(Link& link, char* buffer, int bufferSize, PrinterInfo& info);

// The drain step of the reading actions: discards what waits on the port,
// sends getvar "model" once and reads and discards whatever answers it. Returns 0, or -1 when the line could not
// be sent or the printer went away.
int DrainPort(Link& link, char* buffer, int bufferSize);

}  // namespace deveder
