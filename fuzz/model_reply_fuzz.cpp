// Model replies straight from a printer.
#include <cstdint>
#include <cstring>
#include <vector>

#include "protocol/printer_info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<char> reply(data, data + size);
  reply.push_back('\0');
  deveder::PrinterInfo info;
  unsigned char flag = deveder::ParseModelReply(reply.data(), info);
  if (std::strlen(info.modelName) > 31) __builtin_trap();
  if (flag != 0 && flag != 'O') __builtin_trap();
  if (info.languageMask & 0xF0) __builtin_trap();
  return 0;
}
