// Text on the wire. Controls hold Unicode text; values sent and replies
// received are bytes in the printer's multibyte code page: GBK (936) when the
// system language is 2052, Windows-1252 otherwise, whatever the locale's own
// charset. All conversions go through this file.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace deveder {

inline constexpr int kLangChinese = 2052;
inline constexpr int kLangEnglish = 1033;

// The system default language: 2052 when the locale (LC_ALL, else
// LC_MESSAGES, else LANG) names zh_CN, otherwise 1033.
int SystemDefaultLangId();

// Code page of the language: 936 for 2052, 1252 otherwise.
int CodePageForLang(int langId);

// False when this system cannot convert between Unicode and the code page
// of the language (its converter is missing): an action then sends nothing.
bool TextConversionAvailable(int langId);

// Unicode text to printer bytes. Characters the code page lacks become '?'.
// A character that stands for a raw byte (below) is that byte.
std::string ToPrinterBytes(const QString& text, int langId);

// The same, exactly or not at all: nullopt when a character has no byte in
// the code page; `failedAt` then gets its index (in UTF-16 units).
std::optional<std::string> ToPrinterBytesExact(const QString& text, int langId, qsizetype* failedAt = nullptr);

// Whether a character stands for a raw printer byte, and which.
bool IsRawByteCharacter(char32_t c);
unsigned char RawByteOf(char32_t c);

// Printer bytes to Unicode, with no length limit (file names, lists). A byte
// the code page leaves undefined, or one that starts no valid sequence in
// it, becomes a character of its own (U+F700 plus the byte), which
// ToPrinterBytes turns back into that byte: text read from the printer goes
// back to it unchanged.
QString FromPrinterBytes(std::string_view bytes, int langId);

// A reply as shown: a NUL ends the text where it stands; a reply that
// converts to more than 99 UTF-16 characters yields an empty text.
inline constexpr int kMaxReplyChars = 99;
QString ReplyToText(const char* bytes, int count, int langId);

}  // namespace deveder
