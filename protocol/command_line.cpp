#include "protocol/command_line.h"

#include <cctype>
#include <climits>

namespace deveder {

namespace {

constexpr std::string_view kLead = "\x1b\x1b! U1 ";

void AppendArg(std::string& line, std::string_view arg) {
  line += " \"";
  line += arg;
  line += '"';
}

std::string Head(std::string_view verb) {
  std::string line(kLead);
  line += verb;
  return line;
}

// The variable's own part of a getvar/setvar line: its name, or its group
// and index.
void AppendVar(std::string& line, const PrinterVar& var, LineForm form) {
  if (form == LineForm::Named || var.namedOnly()) {
    AppendArg(line, var.name);
  } else {
    AppendArg(line, std::to_string(var.group));
    AppendArg(line, std::to_string(var.index));
  }
}

std::optional<std::string> Finish(std::string line) {
  line += "\r\n";
  if (line.size() > static_cast<std::size_t>(kMaxLineBytes)) return std::nullopt;
  return line;
}

}  // namespace

LineForm FormForFlag(unsigned char namedFormFlag) {
  return namedFormFlag == 'O' ? LineForm::Named : LineForm::Numbered;
}

std::string GetvarLine(const PrinterVar& var, LineForm form) {
  std::string line = Head("getvar");
  AppendVar(line, var, form);
  return line + "\r\n";
}

std::string GetvarNamedLine(std::string_view name) {
  std::string line = Head("getvar");
  AppendArg(line, name);
  return line + "\r\n";
}

std::string SetvarIntLine(const PrinterVar& var, LineForm form, long value) {
  std::string line = Head("setvar");
  AppendVar(line, var, form);
  AppendArg(line, std::to_string(value));
  return line + "\r\n";
}

std::size_t FindUnsafeByte(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i)
    if (!IsLineSafeByte(static_cast<unsigned char>(bytes[i]))) return i;
  return std::string_view::npos;
}

std::optional<std::string> SetvarTextLine(const PrinterVar& var, LineForm form, std::string_view valueBytes) {
  if (FindUnsafeByte(valueBytes) != std::string_view::npos) return std::nullopt;
  std::string line = Head("setvar");
  AppendVar(line, var, form);
  if (line.size() + 2 + valueBytes.size() + 3 > static_cast<std::size_t>(kMaxLineBytes)) return std::nullopt;
  AppendArg(line, valueBytes);
  return Finish(std::move(line));
}

std::optional<std::string> SetvarListLine(const PrinterVar& var, LineForm form,
                                          const std::vector<std::string>& items) {
  std::string value;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i) value += ',';
    value += items[i];
  }
  return SetvarTextLine(var, form, value);
}

std::string DoLine(const PrinterAction& action, LineForm form, const std::vector<std::string>& words) {
  std::string line = Head("do");
  if (form == LineForm::Named || action.number < 0) AppendArg(line, action.name);
  else AppendArg(line, std::to_string(action.number));
  for (const std::string& w : words) AppendArg(line, w);
  return line + "\r\n";
}

std::string DoNamedLine(std::string_view action, const std::vector<std::string>& words) {
  std::string line = Head("do");
  AppendArg(line, action);
  for (const std::string& w : words) AppendArg(line, w);
  return line + "\r\n";
}

std::string ModelRequestLine() { return GetvarNamedLine("model"); }

long ParseDecimal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    int d = text[i] - '0';
    if (value > (LONG_MAX - d) / 10) {
      value = LONG_MAX;
      // Keep consuming digits; the value saturates.
      continue;
    }
    value = value * 10 + d;
  }
  return negative ? -value : value;
}

}  // namespace deveder
