// A Write changes only what the user changed: a variable the printer did
// not answer, or whose value the page cannot show as it is, gets no line
// while untouched, the printer keeps it byte for byte and the page says it
// was left there; once the user gives it a value, it is written. Each bound
// of what a control can show, just inside and just outside.
#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "page_rig.h"
#include "pages/core/page_values.h"
#include "pages/core/write_values.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

// The values the lines carry, by variable (the simulated printer takes the
// named form).
std::map<std::string, std::string> Sent(const std::vector<std::string>& lines) {
  std::map<std::string, std::string> out;
  for (const std::string& line : lines) {
    std::string name, value;
    if (ParseNamedSetvar(line, name, value)) out[name] = value;
  }
  return out;
}

// The longest mfg a named line can carry.
std::string LongestMfg() {
  std::string mfg(4000, 'm');
  while (SetvarTextLine(setvar::kMfg, LineForm::Named, mfg + 'm')) mfg += 'm';
  return mfg;
}

std::map<std::string, std::string> StoreOf(PageRig& rig) {
  std::map<std::string, std::string> out;
  auto lock = rig.printer->Lock();
  for (const std::string& name : rig.printer->Store().Names()) out[name] = *rig.printer->Store().Get(name);
  return out;
}

EditResult EditOn(PageRig& rig, const std::string& var, const char* value) {
  const QString v = QString::fromUtf8(value);
  if (rig.kind_ == PageKind::Settings) return EditSettingsValue(rig.controls, var, v, kLangChinese);
  if (rig.kind_ == PageKind::Wifi) return EditWifiValue(rig.controls, var, v);
  return EditBluetoothValue(rig.controls, var, v);
}

// What a user then gives each variable (a change from what any Read below
// leaves), and what its line carries when that differs.
const std::map<std::string, std::pair<const char*, const char*>>& Edits() {
  static const std::map<std::string, std::pair<const char*, const char*>> edits = {
      {"usbd", {"X1", "X1;"}},          {"app_str", {"X1", "X1/"}},       {"heat_section", {"9", nullptr}},
      {"density", {"5", nullptr}},      {"speed", {"2", nullptr}},        {"media", {"black", nullptr}},
      {"encode", {"utf8", nullptr}},    {"codepage", {"10011", nullptr}}, {"ppl", {"cpcl", nullptr}},
      {"app", {"28", nullptr}},         {"warn_format", {"1", nullptr}},  {"cover_action", {"1", nullptr}},
      {"menu_lang", {"1", nullptr}},    {"msw", {"0000000000000000", nullptr}},
      {"wlan.mode", {"2", nullptr}},    {"wlan.dhcp", {"1", nullptr}},    {"wlan.apac", {"0", nullptr}},
      {"wlan.ap", {"N,pw,10.0.0.2,255.0.0.0,10.0.0.1", nullptr}},
      {"wlan.sta", {"N,pw,10.0.0.2,255.0.0.0,10.0.0.1", nullptr}},
      {"bluetooth.address", {"001A7DDA7114", nullptr}},
      {"bluetooth.baud", {"9600", nullptr}}, {"bluetooth.cod", {"1F00", nullptr}},
  };
  return edits;
}

struct Case {
  PageKind kind;
  std::string var;
  std::optional<std::string> held;  // nullopt: the printer never answers
  const char* edit = nullptr;       // instead of the usual edit
};

// Every variable a page writes, never answered, and values the page cannot
// show as they are.
std::vector<Case> Cases() {
  std::vector<Case> cases = {
      {PageKind::Settings, "heat_section", "10"},   {PageKind::Settings, "density", "7"},
      {PageKind::Settings, "media", "LABEL"},        {PageKind::Settings, "encode", "SHIFT"},
      {PageKind::Settings, "codepage", "94"},        {PageKind::Settings, "codepage", "10012"},
      {PageKind::Settings, "codepage", "0"},         {PageKind::Settings, "ppl", "none"},
      {PageKind::Settings, "app", "29"},             {PageKind::Settings, "warn_format", "5", "0"},
      {PageKind::Settings, "warn_format", "-1", "0"}, {PageKind::Settings, "cover_action", "7", "0"},
      {PageKind::Settings, "menu_lang", "2"},        {PageKind::Settings, "msw", "246000000000000"},
      {PageKind::Settings, "msw", "24600000000000000"}, {PageKind::Wifi, "wlan.mode", "4"},
      {PageKind::Wifi, "wlan.mode", "0"},            {PageKind::Wifi, "wlan.dhcp", "2"},
      {PageKind::Wifi, "wlan.apac", "-1"},           {PageKind::Bluetooth, "bluetooth.baud", "92160"},
      {PageKind::Bluetooth, "bluetooth.cod", "68"},
  };
  // A text one byte too long for its line: the printer's bytes cannot go back.
  cases.push_back({PageKind::Settings, "mfg", LongestMfg() + 'm'});
  for (PageKind kind : {PageKind::Settings, PageKind::Wifi, PageKind::Bluetooth}) {
    PageRig rig(kind, kLangChinese, {}, false, ShortTiming(false));
    EXPECT_TRUE(rig.Read());
    for (const auto& [var, value] : Sent(rig.Write()))
      if (var != "model") cases.push_back({kind, var, std::nullopt});  // the model is the probe's answer
  }
  return cases;
}

