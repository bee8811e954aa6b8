// A text the user gave, as the bytes of one argument of a command line, or
// the reason it cannot be one. The language has no escape, so a value is
// sent exactly as meant or not at all: a control character or a double
// quote would change the line itself, and a character the printer's code
// page lacks would arrive as another one.
#pragma once

#include <QString>
#include <string>

namespace deveder {

enum class ValueFault {
  None,
  ControlCharacter,  // 0x00-0x1F or 0x7F, typed or as a raw-byte character
  DoubleQuote,
  NotInCodePage,     // the printer's code page has no byte for it
  FieldSeparator,    // it separates the fields of the value's line (":" of name:size)
};

struct LineValue {
  std::string bytes;  // the printer bytes, when fault is None
  ValueFault fault = ValueFault::None;
  // The first character that cannot go (a raw-byte character: its byte).
  char32_t character = 0;
  bool ok() const { return fault == ValueFault::None; }
};

// The control's text in the code page of `langId`. Characters that stand for
// raw printer bytes (U+F700 plus the byte) are that byte.
LineValue TextToLineValue(const QString& text, int langId);

// A character as a message names it: "CR (0x0D)", "\" (0x22)", "😀 (U+1F600)".
QString DescribeCharacter(char32_t c);

}  // namespace deveder
