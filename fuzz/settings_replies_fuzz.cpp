// Settings replies: the msw digit string both ways, media words, code page
// numbers and the application list from a model reply.
#include <cstdint>
#include <string>
#include <string_view>

#include "pages/core/memory_controls.h"
#include "pages/settings/settings_tables.h"
#include "protocol/command_line.h"
#include "protocol/printer_info.h"
#include "protocol/text_codec.h"
#include "resources/dialogs.h"

using namespace deveder;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view reply(reinterpret_cast<const char*>(data + 1), size - 1);
  static MemoryControls controls(Dialog144(kLangChinese));
  switch (data[0] % 4) {
    case 0: {
      // A reply the Read takes is what the Write sends back, for the bits shown.
      if (ApplyMswDigits(controls, reply)) {
        const auto digits = BuildMswDigits(controls);
        if (!digits || digits->size() != static_cast<std::size_t>(kMswDigits)) __builtin_trap();
        if (!ApplyMswDigits(controls, *digits) || BuildMswDigits(controls) != digits) __builtin_trap();
      } else if (reply.size() == static_cast<std::size_t>(kMswDigits) &&
                 reply.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos) {
        __builtin_trap();  // sixteen hex digits must be taken
      }
      break;
    }
    case 1: {
      const int index = MediaIndexOfReply(reply);
      if (index < 0 || index >= static_cast<int>(kMediaWords.size())) __builtin_trap();
      if (index > 0 && reply != MediaWordOfIndex(index)) __builtin_trap();
      break;
    }
    case 2: {
      const long number = ParseDecimal(reply);
      const int row = CodePageRowOfNumber(number);
      if (row < -1 || row >= kCodePageCount) __builtin_trap();
      if (row >= 0 && CodePageNumberOfRow(row) != number) __builtin_trap();
      break;
    }
    default: {
      PrinterInfo info;
      std::string text(reply);
      ParseModelReply(text.data(), info);
      FillAppList(controls, info.languageMask, info.modelName);
      if (controls.CurrentIndex(1035) != -1) __builtin_trap();  // nothing selected after a rebuild
      break;
    }
  }
  return 0;
}
