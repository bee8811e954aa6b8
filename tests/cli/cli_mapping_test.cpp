// deveder-cli through its binary against the window's page logic: after the
// same Read and the same edits, `PAGE write NAME=VALUE...` sends byte for
// byte the lines the page's own Write sends. Random printers (answers that
// select no button or item among them) and random edits, both forms, both
// languages.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "page_rig.h"
#include "pages/settings/settings_tables.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

using Rng = std::mt19937;

template <typename T>
const T& Pick(Rng& rng, const std::vector<T>& from) {
  return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(rng)];
}
bool Coin(Rng& rng, int percent = 50) { return std::uniform_int_distribution<int>(0, 99)(rng) < percent; }
int Below(Rng& rng, int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

// What a printer holds, by variable: values its answers fit and values
// that fit no item and no button, and empty answers.
const std::vector<std::pair<const char*, std::vector<std::string>>>& PrinterChoices(PageKind kind) {
  static const std::vector<std::pair<const char*, std::vector<std::string>>> settings = {
      {"mfg", {"Zivuvo", "Acme Ltd", ""}},
      {"sn", {"ZV1", ""}},
      {"usbd", {"Zivuvo;TQ250L", "NoModel", ""}},
      {"density", {"3", "0", "x", ""}},
      {"heat_section", {"4", "z", ""}},
      {"heat_time", {"60", ""}},
      {"speed", {"4", "9", ""}},
      {"media", {"label", "black", "zzz", ""}},
      {"encode", {"gbk", "??", ""}},
      {"codepage", {"10001", "77", ""}},
      {"slice_offset", {"12", ""}},
      {"xoffset", {"0", "16", ""}},
      {"ppl", {"tspl", "none", ""}},
      {"app", {"0", "1", "42", ""}},
      {"app_str", {"Express/\xBF\xEC\xB5\xDD", "Plain", ""}},
      {"warn_format", {"1", "0", ""}},
      {"cover_action", {"1", "0", ""}},
      {"menu_lang", {"1", "0", "5", ""}},
      {"msw", {"2460000000000000", "246000000000000", ""}},
  };
  static const std::vector<std::pair<const char*, std::vector<std::string>>> wifi = {
      {"wlan.mode", {"1", "2", "3", "9", ""}},
      {"wlan.dhcp", {"0", "1", "7", ""}},
      {"wlan.apac", {"0", "1", "x", ""}},
      {"wlan.ap", {"AP,12345678,192.168.4.1,255.255.255.0,192.168.4.1", "OnlySsid", ",pw", ""}},
      {"wlan.sta", {"Shop,pw,10.0.0.2,255.0.0.0,10.0.0.1", "s,,10.0.0.3", ""}},
  };
  static const std::vector<std::pair<const char*, std::vector<std::string>>> bluetooth = {
      {"bluetooth.address", {"00:1A:7D:DA:71:13", ""}},
      {"bluetooth.bluetooth_pin", {"0000", ""}},
      {"bluetooth.friendly_name", {"TQ-BT", ""}},
      {"bluetooth.baud", {"115200", "1", ""}},
      {"bluetooth.cod", {"680", "zz", ""}},
  };
  return kind == PageKind::Settings ? settings : kind == PageKind::Wifi ? wifi : bluetooth;
}

// Text a user may type: letters, digits and spaces, sometimes nothing.
QString RandomText(Rng& rng, bool mayBeEmpty) {
  static const char kChars[] = "abcXYZ019 .-";
  const int n = mayBeEmpty && Coin(rng, 30) ? 0 : 1 + Below(rng, 8);
  QString out;
  for (int i = 0; i < n; ++i) out += QLatin1Char(kChars[Below(rng, static_cast<int>(sizeof kChars) - 1)]);
  return out;
}

struct Edit {
  std::string name;
  QString value;                             // as given to deveder-cli
  std::function<void(PageRig&)> inWindow;    // what a user does on the page
};

// A list item a user picks, given to deveder-cli as the value it stands for.
Edit PickItem(Rng& rng, PageRig& rig, const char* name, int id, std::function<QString(int)> valueOf = {}) {
  int index = Below(rng, std::max(1, rig.controls.ItemCount(id)));
  // The Bluetooth lists begin with an empty entry, which names no value.
  if (rig.controls.ItemText(id, index).isEmpty()) index = rig.controls.ItemCount(id) - 1;
  const QString value = valueOf ? valueOf(index) : rig.controls.ItemText(id, index);
  return {name, value, [id, index](PageRig& r) { r.controls.SetCurrentIndex(id, index); }};
}

Edit TypeText(const char* name, QString value, std::vector<int> ids, QChar splitAt = QChar()) {
  return {name, value, [ids, value, splitAt](PageRig& r) {
            const QStringList parts = splitAt.isNull() ? QStringList{value} : value.split(splitAt);
            for (std::size_t i = 0; i < ids.size(); ++i)
              r.controls.SetText(ids[i], static_cast<qsizetype>(i) < parts.size() ? parts[static_cast<qsizetype>(i)]
                                                                                   : QString());
          }};
}

Edit Radio(Rng& rng, const char* name, std::vector<int> ids, int first, bool viaPage) {
  const int which = Below(rng, static_cast<int>(ids.size()));
  return {name, QString::number(first + which), [ids, which, viaPage](PageRig& r) {
            if (viaPage) {
              r.page->OnControl(ids[static_cast<std::size_t>(which)], ControlEvent::Clicked, r.ctx);
            } else {
              for (std::size_t i = 0; i < ids.size(); ++i)
                r.controls.SetChecked(ids[i], static_cast<int>(i) == which);
            }
          }};
}

std::vector<Edit> RandomEdits(Rng& rng, PageKind kind, PageRig& rig, int lang) {
  std::vector<Edit> all;
  const bool zh = lang == kLangChinese;
  if (kind == PageKind::Settings) {
    all.push_back(TypeText("mfg", RandomText(rng, true), {kSetMfg}));
    all.push_back(TypeText("sn", RandomText(rng, true), {kSetSerial}));
    all.push_back(TypeText("model", RandomText(rng, false), {kSetModel}));
    all.push_back(TypeText("usbd", Coin(rng, 20) ? QString() : RandomText(rng, true) + ";" + RandomText(rng, true),
                           {kSetUsbMfg, kSetUsbModel}, QLatin1Char(';')));
    for (const char* n : {"slice_offset", "xoffset", "yoffset", "line_height"}) {
      const int id = std::string(n) == "slice_offset" ? kSetSliceOffset : std::string(n) == "xoffset" ? kSetXOffset
                     : std::string(n) == "yoffset"    ? kSetYOffset
                                                      : kSetLineHeight;
      all.push_back(TypeText(n, Coin(rng, 25) ? QString() : QString::number(Below(rng, 300)), {id}));
    }
    all.push_back(PickItem(rng, rig, "density", kSetDensity));
    all.push_back(PickItem(rng, rig, "speed", kSetSpeed));
    all.push_back(PickItem(rng, rig, "encode", kSetEncode));
    all.push_back(PickItem(rng, rig, "ppl", kSetPpl));
    all.push_back(PickItem(rng, rig, "media", kSetMedia, [](int i) { return QString::fromLatin1(MediaWordOfIndex(i)); }));
    all.push_back(PickItem(rng, rig, "codepage", kSetCodePage,
                           [](int i) { return QString::number(CodePageNumberOfRow(i)); }));
    all.push_back(PickItem(rng, rig, "menu_lang", kSetMenuLang, [](int i) { return QString::number(i); }));
    all.push_back(Radio(rng, "warn_format", {kSetWarnLoop, kSetWarnTriple}, 0, false));
    all.push_back(Radio(rng, "cover_action", {kSetCoverLocate, kSetCoverNoAction}, 0, false));
    if (zh) {
      all.push_back(PickItem(rng, rig, "heat_section", kSetHeatSections));
      all.push_back(TypeText("heat_time", RandomText(rng, true), {kSetHeatTime}));
      if (rig.controls.ItemCount(kSetApp) > 0)
        all.push_back(PickItem(rng, rig, "app", kSetApp, [](int i) { return QString::number(i); }));
      all.push_back(TypeText("app_str", RandomText(rng, true) + "/" + RandomText(rng, true),
                             {kSetAppNameEn, kSetAppNameCn}, QLatin1Char('/')));
    }
  } else if (kind == PageKind::Wifi) {
    using namespace wifi;
    all.push_back(Radio(rng, "wlan.mode", {kModeSta, kModeAp, kModeBoth}, 1, true));
    all.push_back(Radio(rng, "wlan.dhcp", {kDhcpDisable, kDhcpEnable}, 0, true));
    all.push_back(Radio(rng, "wlan.apac", {kAutoNo, kAutoYes}, 0, true));
    for (bool ap : {true, false}) {
      QStringList fields;
      const int n = Coin(rng, 20) ? 0 : 1 + Below(rng, 5);
      for (int i = 0; i < n; ++i) fields << RandomText(rng, true);
      std::vector<int> ids(ap ? std::begin(kApFields) : std::begin(kStaFields),
                           ap ? std::end(kApFields) : std::end(kStaFields));
      all.push_back(TypeText(ap ? "wlan.ap" : "wlan.sta", fields.join(QLatin1Char(',')), ids, QLatin1Char(',')));
    }
  } else {
    using namespace bluetooth;
    all.push_back(TypeText("bluetooth.address", Coin(rng) ? "00:1A:7D:DA:71:14" : "001A7DDA7115", {kAddressEdit}));
    all.push_back(TypeText("bluetooth.friendly_name", RandomText(rng, false), {kNameEdit}));
    all.push_back(TypeText("bluetooth.bluetooth_pin", QString::number(1000 + Below(rng, 9000)), {kPinEdit}));
    all.push_back(PickItem(rng, rig, "bluetooth.baud", kBaudList));
    all.push_back(PickItem(rng, rig, "bluetooth.cod", kCodList));
  }
  // Any subset, in a random order; never none (a write names something).
  std::shuffle(all.begin(), all.end(), rng);
  all.resize(1 + static_cast<std::size_t>(Below(rng, static_cast<int>(all.size()))));
  return all;
}

TEST(CliMapping, WriteSendsWhatTheWindowSendsAfterTheSameEdits) {
  int cases = 0, written = 0;
  for (PageKind kind : {PageKind::Settings, PageKind::Wifi, PageKind::Bluetooth}) {
    for (int lang : {kLangEnglish, kLangChinese}) {
      for (const char* reply : {kNamedModelReply, kNumberedModelReply}) {
        for (unsigned seed = 1; seed <= 2; ++seed) {
          Rng rng(seed * 7919u + static_cast<unsigned>(kind) * 31u + static_cast<unsigned>(lang));
          std::vector<std::pair<std::string, std::string>> held;
          for (const auto& [name, values] : PrinterChoices(kind))
            held.emplace_back(name, Coin(rng, 60) ? values.front() : Pick(rng, values));
          sim::Options options;
          options.modelReply = reply;

          // Both sides wait 150 ms for an answer that never comes, not a second.
          PageRig window(kind, lang, options, false, ShortTiming(false));
          for (const auto& [name, value] : held) window.Set(name, value);
          const bool readOk = window.Read();
          std::vector<Edit> edits = RandomEdits(rng, kind, window, lang);

          auto cliPrinter = StartPrinter(reply);
          for (const auto& [name, value] : held) SetSimVar(*cliPrinter, name, value);
          QStringList args = PortArgs(*cliPrinter, lang == kLangChinese ? "zh" : "en") + "--reply-wait" + "150" +
                             (kind == PageKind::Bluetooth ? "bt" : PageName(kind)) + "write";
          std::string described;
          for (const Edit& e : edits) {
            args << QString::fromStdString(e.name) + "=" + e.value;
            described += " " + e.name + "=" + e.value.toStdString();
          }
          const std::string where = std::string(PageName(kind)) + (lang == kLangChinese ? " zh " : " en ") +
                                    reply + " seed " + std::to_string(seed) + ":" + described;
          const CliRun run = RunCli(args);
          ++cases;
          if (!readOk) {
            EXPECT_EQ(run.exitCode, 1) << where << "\n" << run.err.toStdString();
            EXPECT_TRUE(SetvarLines(SettledLines(*cliPrinter)).empty()) << where;
            continue;
          }
          for (const Edit& e : edits) e.inWindow(window);
          const std::vector<std::string> expected = SetvarLines(window.Write());
          const std::vector<std::string> sent = SetvarLines(SettledLines(*cliPrinter));
          EXPECT_EQ(sent, expected) << where << "\n" << run.err.toStdString();
          // Exit 0 exactly when the window's Write went through to its end.
          bool complete = true;
          const LineForm form = FormForFlag(window.info.namedFormFlag);
          if (kind == PageKind::Settings)
            complete = BuildSettingsWrite(window.controls, form, lang,
                                          &static_cast<SettingsPage&>(*window.page).LastRead())
                           .complete;
          if (kind == PageKind::Bluetooth)
            complete = BuildBluetoothWrite(window.controls, form, lang,
                                           &static_cast<BluetoothPage&>(*window.page).LastRead())
                           .missing == nullptr;
          EXPECT_EQ(run.exitCode, complete ? 0 : 1) << where << "\n" << run.err.toStdString();
          written += complete ? 1 : 0;
        }
      }
    }
  }
  // The random printers must not all fail their Read or their Write.
  EXPECT_GT(written, cases / 3);
}

}  // namespace
