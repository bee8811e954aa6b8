// Read, then Write with nothing changed: the printer gets back its own
// bytes. Checked over many random printers — every byte a value can carry
// in a line, bytes the code page leaves undefined, sequences that are not
// valid in it, a model name longer than PrinterInfo holds, every msw digit —
// in both command forms and both system languages, on every page that
// reads and writes.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "page_rig.h"
#include "pages/settings/settings_tables.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

class Random {
 public:
  explicit Random(unsigned seed) : gen_(seed) {}
  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen_); }
  // 1 to `maxLen` bytes a value can carry: no control byte, no double quote.
  std::string Text(int maxLen, const std::string& without = "") {
    std::string s;
    const int n = Int(1, maxLen);
    while (static_cast<int>(s.size()) < n) {
      const int b = Int(0x20, 0xFF);
      if (b == '"' || b == 0x7F || without.find(static_cast<char>(b)) != std::string::npos) continue;
      s.push_back(static_cast<char>(b));
    }
    return s;
  }
  std::string Hex(int n) {
    static const char digits[] = "0123456789abcdefABCDEF";
    std::string s;
    for (int i = 0; i < n; ++i) s.push_back(digits[Int(0, 21)]);
    return s;
  }
  template <typename T>
  const T& Pick(const std::vector<T>& v) {
    return v[static_cast<std::size_t>(Int(0, static_cast<int>(v.size()) - 1))];
  }

 private:
  std::mt19937 gen_;
};

std::vector<std::string> ItemsOf(const DialogTemplate& d, int id) {
  MemoryControls c(d);
  std::vector<std::string> out;
  for (int i = 0; i < c.ItemCount(id); ++i) out.push_back(c.ItemText(id, i).toStdString());
  return out;
}

// A random printer for the page: every variable the page reads and writes
// holds a value the page can show (list variables one of their items).
std::map<std::string, std::string> RandomStore(PageKind kind, int lang, Random& r) {
  std::map<std::string, std::string> v;
  const int bytes = 40;
  if (kind == PageKind::Settings) {
    const DialogTemplate& d = Dialog144(lang);
    for (const char* name : {"mfg", "sn", "usbd", "slice_offset", "xoffset", "yoffset", "line_height"})
      v[name] = r.Text(bytes);
    v["density"] = r.Pick(ItemsOf(d, kSetDensity));
    v["speed"] = r.Pick(ItemsOf(d, kSetSpeed));
    v["encode"] = r.Pick(ItemsOf(d, kSetEncode));
    v["ppl"] = r.Pick(ItemsOf(d, kSetPpl));
    v["media"] = kMediaWords[static_cast<std::size_t>(r.Int(0, 4))];
    v["codepage"] = std::to_string(CodePageNumberOfRow(r.Int(0, kCodePageCount - 1)));
    v["warn_format"] = std::to_string(r.Int(0, 1));
    v["cover_action"] = std::to_string(r.Int(0, 1));
    v["menu_lang"] = std::to_string(r.Int(0, 1));
    v["msw"] = r.Hex(kMswDigits);
    if (lang == kLangChinese) {
      v["heat_section"] = r.Pick(ItemsOf(d, kSetHeatSections));
      v["heat_time"] = r.Text(bytes);
      v["app"] = std::to_string(r.Int(0, 2));
      v["app_str"] = r.Text(bytes);
    }
  } else if (kind == PageKind::Wifi) {
    v["wlan.mode"] = std::to_string(r.Int(1, 3));
    v["wlan.dhcp"] = std::to_string(r.Int(0, 1));
    v["wlan.apac"] = std::to_string(r.Int(0, 1));
    v["wlan.ap"] = r.Text(bytes);
    v["wlan.sta"] = r.Text(bytes);
    v["wlan.mac"] = r.Text(bytes);
  } else {
    const DialogTemplate& d = Dialog132(lang);
    std::string mac;
    for (int i = 0; i < 6; ++i) mac += (i ? ":" : "") + r.Hex(2);
    v["bluetooth.address"] = mac;
    v["bluetooth.friendly_name"] = r.Text(bytes);
    v["bluetooth.bluetooth_pin"] = r.Text(bytes);
    v["bluetooth.baud"] = r.Pick(ItemsOf(d, bluetooth::kBaudList));
    v["bluetooth.cod"] = r.Pick(ItemsOf(d, bluetooth::kCodList));
  }
  return v;
}

std::string Escaped(const std::string& s) {
  std::string out;
  char buf[8];
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F) out.push_back(static_cast<char>(c));
    else {
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out;
}

class RoundTrip : public ::testing::TestWithParam<PageKind> {};