TEST(ReadState, WhatTheReadCouldNotShowIsLeftWithThePrinterUntilTheUserChangesIt) {
  for (const Case& k : Cases()) {
    SCOPED_TRACE(k.var + " = " + (k.held ? k.held->substr(0, 20) : "(no answer)"));
    PageRig rig(k.kind, kLangChinese, {}, false, ShortTiming(false, std::chrono::milliseconds(80)));
    ASSERT_TRUE(rig.Read());  // the controls hold a Read's values already
    if (k.held) {
      rig.Set(k.var, *k.held);
    } else {
      auto lock = rig.printer->Lock();
      rig.printer->Store().Forget(k.var);
    }
    ASSERT_TRUE(rig.Read());
    const auto before = StoreOf(rig);
    const std::map<std::string, std::string> unchanged = Sent(rig.Write());
    EXPECT_EQ(unchanged.count(k.var), 0u);
    EXPECT_GT(unchanged.size(), 1u);  // the rest still go
    EXPECT_EQ(StoreOf(rig), before);
    const std::vector<KeptValue> kept = rig.page->KeptAtLastWrite();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].var, k.var);
    EXPECT_EQ(kept[0].why, k.held ? KeptWhy::NotShown : KeptWhy::Unanswered);
    EXPECT_EQ(rig.ui.messages.front(), KeptValuesMessage(kept, kLangChinese));

    auto usual = Edits().find(k.var);
    const char* edit = k.edit ? k.edit : usual != Edits().end() ? usual->second.first : "X1";
    const char* sent = !k.edit && usual != Edits().end() && usual->second.second ? usual->second.second : edit;
    ASSERT_TRUE(EditOn(rig, k.var, edit).ok());
    const auto edited = Sent(rig.Write());
    EXPECT_EQ(edited.count(k.var) ? edited.at(k.var) : "(no line)", sent);
    EXPECT_TRUE(rig.page->KeptAtLastWrite().empty());
  }
}

// The value each control can hold at the edge of what it shows goes back as
// read; the reading just past that edge is not shown and stays with the
// printer (above).
TEST(ReadState, AValueJustInsideWhatTheControlShowsGoesBackAsRead) {
  const std::vector<std::pair<PageKind, std::pair<const char*, const char*>>> inside = {
      {PageKind::Settings, {"heat_section", "9"}}, {PageKind::Settings, {"density", "6"}},
      {PageKind::Settings, {"media", "black"}},     {PageKind::Settings, {"codepage", "93"}},
      {PageKind::Settings, {"codepage", "10011"}},  {PageKind::Settings, {"codepage", "1"}},
      {PageKind::Settings, {"app", "28"}},          {PageKind::Settings, {"warn_format", "0"}},
      {PageKind::Settings, {"menu_lang", "1"}},     {PageKind::Settings, {"msw", "246000000000000F"}},
      {PageKind::Wifi, {"wlan.mode", "3"}},         {PageKind::Wifi, {"wlan.mode", "1"}},
      {PageKind::Wifi, {"wlan.dhcp", "1"}},         {PageKind::Wifi, {"wlan.apac", "0"}},
      {PageKind::Bluetooth, {"bluetooth.baud", "921600"}}, {PageKind::Bluetooth, {"bluetooth.cod", "680"}},
  };
  for (const auto& [kind, held] : inside) {
    PageRig rig(kind, kLangChinese, {}, false, ShortTiming(false));
    rig.Set(held.first, held.second);
    ASSERT_TRUE(rig.Read()) << held.first;
    EXPECT_EQ(Sent(rig.Write())[held.first], held.second) << held.first;
    EXPECT_TRUE(rig.page->KeptAtLastWrite().empty()) << held.first << " " << held.second;
  }
  // The longest text a line carries.
  PageRig rig(PageKind::Settings, kLangChinese, {}, false, ShortTiming(false));
  const std::string mfg = LongestMfg();
  rig.Set("mfg", mfg);
  ASSERT_TRUE(rig.Read());
  EXPECT_EQ(Sent(rig.Write())["mfg"], mfg);
}

// A comma in a field of a WiFi list would give the printer one field
// more: it is refused like a double quote, naming the field as the page
// labels it, and nothing is sent.
TEST(ReadState, ACommaInAWifiListFieldRefusesTheWrite) {
  const std::vector<std::pair<int, const char*>> fields = {
      {wifi::kApSsid, "AP Mode SSID"}, {wifi::kApPassword, "AP Mode PWD"},
      {wifi::kStaSsid, "STA Mode SSID"}, {wifi::kStaPassword, "STA Mode PWD"}};
  for (int lang : {kLangEnglish, kLangChinese}) {
    PageRig rig(PageKind::Wifi, lang, {}, false, ShortTiming(false));
    ASSERT_TRUE(rig.Read());
    for (const auto& [id, label] : fields) {
      const QString was = rig.controls.Text(id);
      rig.controls.SetText(id, QStringLiteral("a,b"));
      const WritePlan plan = BuildWifiWrite(rig.controls, LineForm::Named, lang,
                                            &static_cast<WifiPage&>(*rig.page).LastRead());
      ASSERT_TRUE(plan.refusal) << label;
      EXPECT_TRUE(plan.lines.empty());
      if (lang == kLangEnglish) {
        EXPECT_EQ(plan.refusal->field, QString::fromLatin1(label));
      }
      EXPECT_TRUE(plan.refusal->splitsList);
      rig.controls.SetText(id, was);
    }
    rig.controls.SetText(wifi::kStaPassword, QStringLiteral("pass,word"));
    EXPECT_TRUE(rig.Write().empty());
    const ValueRefusal named{lang == kLangChinese ? QStringLiteral("STA 模式 密码") : QStringLiteral("STA Mode PWD"),
                             ValueFault::None, U',', true};
    EXPECT_EQ(rig.ui.messages, std::vector<QString>{ValueRefusalMessage(named, lang)});
  }
}

}  // namespace
