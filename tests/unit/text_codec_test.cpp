#include <gtest/gtest.h>

#include <random>

#include <cstdlib>
#include <string>

#include "protocol/text_codec.h"

using namespace deveder;

TEST(TextCodec, ReplyOf99CharactersShowsAnd100ShowsEmpty) {
  std::string r99(99, 'a'), r100(100, 'a');
  EXPECT_EQ(ReplyToText(r99.data(), 99, kLangEnglish).size(), 99);
  EXPECT_TRUE(ReplyToText(r100.data(), 100, kLangEnglish).isEmpty());
  // 99 Chinese characters are 198 GBK bytes and still fit.
  QString zh(99, QChar(0x4E2D));
  std::string bytes = ToPrinterBytes(zh, kLangChinese);
  ASSERT_EQ(bytes.size(), 198u);
  EXPECT_EQ(ReplyToText(bytes.data(), static_cast<int>(bytes.size()), kLangChinese), zh);
}

TEST(TextCodec, NulEndsTheText) {
  const char reply[] = {'1', '9', '2', '\0', 'x', 'y'};
  EXPECT_EQ(ReplyToText(reply, 6, kLangEnglish), QStringLiteral("192"));
  EXPECT_TRUE(ReplyToText(reply, 0, kLangEnglish).isEmpty());
}

TEST(TextCodec, ChineseRoundTripThroughGbk) {
  const QString text = QStringLiteral("快递/标准模式");
  std::string gbk = ToPrinterBytes(text, kLangChinese);
  EXPECT_EQ(gbk.substr(0, 4), "\xBF\xEC\xB5\xDD");
  EXPECT_EQ(FromPrinterBytes(gbk, kLangChinese), text);
  // Characters GBK has beyond GB2312: lead bytes 0x81 to 0xA0, trail bytes
  // below 0xA1, traditional forms.
  const QString beyond = QStringLiteral("丂這裏喆犇堃");
  const std::string beyondBytes = "\x81\x40\xDF\x40\xD1\x59\x86\xB4\xA0\xC4\x88\xD2";
  EXPECT_EQ(ToPrinterBytes(beyond, kLangChinese), beyondBytes);
  EXPECT_EQ(FromPrinterBytes(beyondBytes, kLangChinese), beyond);
  // The English system writes Windows-1252: é is one byte, Chinese is lost.
  EXPECT_EQ(ToPrinterBytes(QStringLiteral("é"), kLangEnglish), "\xE9");
  EXPECT_EQ(ToPrinterBytes(QStringLiteral("快"), kLangEnglish), "?");
  EXPECT_EQ(FromPrinterBytes("\x80", kLangEnglish), QString(QChar(0x20AC)));
}

// Whatever bytes the printer sends come back out unchanged: a byte the
// code page leaves undefined, or one that starts no valid sequence in it,
// is a character of its own.
TEST(TextCodec, PrinterBytesSurviveTheWayToTextAndBack) {
  for (int lang : {kLangEnglish, kLangChinese}) {
    EXPECT_TRUE(TextConversionAvailable(lang));
    for (const std::string& fixed : {std::string("\x81\x8D\x8F\x90\x9D"), std::string("\xFF\x80\x81"),
                                     std::string("a\x81" "0\xC4\xE3"), std::string(1, '\xFE')}) {
      EXPECT_EQ(ToPrinterBytes(FromPrinterBytes(fixed, lang), lang), fixed) << lang;
    }
    std::mt19937 gen(static_cast<unsigned>(lang));
    for (int i = 0; i < 2000; ++i) {
      std::string bytes(static_cast<std::size_t>(gen() % 24 + 1), '\0');
      for (char& b : bytes) b = static_cast<char>(gen() % 224 + 32);
      ASSERT_EQ(ToPrinterBytes(FromPrinterBytes(bytes, lang), lang), bytes) << lang << " " << i;
    }
  }
  // Undefined bytes are no ordinary characters: text typed by a user keeps
  // its meaning.
  EXPECT_EQ(FromPrinterBytes("\x81", kLangEnglish), QString(QChar(0xF781)));
  EXPECT_EQ(ToPrinterBytes(QStringLiteral("\u00e9"), kLangEnglish), "\xE9");
}

TEST(TextCodec, LanguageFollowsTheLocaleVariablesInOrder) {
  const char* saved[3];
  const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  std::string keep[3];
  for (int i = 0; i < 3; ++i) {
    saved[i] = std::getenv(names[i]);
    if (saved[i]) keep[i] = saved[i];
    unsetenv(names[i]);
  }
  EXPECT_EQ(SystemDefaultLangId(), kLangEnglish);
  setenv("LANG", "zh_CN.UTF-8", 1);
  EXPECT_EQ(SystemDefaultLangId(), kLangChinese);
  setenv("LC_MESSAGES", "de_DE.UTF-8", 1);
  EXPECT_EQ(SystemDefaultLangId(), kLangEnglish);
  setenv("LC_ALL", "zh_CN.GB2312", 1);
  EXPECT_EQ(SystemDefaultLangId(), kLangChinese);
  setenv("LC_ALL", "zh_TW.UTF-8", 1);
  EXPECT_EQ(SystemDefaultLangId(), kLangEnglish);
  for (int i = 0; i < 3; ++i) {
    if (saved[i]) setenv(names[i], keep[i].c_str(), 1);
    else unsetenv(names[i]);
  }
  EXPECT_EQ(CodePageForLang(kLangChinese), 936);
  EXPECT_EQ(CodePageForLang(1031), 1252);
}
