#include "pages/core/printable.h"

#include <QChar>
#include <QList>
#include <cstdio>

namespace deveder {

namespace {

// Undefined bytes of the printer's code page travel as U+F700 plus the byte.
constexpr char32_t kUndefinedByteBase = 0xF700;

bool ShowsAsItIs(char32_t c) {
  switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
      return false;
    default:
      return true;
  }
}

}  // namespace

std::string Shown(const QString& text, bool value) {
  std::string out;
  for (const uint code : text.toUcs4()) {
    const char32_t c = code;
    char escape[16];
    if (value && c == '\\') {
      out += "\\\\";
    } else if (ShowsAsItIs(c) || (!value && (c == '\n' || c == '\t'))) {
      out += QString::fromUcs4(&c, 1).toUtf8().toStdString();
    } else if (c < 0x100 || (c >= kUndefinedByteBase && c <= kUndefinedByteBase + 0xFF)) {
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(c & 0xFF));
      out += escape;
    } else {
      std::snprintf(escape, sizeof escape, "\\u{%04X}", static_cast<unsigned>(c));
      out += escape;
    }
  }
  return out;
}

std::string Shown(const std::string& utf8) { return Shown(QString::fromUtf8(utf8)); }

}  // namespace deveder
