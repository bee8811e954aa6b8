// What the pages send of the values they are given: a value a line cannot
// carry exactly refuses the action with its field and character named and
// nothing sent; the printer's own such values are left with it; Chinese
// text on a Chinese system still goes, in GBK.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <fstream>

#include "page_rig.h"
#include "pages/core/page_port.h"
#include "pages/core/write_values.h"
#include "pages/font/font_page.h"
#include "pages/settings/settings_tables.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

// A character a line cannot carry exactly, as typed and as named.
struct Bad {
  QString text;
  ValueFault fault;
  char32_t character;
};

const std::vector<Bad>& BadCharacters() {
  static const std::vector<Bad> bad = {
      {QStringLiteral("\r"), ValueFault::ControlCharacter, 0x0D},
      {QStringLiteral("\n"), ValueFault::ControlCharacter, 0x0A},
      {QStringLiteral("\x1b\x1b"), ValueFault::ControlCharacter, 0x1B},
      {QString(QChar(0)), ValueFault::ControlCharacter, 0x00},
      {QStringLiteral("\x7f"), ValueFault::ControlCharacter, 0x7F},
      {QStringLiteral("\""), ValueFault::DoubleQuote, '"'},
      {QString::fromUtf8("\xF0\x9F\x98\x80"), ValueFault::NotInCodePage, 0x1F600},
  };
  return bad;
}

// The edits of each page a user types into, with the variable they go to.
std::vector<std::pair<int, const char*>> Edits(PageKind kind, int lang) {
  if (kind == PageKind::Settings) {
    std::vector<std::pair<int, const char*>> e = {
        {kSetModel, "model"},        {kSetMfg, "mfg"},           {kSetSerial, "sn"},
        {kSetUsbMfg, "usbd"},        {kSetUsbModel, "usbd"},     {kSetSliceOffset, "slice_offset"},
        {kSetXOffset, "xoffset"},    {kSetYOffset, "yoffset"},   {kSetLineHeight, "line_height"},
    };
    if (lang == kLangChinese) {
      e.push_back({kSetHeatTime, "heat_time"});
      e.push_back({kSetAppNameEn, "app_str"});
      e.push_back({kSetAppNameCn, "app_str"});
    }
    return e;
  }
  // (The address fields take digits and dots only.)
  if (kind == PageKind::Wifi)
    return {{wifi::kApSsid, "wlan.ap"}, {wifi::kApPassword, "wlan.ap"}, {wifi::kStaSsid, "wlan.sta"},
            {wifi::kStaPassword, "wlan.sta"}};
  return {{bluetooth::kAddressEdit, "bluetooth.address"},
          {bluetooth::kNameEdit, "bluetooth.friendly_name"},
          {bluetooth::kPinEdit, "bluetooth.bluetooth_pin"}};
}

// Bytes the printer took in during `action`, once it has handled them all.
template <typename F>
long BytesSent(PageRig& rig, F action) {
  const long before = rig.printer->BytesReceived();
  action();
  SettledLines(*rig.printer);
  // The printer counts the marker a moment after its answer has gone out:
  // counted later, it would be charged to the next action.
  const long marker = static_cast<long>(ModelRequestLine().size());
  rig.printer->WaitFor([&] { return rig.printer->BytesReceived() >= before + marker; }, 2000);
  return rig.printer->BytesReceived() - before - marker;
}

class EveryPage : public ::testing::TestWithParam<PageKind> {};

TEST_P(EveryPage, AValueALineCannotCarryRefusesTheWriteWithNothingSent) {
  const PageKind kind = GetParam();
  for (int lang : {kLangEnglish, kLangChinese}) {
    PageRig rig(kind, lang);
    ASSERT_TRUE(rig.Read());
    for (const auto& [id, var] : Edits(kind, lang)) {
      for (const Bad& bad : BadCharacters()) {
        const QString kept = rig.controls.Text(id);
        rig.controls.SetText(id, QStringLiteral("ab") + bad.text + QStringLiteral("cd"));
        rig.ui.messages.clear();
        const long sent = BytesSent(rig, [&] { rig.page->OnControl(kind == PageKind::Settings ? kSetWriteButton
                                                                    : kind == PageKind::Wifi ? wifi::kWriteButton
                                                                                             : bluetooth::kUpdateButton,
                                                                    ControlEvent::Clicked, rig.ctx); });
        const ValueRefusal expected{QString::fromLatin1(var), bad.fault, bad.character};
        EXPECT_EQ(rig.ui.messages, std::vector<QString>{ValueRefusalMessage(expected, lang)})
            << var << " " << lang << " " << DescribeCharacter(bad.character).toStdString();
        EXPECT_EQ(sent, 0) << var;
        rig.controls.SetText(id, kept);
      }
    }
    EXPECT_TRUE(rig.printer->FaultyLines().empty());
    // With the values set right, the same page writes.
    EXPECT_FALSE(rig.Write().empty());
  }
}

