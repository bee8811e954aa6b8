#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "protocol/printer_info.h"

using namespace deveder;

namespace {
PrinterInfo Parse(std::string reply, unsigned char* flag = nullptr) {
  PrinterInfo info;
  // Stale values must not survive a probe.
  std::strcpy(info.modelName, "OLD");
  info.modelNumber = 99;
  info.languageMask = 0xFF;
  info.namedFormFlag = 'O';
  unsigned char f = ParseModelReply(reply.data(), info);
  if (flag) *flag = f;
  return info;
}
}  // namespace

TEST(ParseModelReply, FourFieldsSelectTheNamedForm) {
  unsigned char flag = 0;
  PrinterInfo i = Parse("X;12;CPCL,TSPL;1", &flag);
  EXPECT_STREQ(i.modelName, "X");
  EXPECT_EQ(i.modelNumber, 12);
  EXPECT_EQ(i.languageMask, 0x05);
  EXPECT_EQ(flag, 'O');
  EXPECT_TRUE(i.named());
}

TEST(ParseModelReply, ThreeFieldsAndEmptyFieldsKeepTheNumberedForm) {
  PrinterInfo i = Parse("X;12;CPCL");
  EXPECT_EQ(i.namedFormFlag, 0);
  EXPECT_EQ(i.languageMask, kLangCpcl);

  i = Parse(";;ZPL;");
  EXPECT_STREQ(i.modelName, "");
  EXPECT_EQ(i.modelNumber, 0);
  EXPECT_EQ(i.languageMask, kLangZpl);
  EXPECT_EQ(i.namedFormFlag, 0);

  i = Parse("A;;TSPL");  // an empty field still counts as a position
  EXPECT_EQ(i.languageMask, kLangTspl);
}

TEST(ParseModelReply, LanguageWordsAreCaseSensitiveSubstrings) {
  EXPECT_EQ(Parse("X;1;escpos").languageMask, 0);
  EXPECT_EQ(Parse("X;1;ESCPOS_TSPL;1;ZPL").languageMask, kLangEscpos | kLangTspl);  // fifth field ignored
}

TEST(ParseModelReply, LineEndBelongsToTheLastField) {
  EXPECT_EQ(Parse("X;1;CPCL\r\n").namedFormFlag, 0);
  EXPECT_EQ(Parse("X;1;CPCL;\r\n").namedFormFlag, 'O');
}

TEST(ParseModelReply, EmptyReplyAndNoSeparator) {
  PrinterInfo i = Parse("");
  EXPECT_STREQ(i.modelName, "");
  EXPECT_EQ(i.modelNumber, 0);
  EXPECT_EQ(i.languageMask, 0);
  EXPECT_EQ(i.namedFormFlag, 0);
  i = Parse("JUSTANAME");
  EXPECT_STREQ(i.modelName, "JUSTANAME");
  EXPECT_EQ(i.modelNumber, 0);
}

TEST(ParseModelReply, LongNameIsCutTo31BytesAndNumberKeepsLow16Bits) {
  PrinterInfo i = Parse(std::string(40, 'N') + ";65537;CPCL");
  EXPECT_EQ(std::strlen(i.modelName), 31u);
  EXPECT_EQ(i.modelNumber, 1);
  EXPECT_EQ(Parse("X;-3").modelNumber, -3);
}
