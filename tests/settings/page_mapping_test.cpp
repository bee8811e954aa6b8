// The pages' own mapping without a port: a set of answers put into the
// controls by ApplySettingsValues, ApplyWifiValues and ApplyBluetoothValues
// leaves every control, and the next Write's lines, as the page's Read of a
// printer holding the same values does. Printers whose answers select no
// item and no button among them.
#include <gtest/gtest.h>

#include "page_rig.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

using Held = std::vector<std::pair<std::string, std::string>>;

// Reads a simulated printer holding `held` with the page, puts the same
// values into a second page's controls with its Apply function, and
// compares the controls and the lines each Write would send.
void ExpectApplyMatchesRead(PageKind kind, int lang, const Held& held, const char* what) {
  PageRig read(kind, lang, {}, false, ShortTiming(false));
  for (const auto& [name, value] : held) read.Set(name, value);
  ASSERT_TRUE(read.Read()) << what;

  PageRig applied(kind, lang);
  // Every value the printer holds, as it would answer.
  PageValues values;
  const std::vector<const char*>& names = kind == PageKind::Settings ? SettingsVariables()
                                          : kind == PageKind::Wifi   ? WifiVariables()
                                                                     : BluetoothVariables();
  for (const char* name : names) {
    const std::string value = read.Get(name);
    if (value == "(none)" || std::string(name) == "model") continue;
    // A WLAN module ends each answer with a NUL, an empty one too.
    values[name] = kind == PageKind::Wifi ? value + '\0' : value;
  }
  const LineForm form = LineForm::Named;
  std::vector<std::string> expected, got;
  if (kind == PageKind::Settings) {
    values["model"] = "TQ250L";
    SettingsReadBack back;
    ASSERT_TRUE(ApplySettingsValues(applied.controls, values, lang, read.info.languageMask, "TQ250L", &back)) << what;
    expected = BuildSettingsWrite(read.controls, form, lang, &static_cast<SettingsPage&>(*read.page).LastRead()).lines;
    got = BuildSettingsWrite(applied.controls, form, lang, &back).lines;
  } else if (kind == PageKind::Wifi) {
    WifiChoice choice;
    ReadBack back;
    ApplyWifiValues(applied.controls, values, lang, choice, &back);
    const auto& page = static_cast<WifiPage&>(*read.page);
    EXPECT_EQ(choice.mode, page.Mode()) << what;
    EXPECT_EQ(choice.dhcpChoice, page.DhcpChoice()) << what;
    expected = BuildWifiWrite(read.controls, form, lang, &page.LastRead()).lines;
    got = BuildWifiWrite(applied.controls, form, lang, &back).lines;
  } else {
    ReadBack back;
    ApplyBluetoothValues(applied.controls, values, lang, &back);
    expected = BuildBluetoothWrite(read.controls, form, lang, &static_cast<BluetoothPage&>(*read.page).LastRead()).lines;
    got = BuildBluetoothWrite(applied.controls, form, lang, &back).lines;
  }
  EXPECT_EQ(applied.State(), read.State()) << what;
  EXPECT_EQ(got, expected) << what;
}

TEST(PageMapping, ApplyingValuesDoesWhatTheReadDoes) {
  for (int lang : {kLangEnglish, kLangChinese}) {
    ExpectApplyMatchesRead(PageKind::Settings, lang, {}, "settings as the printer holds them");
    ExpectApplyMatchesRead(PageKind::Settings, lang,
                           {{"density", "x"}, {"speed", ""}, {"media", "zzz"}, {"codepage", "77"}, {"ppl", "none"},
                            {"app", "42"}, {"app_str", "Plain"}, {"warn_format", ""}, {"menu_lang", "5"},
                            {"usbd", "NoModel"}, {"sn", ""}, {"msw", "246000000000000"}},
                           "settings that select nothing");
    ExpectApplyMatchesRead(PageKind::Wifi, lang, {}, "wifi as the printer holds it");
    ExpectApplyMatchesRead(PageKind::Wifi, lang,
                           {{"wlan.mode", "9"}, {"wlan.dhcp", ""}, {"wlan.apac", "x"}, {"wlan.ap", ",pw"},
                            {"wlan.sta", "s,,10.0.0.3"}},
                           "wifi that selects no button");
    ExpectApplyMatchesRead(PageKind::Wifi, lang, {{"wlan.mode", "2"}, {"wlan.dhcp", "7"}, {"wlan.ap", "OnlySsid"}},
                           "wifi with an AP only");
    ExpectApplyMatchesRead(PageKind::Bluetooth, lang, {}, "bluetooth as the printer holds it");
    ExpectApplyMatchesRead(PageKind::Bluetooth, lang, {{"bluetooth.baud", "1"}, {"bluetooth.cod", ""}},
                           "bluetooth lists with no item");
  }
}

