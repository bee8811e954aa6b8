// The settings page's tables and translations, without a printer: code page
// rows and numbers, media words, the application list, the msw digits, the
// two layouts and the lines a Write would send.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>

#include "pages/core/memory_controls.h"
#include "pages/settings/settings_page.h"
#include "protocol/text_codec.h"
#include "resources/dialogs.h"
#include "resources/strings.h"
#include "test_support.h"

using namespace deveder;

namespace {

QStringList Names(std::initializer_list<const char*> a) {
  QStringList out;
  for (const char* s : a) out << QString::fromUtf8(s);
  return out;
}
template <std::size_t N>
QStringList Names(const std::array<const char*, N>& a) {
  QStringList out;
  for (const char* s : a) out << QString::fromUtf8(s);
  return out;
}

// The page's controls after creation, without a printer.
struct Page {
  explicit Page(int lang) : controls(Dialog144(lang)), ctx{controls, ui, info, LinkChoice{}, lang} {
    page.OnCreate(ctx);
  }
  std::vector<std::string> Lines(LineForm form = LineForm::Numbered) {
    return BuildSettingsWrite(controls, form, ctx.langId).lines;
  }
  MemoryControls controls;
  tst::RecordingUi ui;
  PrinterInfo info;
  PageContext ctx;
  SettingsPage page;
};

std::string SetN(int index, const std::string& value) {
  return "\x1b\x1b! U1 setvar \"0\" \"" + std::to_string(index) + "\" \"" + value + "\"\r\n";
}
std::string SetNamed(const std::string& name, const std::string& value) {
  return "\x1b\x1b! U1 setvar \"" + name + "\" \"" + value + "\"\r\n";
}

// Selects one button of every ESC/POS pair: `no` the second of each.
void SelectEscpos(ControlModel& c, bool no, bool mbcs, int fontSize) {
  const std::pair<int, int> pairs[] = {{kSetRewindYes, kSetRewindNo},   {kSetBufferYes, kSetBufferNo},
                                       {kSetFontCmdYes, kSetFontCmdNo}, {kSetFontSavedYes, kSetFontSavedNo},
                                       {kSetEnlargeYes, kSetEnlargeNo}};
  for (auto [yes, n] : pairs) no ? SelectRadio(c, n, yes) : SelectRadio(c, yes, n);
  mbcs ? SelectRadio(c, kSetMbcs, kSetSbcs) : SelectRadio(c, kSetSbcs, kSetMbcs);
  c.SetCurrentIndex(kSetFontSize, fontSize);
}

}  // namespace

TEST(SettingsCodePage, RowsAndNumbersBothWays) {
  const QStringList captions = CodePageCaptions();
  ASSERT_EQ(captions.size(), 105);
  EXPECT_EQ(captions.front(), "CP437(U.S.A,Standard Europe)");
  EXPECT_EQ(captions.back(), "euc");
  // Numbers 92 and 93 share a caption; the list shows it twice.
  EXPECT_EQ(captions.count("Simplified Kanji"), 2);
  EXPECT_EQ(captions.indexOf("Simplified Kanji"), 91);

  EXPECT_EQ(CodePageRowOfNumber(1), 0);
  EXPECT_EQ(CodePageRowOfNumber(93), 92);
  EXPECT_EQ(captions[CodePageRowOfNumber(10000)], "utf8");
  EXPECT_EQ(captions[CodePageRowOfNumber(10005)], "big5");
  EXPECT_EQ(CodePageRowOfNumber(10011), 104);
  for (long none : {0L, -1L, 94L, 105L, 9906L, 9999L, 10012L, 2147483647L, -2147483647L}) EXPECT_EQ(CodePageRowOfNumber(none), -1) << none;

  EXPECT_EQ(CodePageNumberOfRow(92), 93);
  EXPECT_EQ(CodePageNumberOfRow(93), 10000);
  for (int row = 0; row < kCodePageCount; ++row) EXPECT_EQ(CodePageRowOfNumber(CodePageNumberOfRow(row)), row);
}

