// Reply bytes to text in both code pages, and decimal reading.
#include <cstdint>
#include <string_view>

#include "protocol/command_line.h"
#include "protocol/text_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  for (int lang : {deveder::kLangChinese, deveder::kLangEnglish}) {
    QString text = deveder::ReplyToText(bytes, static_cast<int>(size), lang);
    if (text.size() > deveder::kMaxReplyChars) __builtin_trap();
    // What is shown converts back without growing past the buffer.
    std::string back = deveder::ToPrinterBytes(text, lang);
    if (back.size() > 4 * static_cast<std::size_t>(text.size())) __builtin_trap();
  }
  (void)deveder::ParseDecimal(std::string_view(bytes, size));
  return 0;
}