// What a Read asks the printer for, on each layout, is the table's list.
TEST(PageMapping, TheReadAsksForTheTablesVariablesOfItsLayout) {
  for (int lang : {kLangEnglish, kLangChinese}) {
    PageRig rig(PageKind::Settings, lang);
    ASSERT_TRUE(rig.Read());
    std::vector<std::string> asked, expected;
    for (const std::string& line : rig.printer->Lines())
      if (line != GetvarNamedLine("model")) asked.push_back(line);
    for (const PrinterVar& var : SettingsReadRequests(rig.controls, lang))
      expected.push_back(GetvarLine(var, LineForm::Named));
    EXPECT_EQ(asked, expected) << lang;
  }
}

// The edits a user makes, by variable: what each leaves in the controls.
TEST(PageMapping, EditsChangeOnlyTheirControlsAndRefuseWhatFitsNothing) {
  PageRig rig(PageKind::Settings, kLangEnglish);
  ASSERT_TRUE(rig.Read());
  const std::string before = rig.State();
  for (const auto& [name, value] : std::vector<std::pair<const char*, const char*>>{
           {"density", "9"}, {"warn_format", "2"}, {"media", "paper"}, {"codepage", "-1"}, {"msw", "12"},
           {"app", "0"}, {"heat_time", "5"}, {"nosuch", "1"}}) {
    const EditResult r = EditSettingsValue(rig.controls, name, QString::fromLatin1(value), kLangEnglish);
    EXPECT_FALSE(r.ok()) << name;
  }
  EXPECT_EQ(rig.State(), before) << "a refused edit changes nothing";
  EXPECT_EQ(EditSettingsValue(rig.controls, "density", QStringLiteral("9"), kLangEnglish).fits,
            (QStringList{"0", "1", "2", "3", "4", "5", "6"}));

  ASSERT_TRUE(EditSettingsValue(rig.controls, "usbd", QStringLiteral("Acme;Model;X"), kLangEnglish).ok());
  EXPECT_EQ(rig.controls.Text(kSetUsbMfg), QStringLiteral("Acme"));
  EXPECT_EQ(rig.controls.Text(kSetUsbModel), QStringLiteral("Model;X"));
  ASSERT_TRUE(EditSettingsValue(rig.controls, "mfg", QString(), kLangEnglish).ok());
  EXPECT_EQ(rig.controls.Text(kSetMfg), QString());

  PageRig wifi(PageKind::Wifi, kLangEnglish);
  ASSERT_TRUE(wifi.Read());
  EXPECT_FALSE(EditWifiValue(wifi.controls, "wlan.ap", QStringLiteral("a,b,c,d,e,f")).ok());
  EXPECT_FALSE(EditWifiValue(wifi.controls, "wlan.lip", QStringLiteral("1.2.3.4")).ok());
  ASSERT_TRUE(EditWifiValue(wifi.controls, "wlan.sta", QStringLiteral("x,y")).ok());
  EXPECT_EQ(wifi.controls.Text(wifi::kStaPassword), QStringLiteral("y"));
  EXPECT_EQ(wifi.controls.Text(wifi::kStaIp), QString());
  ASSERT_TRUE(EditWifiValue(wifi.controls, "wlan.mode", QStringLiteral("2")).ok());
  EXPECT_TRUE(wifi.controls.Checked(wifi::kModeAp));
  EXPECT_FALSE(wifi.controls.Checked(wifi::kModeSta));
}

}  // namespace