TEST(SettingsMedia, WordsAreExactAndCaseSensitive) {
  EXPECT_EQ(MediaIndexOfReply("label_reflect"), 3);
  EXPECT_EQ(MediaIndexOfReply("black"), 4);
  EXPECT_EQ(MediaIndexOfReply("black_trans"), 2);
  for (const char* other : {"LABEL_REFLECT", "label ", "labe", "receipt", ""}) EXPECT_EQ(MediaIndexOfReply(other), 0) << other;
  EXPECT_STREQ(MediaWordOfIndex(0), "receipt");
  EXPECT_STREQ(MediaWordOfIndex(3), "label_reflect");
  EXPECT_STREQ(MediaWordOfIndex(-1), "receipt");
  EXPECT_STREQ(MediaWordOfIndex(5), "receipt");
}

TEST(SettingsAppList, LanguagesAndModelDecideTheList) {
  MemoryControls c(Dialog144(kLangChinese));
  const QString standard = QString::fromUtf8(kAppStandardMode);
  c.AddItem(kSetApp, "stale");
  c.SetCurrentIndex(kSetApp, 0);

  FillAppList(c, kLangEscpos, "TQ250L");
  EXPECT_EQ(Items(c, kSetApp), QStringList{standard} + Names(kEscposModelAppNames));
  EXPECT_EQ(c.CurrentIndex(kSetApp), -1);
  // The model must match exactly, letter case and all.
  for (const char* model : {"tq250l", "TQ250L ", "TQ25", "XP-80"}) {
    FillAppList(c, kLangEscpos, model);
    EXPECT_EQ(Items(c, kSetApp), QStringList{standard} + Names({"伊利云商", "货销宝", "云销宝"})) << model;
  }
  for (std::uint8_t mask : {0, 8}) {
    FillAppList(c, mask, "TQ210");
    EXPECT_EQ(Items(c, kSetApp), QStringList{standard}) << int(mask);
  }
  // CPCL replaces the standard mode; TSPL names always come last.
  FillAppList(c, kLangCpcl | kLangTspl, "TQ210");
  EXPECT_EQ(Items(c, kSetApp), Names(kCpclAppNames) + Names({"熊猫快收", "驿站小扁担"}));
  EXPECT_EQ(c.ItemCount(kSetApp), 17);
  FillAppList(c, kLangCpcl | kLangEscpos | kLangTspl | kLangZpl, "TQ210");
  EXPECT_EQ(c.ItemCount(kSetApp), 15 + 12 + 2);
  EXPECT_EQ(c.ItemText(kSetApp, 15), "百世快运");
}

TEST(SettingsMsw, DigitsFromTheEscposGroup) {
  MemoryControls c(Dialog144(kLangEnglish));
  EXPECT_FALSE(BuildMswDigits(c));  // nothing selected yet
  SelectEscpos(c, false, false, 0);
  EXPECT_EQ(BuildMswDigits(c), "2020000000000000");
  SelectEscpos(c, true, true, 3);
  EXPECT_EQ(BuildMswDigits(c), "5780000000000000");
  // No font size counts as index -1: both low bits set.
  c.SetCurrentIndex(kSetFontSize, -1);
  EXPECT_EQ(BuildMswDigits(c), "5780000000000000");
  SelectEscpos(c, false, false, -1);
  EXPECT_EQ(BuildMswDigits(c), "2320000000000000");
  c.SetChecked(kSetEnlargeYes, false);
  EXPECT_FALSE(BuildMswDigits(c));
}