TEST_P(RoundTrip, AnUnchangedWriteGivesThePrinterBackItsOwnBytes) {
  const PageKind kind = GetParam();
  for (int lang : {kLangEnglish, kLangChinese}) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
      Random r(seed * 7919 + static_cast<unsigned>(lang));
      const bool named = seed % 2 == 0;
      sim::Options o;
      // A model name longer than the 31 bytes PrinterInfo keeps.
      const std::string model = r.Text(40, ";") + "MODEL-NAME-PAST-31-BYTES";
      o.modelReply = model + (named ? ";250;CPCL,ESCPOS,TSPL;1" : ";250;CPCL,ESCPOS,TSPL");
      PageRig rig(kind, lang, o);
      for (const auto& [name, value] : RandomStore(kind, lang, r)) rig.Set(name, value);
      std::map<std::string, std::string> before;
      {
        auto lock = rig.printer->Lock();
        for (const std::string& name : rig.printer->Store().Names()) before[name] = *rig.printer->Store().Get(name);
      }
      SCOPED_TRACE(std::string(PageName(kind)) + " lang " + std::to_string(lang) + " seed " +
                   std::to_string(seed) + (named ? " named" : " numbered"));
      ASSERT_TRUE(rig.Read());
      const std::vector<std::string> lines = rig.Write();
      EXPECT_FALSE(lines.empty());
      for (const auto& [name, value] : before) EXPECT_EQ(Escaped(rig.Get(name)), Escaped(value)) << name;
      EXPECT_EQ(Escaped(rig.printer->ModelReply()), Escaped(o.modelReply));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllPages, RoundTrip,
                         ::testing::Values(PageKind::Settings, PageKind::Wifi, PageKind::Bluetooth),
                         [](const auto& p) { return std::string(PageName(p.param)); });

// An edit to one control of a value leaves the bytes of its other controls
// as the printer gave them, undefined code-page bytes included.
TEST(RoundTrip, EditingOneHalfOfADescriptorKeepsTheOtherHalfsBytes) {
  for (int lang : {kLangEnglish, kLangChinese}) {
    PageRig rig(PageKind::Settings, lang);
    const std::string first = "\x81\x8D\x8F\x90\x9D\xFF" "A\x80";
    rig.Set("usbd", first + ";second");
    ASSERT_TRUE(rig.Read());
    rig.controls.SetText(kSetUsbModel, QStringLiteral("changed"));
    rig.Write();
    EXPECT_EQ(Escaped(rig.Get("usbd")), Escaped(first + ";changed")) << lang;
  }
}

// Chinese beyond GB2312 (GBK's own lead and trail bytes) is shown as the
// characters it is on every page, and a character typed there goes out as
// its GBK bytes: no page falls back on the smaller code page.
TEST(RoundTrip, ChineseBeyondGb2312ShowsAndTravelsOnEveryPage) {
  struct Field {
    PageKind kind;
    const char* var;
    int control;
  };
  const std::string shown = "\xDF\x40\xD1\x59";  // 這裏
  for (const Field& f : {Field{PageKind::Settings, "mfg", kSetMfg}, Field{PageKind::Wifi, "wlan.sta", wifi::kStaSsid},
                         Field{PageKind::Bluetooth, "bluetooth.friendly_name", bluetooth::kNameEdit}}) {
    PageRig rig(f.kind, kLangChinese, {}, false, ShortTiming(false));
    rig.Set(f.var, shown + (f.kind == PageKind::Wifi ? ",pw,192.168.1.9,255.255.255.0,192.168.1.1" : ""));
    ASSERT_TRUE(rig.Read()) << f.var;
    EXPECT_EQ(rig.controls.Text(f.control), QStringLiteral("這裏")) << f.var;
    rig.controls.SetText(f.control, QStringLiteral("丂喆"));
    rig.Write();
    EXPECT_EQ(Escaped(rig.Get(f.var).substr(0, 4)), Escaped("\x81\x40\x86\xB4")) << f.var;
  }
}

// What the settings page's msw switches change, and nothing else.
TEST(RoundTrip, MswKeepsTheDigitsThePageDoesNotShow) {
  PageRig rig(PageKind::Settings, kLangEnglish);
  rig.Set("msw", "2467000000000001");
  ASSERT_TRUE(rig.Read());
  rig.Write();
  EXPECT_EQ(rig.Get("msw"), "2467000000000001");
  SelectRadio(rig.controls, kSetMbcs, kSetSbcs);  // bit 1 of the first digit
  rig.controls.SetCurrentIndex(kSetFontSize, 3);  // bits 0-1 of the second
  rig.Write();
  EXPECT_EQ(rig.Get("msw"), "3767000000000001");
  // No 16-digit msw read: the page cannot show it, so it stays with the
  // printer until the switches change; then the digits the page does not
  // show are zeros.
  rig.Set("msw", "123");
  ASSERT_TRUE(rig.Read());
  rig.Write();
  EXPECT_EQ(rig.Get("msw"), "123");
  SelectRadio(rig.controls, kSetSbcs, kSetMbcs);
  rig.Write();
  EXPECT_EQ(rig.Get("msw"), "2720000000000000");
}

}  // namespace
