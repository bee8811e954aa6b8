#include <gtest/gtest.h>

#include "protocol/command_line.h"

using namespace deveder;

namespace {
const PrinterVar kDensity{"density", 0, 31};
const PrinterVar kHeat{"heat_section", -1, 0};
const PrinterVar kAp{"wlan.ap", 2, 23};
}  // namespace

TEST(CommandLine, ModelRequestIsTheTwentyThreeBytes) {
  const unsigned char expected[] = {0x1B, 0x1B, 0x21, 0x20, 0x55, 0x31, 0x20, 0x67, 0x65, 0x74, 0x76, 0x61,
                                    0x72, 0x20, 0x22, 0x6D, 0x6F, 0x64, 0x65, 0x6C, 0x22, 0x0D, 0x0A};
  const std::string line = ModelRequestLine();
  ASSERT_EQ(line.size(), 23u);
  EXPECT_EQ(line, std::string(reinterpret_cast<const char*>(expected), sizeof expected));
}

TEST(CommandLine, BothFormsOfGetvarSetvarAndDo) {
  EXPECT_EQ(GetvarLine(kDensity, LineForm::Named), "\x1b\x1b! U1 getvar \"density\"\r\n");
  EXPECT_EQ(GetvarLine(kDensity, LineForm::Numbered), "\x1b\x1b! U1 getvar \"0\" \"31\"\r\n");
  // A named-only variable goes by name whatever the form.
  EXPECT_EQ(GetvarLine(kHeat, LineForm::Numbered), "\x1b\x1b! U1 getvar \"heat_section\"\r\n");
  EXPECT_EQ(SetvarIntLine(kDensity, LineForm::Numbered, 5), "\x1b\x1b! U1 setvar \"0\" \"31\" \"5\"\r\n");
  EXPECT_EQ(SetvarIntLine(kDensity, LineForm::Named, -1), "\x1b\x1b! U1 setvar \"density\" \"-1\"\r\n");
  const PrinterAction test{"print_test", 3};
  EXPECT_EQ(DoLine(test, LineForm::Numbered, {"testpage"}), "\x1b\x1b! U1 do \"3\" \"testpage\"\r\n");
  EXPECT_EQ(DoLine(test, LineForm::Named, {"testpage"}), "\x1b\x1b! U1 do \"print_test\" \"testpage\"\r\n");
  EXPECT_EQ(DoNamedLine("download", {"font", "12"}), "\x1b\x1b! U1 do \"download\" \"font\" \"12\"\r\n");
}

TEST(CommandLine, TextAndListValuesGoAsTheyAreOrNotAtAll) {
  auto line = SetvarTextLine({"mfg", 0, 7}, LineForm::Named, "a,b;c\x80\xFF");
  ASSERT_TRUE(line);
  EXPECT_EQ(*line, "\x1b\x1b! U1 setvar \"mfg\" \"a,b;c\x80\xFF\"\r\n");
  // Nothing escapes a byte that would end the argument or the line.
  for (const char* bad : {"a\"b", "a\rb", "a\nb", "\x1b\x1b", "a\x7F", "\x01"})
    EXPECT_FALSE(SetvarTextLine({"mfg", 0, 7}, LineForm::Named, bad)) << bad;
  EXPECT_FALSE(SetvarTextLine({"mfg", 0, 7}, LineForm::Named, std::string("a\0b", 3)));
  EXPECT_FALSE(SetvarListLine(kAp, LineForm::Named, {"ssid", "p\"w"}));
  EXPECT_EQ(FindUnsafeByte("ok \x80"), std::string_view::npos);
  EXPECT_EQ(FindUnsafeByte("ab\x7F"), 2u);
  auto empty = SetvarTextLine({"mfg", 0, 7}, LineForm::Numbered, "");
  ASSERT_TRUE(empty);
  EXPECT_EQ(*empty, "\x1b\x1b! U1 setvar \"0\" \"7\" \"\"\r\n");
  auto list = SetvarListLine(kAp, LineForm::Numbered, {"ssid,x", "pw", "1.2.3.4", "", "5.6.7.8"});
  ASSERT_TRUE(list);
  EXPECT_EQ(*list, "\x1b\x1b! U1 setvar \"2\" \"23\" \"ssid,x,pw,1.2.3.4,,5.6.7.8\"\r\n");
}

TEST(CommandLine, ValueThatWouldPassTheBufferIsRefusedNotCut) {
  const std::string prefix = "\x1b\x1b! U1 setvar \"mfg\" \"";
  // The longest value that still fits: prefix + value + 3 == 4095.
  const std::size_t fits = kMaxLineBytes - prefix.size() - 3;
  auto ok = SetvarTextLine({"mfg", 0, 7}, LineForm::Named, std::string(fits, 'x'));
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->size(), static_cast<std::size_t>(kMaxLineBytes));
  EXPECT_FALSE(SetvarTextLine({"mfg", 0, 7}, LineForm::Named, std::string(fits + 1, 'x')));
  EXPECT_FALSE(SetvarTextLine({"mfg", 0, 7}, LineForm::Named, std::string(4096, 'x')));
  EXPECT_FALSE(SetvarListLine(kAp, LineForm::Named, {std::string(4096, 'y')}));
}

TEST(CommandLine, DecimalReading) {
  EXPECT_EQ(ParseDecimal("  -12abc"), -12);
  EXPECT_EQ(ParseDecimal("+7"), 7);
  EXPECT_EQ(ParseDecimal("x1"), 0);
  EXPECT_EQ(ParseDecimal(""), 0);
  EXPECT_EQ(ParseDecimal("3.9"), 3);
  EXPECT_GT(ParseDecimal("99999999999999999999999999"), 0);  // saturates, no overflow
  EXPECT_EQ(FormForFlag('O'), LineForm::Named);
  EXPECT_EQ(FormForFlag(0), LineForm::Numbered);
  EXPECT_EQ(FormForFlag('o'), LineForm::Numbered);
}