TEST(SettingsMsw, RepliesSetTheGroupOrChangeNothing) {
  MemoryControls c(Dialog144(kLangEnglish));
  ASSERT_TRUE(ApplyMswDigits(c, "77AFFFFFFFFFFFFF"));
  for (int on : {kSetFontCmdNo, kSetFontSavedYes, kSetMbcs, kSetRewindNo, kSetEnlargeNo, kSetBufferYes})
    EXPECT_TRUE(c.Checked(on)) << on;
  for (int off : {kSetFontCmdYes, kSetFontSavedNo, kSetSbcs, kSetRewindYes, kSetEnlargeYes, kSetBufferNo})
    EXPECT_FALSE(c.Checked(off)) << off;
  EXPECT_EQ(CurrentItemText(c, kSetFontSize), "倍宽倍高");
  EXPECT_EQ(BuildMswDigits(c), "77A0000000000000");  // the bits the page shows survive a round trip

  ASSERT_TRUE(ApplyMswDigits(c, "0000000000000000"));
  EXPECT_EQ(BuildMswDigits(c), "0000000000000000");
  ASSERT_TRUE(ApplyMswDigits(c, "5b8000000000000a"));  // lower case is hexadecimal too
  EXPECT_EQ(BuildMswDigits(c), "5380000000000000");

  // A byte that is no digit, anywhere, and a wrong length change nothing.
  for (const char* bad : {"G000000000000000", "000000000000000g", "0 00000000000000", "000000000000000", "00000000000000000"}) {
    EXPECT_FALSE(ApplyMswDigits(c, bad)) << bad;
    EXPECT_EQ(BuildMswDigits(c), "5380000000000000") << bad;
  }
  EXPECT_FALSE(ApplyMswDigits(c, std::string_view("7\0" "7A000000000000", 16)));
}

TEST(SettingsLayout, TwoTemplatesWithTheSameIds) {
  const DialogTemplate& en = Dialog144(kLangEnglish);
  const DialogTemplate& zh = Dialog144(kLangChinese);
  EXPECT_EQ(&FindDialogTemplate(144, kLangChinese), &zh);
  EXPECT_EQ(&FindDialogTemplate(144, kLangEnglish), &en);
  EXPECT_EQ(std::make_pair(en.width, en.height), std::make_pair(360, 221));
  EXPECT_EQ(std::make_pair(zh.width, zh.height), std::make_pair(360, 231));
  // The Chinese layout has the heating group besides everything the English one has.
  ASSERT_EQ(zh.controls.size(), en.controls.size() + 5);
  std::set<int> enIds, zhIds;
  for (const auto& c : en.controls) EXPECT_TRUE(enIds.insert(c.id).second) << c.id;
  for (const auto& c : zh.controls) EXPECT_TRUE(zhIds.insert(c.id).second) << c.id;
  std::vector<int> extra;
  std::set_difference(zhIds.begin(), zhIds.end(), enIds.begin(), enIds.end(), std::back_inserter(extra));
  EXPECT_EQ(extra, (std::vector<int>{1039, 1079, 1083, 1084, 1117}));

  // Each pair is one exclusive choice: its first button starts a group.
  int starts = 0;
  for (const auto& c : zh.controls) starts += c.kind == ControlKind::RadioButton && (c.style & kStyleGroupStart);
  EXPECT_EQ(starts, 8);

  // Both layouts carry the same lists; the page adds the code pages and the
  // application list's first item, and selects nothing.
  Page pe(kLangEnglish), pz(kLangChinese);
  for (int id : {kSetDensity, kSetSpeed, kSetMedia, kSetEncode, kSetPpl, kSetMenuLang, kSetFontSize, kSetCodePage})
    EXPECT_EQ(Items(pe.controls, id), Items(pz.controls, id)) << id;
  EXPECT_EQ(Items(pe.controls, kSetCodePage), CodePageCaptions());
  EXPECT_EQ(Items(pe.controls, kSetApp), QStringList{"Common"});
  EXPECT_EQ(Items(pz.controls, kSetApp), QStringList{QStringLiteral("标准模式")});
  for (Page* p : {&pe, &pz}) {
    for (int id : {kSetDensity, kSetMedia, kSetCodePage, kSetApp, kSetMenuLang, kSetFontSize})
      EXPECT_EQ(p->controls.CurrentIndex(id), -1) << id;
    EXPECT_TRUE(p->page.NeedsRead());
  }
}

