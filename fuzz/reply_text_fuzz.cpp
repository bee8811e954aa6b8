// Reply bytes to text in either code page (the first byte chooses), and
// decimal reading.
#include <cstdint>
#include <string_view>

#include "protocol/command_line.h"
#include "protocol/text_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int lang = (data[0] & 1) ? deveder::kLangChinese : deveder::kLangEnglish;
  const char* bytes = reinterpret_cast<const char*>(data + 1);
  const int count = static_cast<int>(size - 1);
  QString text = deveder::ReplyToText(bytes, count, lang);
  if (text.size() > deveder::kMaxReplyChars) __builtin_trap();
  if (data[0] & 2) {
    // What is shown converts back without growing past the buffer.
    std::string back = deveder::ToPrinterBytes(text, lang);
    if (back.size() > 4 * static_cast<std::size_t>(text.size())) __builtin_trap();
  }
  (void)deveder::ParseDecimal(std::string_view(bytes, static_cast<std::size_t>(count)));
  return 0;
}
