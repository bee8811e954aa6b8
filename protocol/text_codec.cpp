#include "protocol/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace deveder {

namespace {

const char* CharsetForLang(int langId) { return langId == kLangChinese ? "GBK" : "WINDOWS-1252"; }

// Converts with iconv; characters that cannot be converted become `subst`.
std::string Convert(const char* to, const char* from, const char* in, std::size_t inLen, const char* subst,
                    std::size_t unitSize) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string out;
  std::vector<char> buf(4 * inLen + 16);
  char* src = const_cast<char*>(in);
  std::size_t srcLeft = inLen;
  while (srcLeft > 0) {
    char* dst = buf.data();
    std::size_t dstLeft = buf.size();
    std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buf.data(), buf.size() - dstLeft);
    if (r == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL: skip one input unit, put the substitute.
      out += subst;
      std::size_t skip = std::min(unitSize, srcLeft);
      src += skip;
      srcLeft -= skip;
    }
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  iconv_close(cd);
  return out;
}

}  // namespace

int SystemDefaultLangId() {
  const char* vars[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  for (const char* v : vars) {
    const char* value = std::getenv(v);
    if (value && *value) return std::strncmp(value, "zh_CN", 5) == 0 ? kLangChinese : kLangEnglish;
  }
  return kLangEnglish;
}

int CodePageForLang(int langId) { return langId == kLangChinese ? 936 : 1252; }

std::string ToPrinterBytes(const QString& text, int langId) {
  if (text.isEmpty()) return {};
  const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
  return Convert(CharsetForLang(langId), "UTF-16LE", reinterpret_cast<const char*>(units),
                 static_cast<std::size_t>(text.size()) * 2, "?", 2);
}

QString FromPrinterBytes(std::string_view bytes, int langId) {
  if (bytes.empty()) return {};
  // U+FFFD in UTF-16LE for a byte the code page does not map.
  std::string u16 = Convert("UTF-16LE", CharsetForLang(langId), bytes.data(), bytes.size(), "\xFD\xFF", 1);
  return QString::fromUtf16(reinterpret_cast<const char16_t*>(u16.data()), static_cast<qsizetype>(u16.size() / 2));
}

QString ReplyToText(const char* bytes, int count, int langId) {
  if (!bytes || count <= 0) return {};
  const void* nul = std::memchr(bytes, '\0', static_cast<std::size_t>(count));
  std::size_t len = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - bytes) : static_cast<std::size_t>(count);
  // Both code pages give at least one character for every two bytes, so a
  // longer reply is over the limit without converting it.
  if ((len + 1) / 2 > static_cast<std::size_t>(kMaxReplyChars)) return {};
  QString text = FromPrinterBytes(std::string_view(bytes, len), langId);
  if (text.size() > kMaxReplyChars) return {};
  return text;
}

}  // namespace deveder