TEST_P(EveryPage, ThePrintersOwnUnsendableValueStaysWithItAndTheRestIsWritten) {
  const PageKind kind = GetParam();
  // A value of the printer's that holds a control byte or a quote.
  const char* var = kind == PageKind::Settings ? "mfg" : kind == PageKind::Wifi ? "wlan.ap" : "bluetooth.friendly_name";
  const std::string value = kind == PageKind::Wifi ? "Shop\x1b,pw\"x,192.168.4.1,255.255.255.0,192.168.4.1"
                                                   : "Counter \"3\"\x1b[0m";
  for (int lang : {kLangEnglish, kLangChinese}) {
    PageRig rig(kind, lang);
    rig.Set(var, value);
    ASSERT_TRUE(rig.Read());
    const std::vector<std::string> lines = rig.Write();
    EXPECT_FALSE(lines.empty());
    for (const std::string& line : lines) EXPECT_EQ(line.find(std::string("\"") + var + "\""), std::string::npos);
    EXPECT_EQ(rig.Get(var), value);
    EXPECT_TRUE(rig.printer->FaultyLines().empty());
    const QString notice = KeptValuesMessage({{var, value}}, lang);
    EXPECT_NE(std::find(rig.ui.messages.begin(), rig.ui.messages.end(), notice), rig.ui.messages.end()) << lang;
    if (kind != PageKind::Wifi) {
      EXPECT_EQ(rig.ui.messages.back(), LoadString(kStrWriteOk, lang));  // the rest went
    }
    EXPECT_EQ(rig.page->KeptAtLastWrite().size(), 1u);
  }
}

INSTANTIATE_TEST_SUITE_P(Pages, EveryPage, ::testing::Values(PageKind::Settings, PageKind::Wifi, PageKind::Bluetooth),
                         [](const auto& p) { return std::string(PageName(p.param)); });

TEST(PageValues, ChineseTextGoesInGbkOnAChineseSystemOnly) {
  const QString name = QString::fromUtf8("收银台打印机");
  const std::string gbk = "\xCA\xD5\xD2\xF8\xCC\xA8\xB4\xF2\xD3\xA1\xBB\xFA";
  PageRig zh(PageKind::Bluetooth, kLangChinese);
  ASSERT_TRUE(zh.Read());
  zh.controls.SetText(bluetooth::kNameEdit, name);
  zh.Write();
  EXPECT_EQ(zh.Get("bluetooth.friendly_name"), gbk);
  EXPECT_EQ(zh.ui.messages.back(), LoadString(kStrWriteOk, kLangChinese));

  PageRig en(PageKind::Settings, kLangEnglish);
  ASSERT_TRUE(en.Read());
  en.controls.SetText(kSetMfg, name);
  EXPECT_TRUE(en.Write().empty());
  EXPECT_EQ(en.ui.messages,
            std::vector<QString>{ValueRefusalMessage({QStringLiteral("mfg"), ValueFault::NotInCodePage, U'收'},
                                                     kLangEnglish)});
}

// A field the user edited is written from its text; one left as read
// keeps the printer's bytes; an untouched field of an edited list that
// holds what no line can carry refuses the list.
TEST(PageValues, AnEditedValueIsTheUsersAndMustTravelWhole) {
  PageRig rig(PageKind::Settings, kLangEnglish);
  rig.Set("mfg", "bad\rvalue");
  ASSERT_TRUE(rig.Read());
  rig.controls.SetText(kSetMfg, QStringLiteral("ACME"));
  rig.Write();
  EXPECT_EQ(rig.Get("mfg"), "ACME");
  EXPECT_EQ(rig.ui.messages.back(), LoadString(kStrWriteOk, kLangEnglish));

  PageRig wifi(PageKind::Wifi, kLangEnglish);
  wifi.Set("wlan.sta", "Shop\r,pw,192.168.1.5,255.255.255.0,192.168.1.1");
  ASSERT_TRUE(wifi.Read());
  wifi.controls.SetText(wifi::kStaPassword, QStringLiteral("new"));
  EXPECT_TRUE(wifi.Write().empty());
  EXPECT_EQ(wifi.ui.messages,
            std::vector<QString>{ValueRefusalMessage({QStringLiteral("wlan.sta"), ValueFault::ControlCharacter, 0x0D},
                                                     kLangEnglish)});
}

TEST(PageValues, RawPrinterBytesGoAsTheirByteButNotARawControlByte) {
  PageRig rig(PageKind::Settings, kLangEnglish);
  ASSERT_TRUE(rig.Read());
  rig.controls.SetText(kSetSerial, QStringLiteral("SN") + QChar(0xF781) + QChar(0xF79D));
  rig.Write();
  EXPECT_EQ(rig.Get("sn"), "SN\x81\x9D");
  rig.controls.SetText(kSetSerial, QStringLiteral("SN") + QChar(0xF70A));
  EXPECT_TRUE(rig.Write().empty());
  EXPECT_EQ(rig.ui.messages,
            std::vector<QString>{ValueRefusalMessage({QStringLiteral("sn"), ValueFault::ControlCharacter, 0x0A},
                                                     kLangEnglish)});
}

