#include "protocol/line_value.h"

#include <optional>

#include "protocol/command_line.h"
#include "protocol/text_codec.h"

namespace deveder {

namespace {

// The fault of one byte an argument cannot carry.
ValueFault FaultOfByte(unsigned char b) {
  return b == '"' ? ValueFault::DoubleQuote : ValueFault::ControlCharacter;
}

}  // namespace

LineValue TextToLineValue(const QString& text, int langId) {
  LineValue v;
  // The first character a line cannot carry, by its place in the text ...
  qsizetype unsafeAt = -1;
  char32_t unsafe = 0;
  const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
  for (qsizetype i = 0; i < text.size() && unsafeAt < 0; ++i) {
    const char32_t c = units[i];
    const unsigned char b = IsRawByteCharacter(c) ? RawByteOf(c) : c < 0x80 ? static_cast<unsigned char>(c) : 0x80;
    if (!IsLineSafeByte(b)) {
      unsafeAt = i;
      unsafe = b;
    }
  }
  // ... and the first the code page lacks: whichever comes first is named.
  qsizetype missingAt = -1;
  std::optional<std::string> bytes = ToPrinterBytesExact(text, langId, &missingAt);
  if (!bytes && (unsafeAt < 0 || missingAt < unsafeAt)) {
    v.fault = ValueFault::NotInCodePage;
    const char16_t first = units[missingAt];
    const bool pair = QChar::isHighSurrogate(first) && missingAt + 1 < text.size() &&
                      QChar::isLowSurrogate(units[missingAt + 1]);
    v.character = pair ? QChar::surrogateToUcs4(first, units[missingAt + 1]) : first;
    return v;
  }
  if (unsafeAt >= 0) {
    v.fault = FaultOfByte(static_cast<unsigned char>(unsafe));
    v.character = unsafe;
    return v;
  }
  // Converters put no control byte or quote into a character that had none;
  // should one ever do, the value still does not go.
  const std::size_t at = FindUnsafeByte(*bytes);
  if (at != std::string::npos) {
    const unsigned char b = static_cast<unsigned char>((*bytes)[at]);
    v.fault = FaultOfByte(b);
    v.character = b;
    return v;
  }
  v.bytes = std::move(*bytes);
  return v;
}

QString DescribeCharacter(char32_t c) {
  static const char* const kControlNames[32] = {
      "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS", "TAB", "LF",  "VT",  "FF", "CR",  "SO", "SI",
      "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB", "CAN", "EM", "SUB", "ESC", "FS", "GS", "RS", "US"};
  if (c < 0x20) {
    const QString hex = QString::number(static_cast<uint>(c), 16).toUpper().rightJustified(2, QLatin1Char('0'));
    return QStringLiteral("%1 (0x%2)").arg(QLatin1String(kControlNames[c]), hex);
  }
  if (c == 0x7F) return QStringLiteral("DEL (0x7F)");
  if (c == '"') return QStringLiteral("\" (0x22)");
  const QString shown = c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) ? QString() : QString::fromUcs4(&c, 1);
  const QString code =
      QStringLiteral("U+") + QString::number(static_cast<uint>(c), 16).toUpper().rightJustified(4, QLatin1Char('0'));
  return shown.isEmpty() ? code : shown + QStringLiteral(" (") + code + QLatin1Char(')');
}

}  // namespace deveder
