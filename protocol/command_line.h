// Command lines of the printer's text language, in both forms.
//
// A line is: ESC ESC "! U1 " verb, then each argument as a space and the
// argument between double quotes, then CR LF. The named form gives a
// variable or action by name; the numbered form by group and index
// (getvar/setvar) or by action number (do), keeping every word after it.
//
// The language has no escape: a control byte inside an argument would end or
// split the line (CR, LF, ESC ESC start a command of their own) and a double
// quote would end the argument. Such bytes never go into a line.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace deveder {

// Each action formats into one buffer of this size; a line never exceeds
// kMaxLineBytes so that a NUL can always follow it.
inline constexpr int kLineBufferSize = 4096;
inline constexpr int kMaxLineBytes = kLineBufferSize - 1;

// A printer variable: its name and its number in the numbered form.
// group < 0 means the variable exists only in the named form.
struct PrinterVar {
  const char* name;
  int group;
  int index;
  bool namedOnly() const { return group < 0; }
};

// A do action: its name and its number in the numbered form.
struct PrinterAction {
  const char* name;
  int number;
};

enum class LineForm { Numbered, Named };

// Bytes an argument can carry: not a control byte (0x00-0x1F, 0x7F), not a
// double quote.
inline bool IsLineSafeByte(unsigned char b) { return b >= 0x20 && b != 0x7F && b != '"'; }
// Index of the first byte an argument cannot carry; npos when there is none.
std::size_t FindUnsafeByte(std::string_view bytes);

// The form PrinterInfo's named-form flag selects: named when the flag is 'O'.
LineForm FormForFlag(unsigned char namedFormFlag);

// getvar. Named-only variables are always written by name.
std::string GetvarLine(const PrinterVar& var, LineForm form);
std::string GetvarNamedLine(std::string_view name);

// setvar with an integer value.
std::string SetvarIntLine(const PrinterVar& var, LineForm form, long value);

// setvar with a text value already converted to printer bytes. Refused
// (nullopt) when prefix + value + 3 would pass kMaxLineBytes or when the
// value holds a byte an argument cannot carry (callers check values first,
// to say which; this is the last guard).
std::optional<std::string> SetvarTextLine(const PrinterVar& var, LineForm form,
                                          std::string_view valueBytes);

// setvar with a list value: each item followed by a comma, the closing quote
// replacing the last comma. Refused like SetvarTextLine.
std::optional<std::string> SetvarListLine(const PrinterVar& var, LineForm form,
                                          const std::vector<std::string>& items);

// do, with optional sub-words after the action (fixed words and numbers:
// callers put no text of the user's here).
std::string DoLine(const PrinterAction& action, LineForm form,
                   const std::vector<std::string>& words = {});
std::string DoNamedLine(std::string_view action, const std::vector<std::string>& words);

// The probe's request: always the named getvar "model" (23 bytes).
std::string ModelRequestLine();

// Decimal reading of a reply: leading blanks and a sign allowed, conversion
// stops at the first non-digit, no digits give 0 (saturating, never UB).
long ParseDecimal(std::string_view text);

}  // namespace deveder