TEST(SettingsWriteLines, UntouchedPageSendsOnlyTheAlwaysRows) {
  // Empty MFG still goes out; empty SN and MDL do not; both USB edits empty
  // send ";"; no app selected sends -1; no radio pair selected: no msw.
  Page zh(kLangChinese);
  SettingsWritePlan plan = BuildSettingsWrite(zh.controls, LineForm::Numbered, kLangChinese);
  EXPECT_EQ(plan.lines, (std::vector<std::string>{SetN(7, ""), SetN(10, ";"), SetN(46, "-1"), SetN(47, "/")}));
  EXPECT_FALSE(plan.complete);
  EXPECT_EQ(plan.tooLong, nullptr);
  // On an English system "app" and "app_str" are no part of the set.
  Page en(kLangEnglish);
  EXPECT_EQ(en.Lines(LineForm::Named), (std::vector<std::string>{SetNamed("mfg", ""), SetNamed("usbd", ";")}));
}

TEST(SettingsWriteLines, ListsRadiosAndNamedOnlyVariables) {
  Page p(kLangChinese);
  ControlModel& c = p.controls;
  c.SetText(kSetModel, "TQ250L");
  c.SetText(kSetUsbMfg, "Zivuvo");
  c.SetCurrentIndex(kSetHeatSections, 8);
  c.SetText(kSetHeatTime, "70");
  c.SetCurrentIndex(kSetMedia, 0);
  c.SetCurrentIndex(kSetCodePage, 93);
  c.SetCurrentIndex(kSetApp, 0);
  c.SetText(kSetAppNameCn, "快递");
  SelectRadio(c, kSetWarnTriple, kSetWarnLoop);
  SelectRadio(c, kSetCoverLocate, kSetCoverNoAction);
  c.SetCurrentIndex(kSetMenuLang, 1);
  SelectEscpos(c, false, false, 0);
  SettingsWritePlan plan = BuildSettingsWrite(c, LineForm::Numbered, kLangChinese);
  EXPECT_TRUE(plan.complete);
  EXPECT_EQ(plan.lines, (std::vector<std::string>{
                            SetNamed("model", "TQ250L"), SetN(7, ""), SetN(10, "Zivuvo;"),
                            SetNamed("heat_section", "9"), SetNamed("heat_time", "70"), SetN(33, "receipt"),
                            SetN(42, "10000"), SetN(46, "0"), SetN(47, "/\xBF\xEC\xB5\xDD"),
                            "\x1b\x1b! U1 setvar \"0\" \"51\" \"1\"\r\n", "\x1b\x1b! U1 setvar \"0\" \"50\" \"0\"\r\n",
                            SetN(49, "1"), SetN(48, "2020000000000000")}));

  c.SetCurrentIndex(kSetCodePage, 92);
  c.SetCurrentIndex(kSetMedia, 3);
  SelectRadio(c, kSetWarnLoop, kSetWarnTriple);
  c.SetChecked(kSetCoverLocate, false);
  SelectEscpos(c, true, true, 3);
  const std::vector<std::string> named = p.Lines(LineForm::Named);
  EXPECT_NE(std::find(named.begin(), named.end(), SetNamed("codepage", "93")), named.end());
  EXPECT_NE(std::find(named.begin(), named.end(), SetNamed("media", "label_reflect")), named.end());
  EXPECT_NE(std::find(named.begin(), named.end(), "\x1b\x1b! U1 setvar \"warn_format\" \"0\"\r\n"), named.end());
  for (const std::string& l : named) EXPECT_EQ(l.find("cover_action"), std::string::npos);
  EXPECT_EQ(named.back(), SetNamed("msw", "5780000000000000"));
}

TEST(SettingsWriteLines, AValueTooLongForItsLineIsNamed) {
  Page p(kLangEnglish);
  p.controls.SetText(kSetSerial, QString(4095 - 26, QLatin1Char('s')));
  EXPECT_EQ(BuildSettingsWrite(p.controls, LineForm::Numbered, kLangEnglish).tooLong, nullptr);
  p.controls.SetText(kSetSerial, QString(4095 - 25, QLatin1Char('s')));
  EXPECT_STREQ(BuildSettingsWrite(p.controls, LineForm::Numbered, kLangEnglish).tooLong, "sn");
}