TEST(PageValues, AFileNameIsNeverACommandOfItsOwn) {
  QTemporaryDir dir;
  sim::PrinterSim printer;
  ASSERT_TRUE(printer.Start());
  MemoryControls controls(Dialog134(kLangEnglish));
  RecordingUi ui;
  PrinterInfo info;
  PageContext ctx{controls, ui, info, LinkChoice{QString::fromStdString(printer.PortPath()), 9600}, kLangEnglish};
  FontPage page;
  page.OnCreate(ctx);
  controls.SetCurrentIndex(kFontKindList, 1);
  struct Case {
    std::string name;
    char32_t character;
  };
  const Case cases[] = {
      {"inj\r\n\x1b\x1b! U1 do \"factory_default\"\r\n.ttf", 0x0D},
      {"a\"b.ttf", '"'},
      {"tab\tname.ttf", 0x09},
  };
  for (const Case& c : cases) {
    const std::string path = dir.path().toStdString() + "/" + c.name;
    std::ofstream(path) << "font bytes";
    controls.SetText(kFontPathEdit, QString::fromStdString(path));
    ui.messages.clear();
    EXPECT_FALSE(page.DownloadFontFile(ctx));
    const ValueRefusal expected{FontFileNameField(kLangEnglish),
                                c.character == '"' ? ValueFault::DoubleQuote : ValueFault::ControlCharacter,
                                c.character};
    EXPECT_EQ(ui.messages, std::vector<QString>{ValueRefusalMessage(expected, kLangEnglish)});
  }
  EXPECT_EQ(printer.BytesReceived(), 0);
  EXPECT_TRUE(printer.Downloads().empty());
}

// A port another user has, or a path that is no device: string 148 as
// ever, with why below it, and nothing sent.
TEST(PageValues, OpenFailuresSayWhyBelowTheirMessage) {
  PageRig rig(PageKind::Settings, kLangEnglish);
  ASSERT_TRUE(rig.Read());
  const std::string comm = [] {
    std::ifstream f("/proc/self/comm");
    std::string s;
    std::getline(f, s);
    return s;
  }();
  {
    const OpenResult other = OpenLink(rig.printer->PortPath());
    ASSERT_TRUE(other.ok());
    const long before = rig.printer->BytesReceived();
    rig.ui.messages.clear();
    rig.page->OnControl(kSetWriteButton, ControlEvent::Clicked, rig.ctx);
    EXPECT_EQ(rig.ui.messages, std::vector<QString>{QStringLiteral("Unconnect Printer")});
    ASSERT_EQ(rig.ui.reasons.size(), 1u);
    EXPECT_TRUE(rig.ui.reasons[0].contains(
        QStringLiteral("is in use by %1 (pid %2)").arg(QString::fromStdString(comm)).arg(getpid())))
        << rig.ui.reasons[0].toStdString();
    EXPECT_EQ(rig.printer->BytesReceived(), before);
  }

  QTemporaryDir dir;
  rig.ctx.link.portPath = dir.path();
  rig.ctx.langId = kLangChinese;
  rig.ui.messages.clear();
  rig.ui.reasons.clear();
  rig.page->Read(rig.ctx);
  EXPECT_EQ(rig.ui.messages, std::vector<QString>{QStringLiteral("打印机未连接")});
  EXPECT_EQ(rig.ui.reasons.back(), QStringLiteral("端口路径不是设备（是文件夹）"));
}

// "打印机连接断开" stays as it is; the line under it names the port and what
// to check for its kind, in the interface language.
TEST(PageValues, ALostPrinterIsExplainedBelowTheFixedMessage) {
  PageRig rig(PageKind::Settings, kLangEnglish);
  const struct {
    const char* port;
    bool serial;
    int lang;
    const char* check;
  } cases[] = {{"/dev/usb/lp0", false, kLangEnglish, "USB cable"},
               {"/dev/ttyUSB0", true, kLangEnglish, "BaudRate box"},
               {"/dev/ttyUSB0", true, kLangChinese, "波特率"},
               {"192.168.1.50:9100", false, kLangEnglish, "address and port"}};
  for (const auto& c : cases) {
    rig.ctx.link.portPath = QString::fromUtf8(c.port);
    rig.ctx.link.serial = c.serial;
    rig.ctx.langId = c.lang;
    rig.ui.messages.clear();
    rig.ui.reasons.clear();
    const ActionResult r = Lost(rig.ctx);
    EXPECT_EQ(rig.ui.messages, std::vector<QString>{QStringLiteral("打印机连接断开")});
    ASSERT_EQ(rig.ui.reasons.size(), 1u);
    EXPECT_EQ(r.reason, rig.ui.reasons.front());
    EXPECT_TRUE(r.reason.contains(QString::fromUtf8(c.port)) && r.reason.contains(QString::fromUtf8(c.check)))
        << r.reason.toStdString();
  }
}

}  // namespace
