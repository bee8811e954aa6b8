#include "protocol/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace deveder {

namespace {

const char* CharsetForLang(int langId) { return langId == kLangChinese ? "GBK" : "WINDOWS-1252"; }

// Converts with iconv. Where the input cannot be converted, `onFailure` is
// given the failing position and says how many input bytes it consumed
// (it appends its own substitute to `out`). Empty, and `unavailable` set,
// when iconv cannot convert between the two at all.
template <typename OnFailure>
std::string Convert(const char* to, const char* from, const char* in, std::size_t inLen, OnFailure onFailure,
                    bool* unavailable = nullptr) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    if (unavailable) *unavailable = true;
    return {};
  }
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
      // EILSEQ or EINVAL: the substitute stands for what is skipped.
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      const std::size_t skip = std::min(onFailure(out, src, srcLeft), srcLeft);
      src += skip;
      srcLeft -= skip;
    }
  }
  iconv_close(cd);
  return out;
}

bool CanOpen(const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv_close(cd);
  return true;
}

// A byte the code page does not define stands for itself as a character of
// its own in the private use area, so that it survives a round trip through
// a control and back to the printer.
constexpr char16_t kRawByteBase = 0xF700;
bool IsRawByteChar(char16_t c) { return c >= kRawByteBase && c <= kRawByteBase + 0xFF; }

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

bool TextConversionAvailable(int langId) {
  const char* cs = CharsetForLang(langId);
  return CanOpen(cs, "UTF-16LE") && CanOpen("UTF-16LE", cs);
}

namespace {

// Unicode to printer bytes; with `exact`, the first character the code page
// lacks ends the conversion and is reported in `failedAt`.
std::optional<std::string> Encode(const QString& text, int langId, bool exact, qsizetype* failedAt) {
  if (text.isEmpty()) return std::string();
  const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
  const qsizetype size = text.size();
  std::string out;
  qsizetype failed = -1;
  // Runs of ordinary text go through the converter; raw-byte characters are
  // their byte.
  qsizetype i = 0;
  while (i < size && failed < 0) {
    if (IsRawByteChar(units[i])) {
      out.push_back(static_cast<char>(units[i] - kRawByteBase));
      ++i;
      continue;
    }
    qsizetype j = i;
    while (j < size && !IsRawByteChar(units[j])) ++j;
    const char* run = reinterpret_cast<const char*>(units + i);
    bool unavailable = false;
    out += Convert(
        CharsetForLang(langId), "UTF-16LE", run, static_cast<std::size_t>(j - i) * 2,
        [&](std::string& o, const char* at, std::size_t left) {
          if (!exact) {
            o += '?';
            return std::size_t{2};
          }
          if (failed < 0) failed = i + static_cast<qsizetype>((at - run) / 2);
          return left;
        },
        &unavailable);
    // Without a converter no character of the run can be carried exactly.
    if (unavailable && exact) failed = i;
    i = j;
  }
  if (failed >= 0) {
    if (failedAt) *failedAt = failed;
    return std::nullopt;
  }
  return out;
}

}  // namespace

bool IsRawByteCharacter(char32_t c) { return c >= kRawByteBase && c <= kRawByteBase + 0xFF; }
unsigned char RawByteOf(char32_t c) { return static_cast<unsigned char>(c - kRawByteBase); }

std::string ToPrinterBytes(const QString& text, int langId) { return *Encode(text, langId, false, nullptr); }

std::optional<std::string> ToPrinterBytesExact(const QString& text, int langId, qsizetype* failedAt) {
  return Encode(text, langId, true, failedAt);
}

QString FromPrinterBytes(std::string_view bytes, int langId) {
  if (bytes.empty()) return {};
  std::string u16 = Convert("UTF-16LE", CharsetForLang(langId), bytes.data(), bytes.size(),
                            [](std::string& o, const char* at, std::size_t) {
                              const char16_t c = kRawByteBase + static_cast<unsigned char>(*at);
                              o.push_back(static_cast<char>(c & 0xFF));
                              o.push_back(static_cast<char>(c >> 8));
                              return std::size_t{1};
                            });
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
