// The WiFi page against the simulator over a real pty: the lines on the wire
// and what the controls show.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "link/link.h"
#include "pages/core/memory_controls.h"
#include "pages/wifi/wifi_page.h"
#include "protocol/text_codec.h"
#include "resources/dialogs.h"
#include "resources/strings.h"
#include "sim/printer_sim.h"
#include "test_support.h"

using namespace deveder;
using namespace deveder::wifi;
using deveder::tst::CountOpenFds;
using deveder::tst::RecordingUi;

namespace {

// A command line as it travels: ESC ESC, the text, CR LF.
std::string L(const std::string& text) { return "\x1b\x1b" + text + "\r\n"; }

const std::string kModel = L("! U1 getvar \"model\"");

struct WifiFixture : ::testing::Test {
  void Start(const std::string& modelReply = "TQ250L;250;CPCL,ESCPOS,TSPL;1", int lang = kLangEnglish) {
    sim::Options o;
    o.modelReply = modelReply;
    printer = std::make_unique<sim::PrinterSim>(o);
    ASSERT_TRUE(printer->Start());
    controls = std::make_unique<MemoryControls>(Dialog162(lang));
    ctx = std::make_unique<PageContext>(PageContext{*controls, ui, info, {QString::fromStdString(printer->PortPath())}, lang});
    page.OnCreate(*ctx);
  }
  void SetVar(const std::string& name, const std::string& value) { tst::SetSimVar(*printer, name, value); }
  std::string Var(const std::string& name) { return tst::SimVar(*printer, name); }
  std::vector<std::string> SettledLines() { return tst::SettledLines(*printer); }
  void ReadOk() {
    page.ReadWifiSettings(*ctx);
    ASSERT_TRUE(page.ReadOnce());
    ASSERT_TRUE(ui.messages.empty());
    printer->ClearLog();
  }
  // A radio click as the window delivers it.
  void Click(int id) { page.OnControl(id, ControlEvent::Clicked, *ctx); }
  bool On(int id) const { return controls->Enabled(id); }

  std::unique_ptr<sim::PrinterSim> printer;
  std::unique_ptr<MemoryControls> controls;
  RecordingUi ui;
  PrinterInfo info;
  std::unique_ptr<PageContext> ctx;
  WifiPage page;
};

}  // namespace

TEST_F(WifiFixture, ReadAsksSevenVariablesInOrderAndFillsThePage) {
  Start();
  EXPECT_TRUE(page.NeedsRead());
  const int fds = CountOpenFds();
  page.ReadWifiSettings(*ctx);
  EXPECT_EQ(CountOpenFds(), fds);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(printer->Lines(), tst::ProvenRead(std::vector<std::string>{
                                  kModel, kModel,
                                  L("! U1 getvar \"wlan.mac\""), L("! U1 getvar \"wlan.lip\""),
                                  L("! U1 getvar \"wlan.mode\""), L("! U1 getvar \"wlan.dhcp\""),
                                  L("! U1 getvar \"wlan.ap\""), L("! U1 getvar \"wlan.sta\""),
                                  L("! U1 getvar \"wlan.apac\""),
                                  kModel,  // the fence
                              }));
  const ControlModel& c = *controls;
  EXPECT_EQ(c.Text(kMacBox), "A4:CF:12:3B:5E:90");
  EXPECT_EQ(c.Text(kLocalIp), "127.0.0.1");  // the simulator's address is a loopback one
  EXPECT_TRUE(c.Checked(kModeSta));
  EXPECT_FALSE(c.Checked(kModeAp) || c.Checked(kModeBoth));
  EXPECT_TRUE(c.Checked(kDhcpDisable));
  EXPECT_FALSE(c.Checked(kDhcpEnable));
  EXPECT_EQ(c.Text(kApSsid), "TQ250L-AP");
  EXPECT_EQ(c.Text(kApPassword), "12345678");
  EXPECT_EQ(c.Text(kApIp), "192.168.4.1");
  EXPECT_EQ(c.Text(kApMask), "255.255.255.0");
  EXPECT_EQ(c.Text(kApGateway), "192.168.4.1");
  EXPECT_EQ(c.Text(kStaSsid), "Workshop");
  EXPECT_EQ(c.Text(kStaPassword), "passw0rd");
  EXPECT_EQ(c.Text(kStaIp), "192.168.1.120");
  EXPECT_EQ(c.Text(kStaMask), "255.255.255.0");
  EXPECT_EQ(c.Text(kStaGateway), "192.168.1.1");
  EXPECT_TRUE(c.Checked(kAutoYes));
  EXPECT_FALSE(c.Checked(kAutoNo));
  EXPECT_TRUE(page.ReadOnce());
  EXPECT_FALSE(page.NeedsRead());
  EXPECT_EQ(page.Mode(), 1);
  EXPECT_EQ(page.DhcpChoice(), 0);
  // Mode 1 with fixed addresses: station side on, access-point side off.
  EXPECT_FALSE(On(kApSsid) || On(kApPassword) || On(kApIp));
  EXPECT_TRUE(On(kStaSsid) && On(kStaPassword) && On(kStaIp) && On(kStaMask) && On(kStaGateway));
  EXPECT_TRUE(On(kAutoYes) && On(kAutoNo));
  // The always-disabled fields stay so.
  EXPECT_FALSE(On(kMacBox) || On(kLocalIp) || On(kApMask) || On(kApGateway));
}

TEST_F(WifiFixture, CreationDisablesTheDisplayAndAddressFields) {
  Start();
  for (int id : {kMacBox, kLocalIp, kApMask, kApGateway, kStaIp, kStaMask, kStaGateway})
    EXPECT_FALSE(On(id)) << id;
  for (int id : {kApSsid, kStaSsid, kModeSta, kDhcpEnable, kReadButton, kWriteButton}) EXPECT_TRUE(On(id)) << id;
}

TEST_F(WifiFixture, NumberedPrinterIsProbedOnEveryReadAndAskedByNumber) {
  Start("TQ210;210;ESCPOS");
  page.ReadWifiSettings(*ctx);
  const std::vector<std::string> once = tst::ProvenRead({
      kModel, kModel,
      L("! U1 getvar \"2\" \"29\""), L("! U1 getvar \"2\" \"28\""), L("! U1 getvar \"2\" \"25\""),
      L("! U1 getvar \"2\" \"26\""), L("! U1 getvar \"2\" \"23\""), L("! U1 getvar \"2\" \"24\""),
      L("! U1 getvar \"2\" \"27\""),
      kModel,  // the fence
  });
  EXPECT_EQ(printer->Lines(), once);
  EXPECT_EQ(controls->Text(kStaSsid), "Workshop");
  printer->ClearLog();
  page.ReadWifiSettings(*ctx);
  EXPECT_EQ(printer->Lines(), once);
}

TEST_F(WifiFixture, WriteSendsModeDhcpListsAndAutoConnectInThatOrder) {
  Start();
  ReadOk();
  Click(kModeBoth);
  Click(kDhcpEnable);
  Click(kAutoNo);
  controls->SetText(kApSsid, "Shop AP");
  controls->SetText(kStaPassword, "new pw");
  const int fds = CountOpenFds();
  page.WriteWifiSettings(*ctx);
  EXPECT_EQ(CountOpenFds(), fds);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(SettledLines(), (std::vector<std::string>{
                                L("! U1 setvar \"wlan.mode\" \"3\""),
                                L("! U1 setvar \"wlan.dhcp\" \"1\""),
                                L("! U1 setvar \"wlan.ap\" \"Shop AP,12345678,192.168.4.1,255.255.255.0,192.168.4.1\""),
                                L("! U1 setvar \"wlan.sta\" \"Workshop,new pw,192.168.1.120,255.255.255.0,192.168.1.1\""),
                                L("! U1 setvar \"wlan.apac\" \"0\""),
                            }));
  EXPECT_EQ(Var("wlan.mode"), "3");
}

TEST_F(WifiFixture, NumberedWriteUsesGroupAndIndexAndTheFlagOfTheRead) {
  Start("TQ210;210;ESCPOS");
  ReadOk();
  page.WriteWifiSettings(*ctx);
  EXPECT_EQ(SettledLines(), (std::vector<std::string>{
                                L("! U1 setvar \"2\" \"25\" \"1\""),
                                L("! U1 setvar \"2\" \"26\" \"0\""),
                                L("! U1 setvar \"2\" \"23\" \"TQ250L-AP,12345678,192.168.4.1,255.255.255.0,192.168.4.1\""),
                                L("! U1 setvar \"2\" \"24\" \"Workshop,passw0rd,192.168.1.120,255.255.255.0,192.168.1.1\""),
                                L("! U1 setvar \"2\" \"27\" \"1\""),
                            }));
}

TEST_F(WifiFixture, EmptyListsAndUnselectedGroupsSendNothing) {
  Start();
  ReadOk();
  for (int id : kStaFields) controls->SetText(id, "");
  controls->SetText(kApMask, "");  // a blank address field gives an empty text
  controls->SetChecked(kDhcpEnable, false);
  controls->SetChecked(kDhcpDisable, false);
  page.WriteWifiSettings(*ctx);
  EXPECT_EQ(SettledLines(), (std::vector<std::string>{
                                L("! U1 setvar \"wlan.mode\" \"1\""),
                                L("! U1 setvar \"wlan.ap\" \"TQ250L-AP,12345678,192.168.4.1,,192.168.4.1\""),
                                L("! U1 setvar \"wlan.apac\" \"1\""),
                            }));
  printer->ClearLog();
  for (int id : kApFields) controls->SetText(id, "");
  controls->SetChecked(kModeSta, false);
  page.WriteWifiSettings(*ctx);
  EXPECT_EQ(SettledLines(), std::vector<std::string>{L("! U1 setvar \"wlan.apac\" \"1\"")});
}

TEST_F(WifiFixture, AnEmptyPieceEndsTheApWalkButIsSkippedInTheStaWalk) {
  Start();
  const std::string answer = "NewNet,,10.0.0.7,255.0.0.0,10.0.0.1";
  SetVar("wlan.ap", answer);
  SetVar("wlan.sta", answer);
  for (int id : kApFields) controls->SetText(id, "");
  controls->SetText(kApPassword, "oldpw");
  controls->SetText(kApIp, "1.1.1.1");
  controls->SetText(kStaPassword, "keepme");
  page.ReadWifiSettings(*ctx);
  EXPECT_EQ(controls->Text(kApSsid), "NewNet");
  EXPECT_EQ(controls->Text(kApPassword), "oldpw");
  EXPECT_EQ(controls->Text(kApIp), "1.1.1.1");
  EXPECT_EQ(controls->Text(kApMask), "");
  EXPECT_EQ(controls->Text(kStaSsid), "NewNet");
  EXPECT_EQ(controls->Text(kStaPassword), "keepme");
  EXPECT_EQ(controls->Text(kStaIp), "10.0.0.7");
  EXPECT_EQ(controls->Text(kStaMask), "255.0.0.0");
  EXPECT_EQ(controls->Text(kStaGateway), "10.0.0.1");

  // A short answer fills what it reaches and leaves the rest.
  SetVar("wlan.sta", "Only");
  page.ReadWifiSettings(*ctx);
  EXPECT_EQ(controls->Text(kStaSsid), "Only");
  EXPECT_EQ(controls->Text(kStaIp), "10.0.0.7");
}

TEST_F(WifiFixture, ModeThreeEnablesPerTheDhcpAnswer) {
  Start();
  SetVar("wlan.mode", "3");
  for (const char* dhcp : {"0", "1"}) {
    SetVar("wlan.dhcp", dhcp);
    page.ReadWifiSettings(*ctx);
    const bool fixed = dhcp[0] == '0';
    EXPECT_TRUE(controls->Checked(kModeBoth));
    EXPECT_EQ(controls->Checked(kDhcpDisable), fixed);
    EXPECT_TRUE(On(kApSsid) && On(kApPassword) && On(kApIp)) << dhcp;
    EXPECT_FALSE(On(kApMask) || On(kApGateway)) << dhcp;
    EXPECT_TRUE(On(kStaSsid) && On(kStaPassword) && On(kAutoYes) && On(kAutoNo)) << dhcp;
    EXPECT_EQ(On(kStaIp), fixed);
    EXPECT_EQ(On(kStaMask), fixed);
    EXPECT_EQ(On(kStaGateway), fixed);
  }
}

TEST_F(WifiFixture, UnknownNumbersLeaveTheRadiosAndTheFields) {
  Start();
  ReadOk();  // mode 1, DHCP 0, YES
  SetVar("wlan.mode", "7");
  SetVar("wlan.dhcp", "5");
  SetVar("wlan.apac", "2");
  const bool staIpBefore = On(kStaIp);
  page.ReadWifiSettings(*ctx);
  EXPECT_TRUE(controls->Checked(kModeSta));
  EXPECT_TRUE(controls->Checked(kDhcpDisable));
  EXPECT_TRUE(controls->Checked(kAutoYes));
  EXPECT_EQ(page.Mode(), 7);  // kept whatever it is; the fields do not follow it
  EXPECT_EQ(On(kStaIp), staIpBefore);
}

TEST_F(WifiFixture, DhcpClicksAfterAReadSwitchTheStationAddressFields) {
  Start();
  ReadOk();
  for (int mode : {kModeSta, kModeBoth}) {
    Click(mode);
    Click(kDhcpDisable);
    EXPECT_TRUE(On(kStaIp) && On(kStaMask) && On(kStaGateway));
    Click(kDhcpEnable);
    EXPECT_TRUE(controls->Checked(kDhcpEnable));
    EXPECT_EQ(page.DhcpChoice(), 1);
    EXPECT_FALSE(On(kStaIp) || On(kStaMask) || On(kStaGateway)) << mode;
  }
  Click(kModeAp);
  Click(kDhcpDisable);
  EXPECT_FALSE(On(kStaIp) || On(kStaMask) || On(kStaGateway));
  EXPECT_FALSE(On(kStaSsid) || On(kAutoYes));
  EXPECT_TRUE(On(kApSsid));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(printer->Lines().empty());  // radio clicks send nothing
}

TEST_F(WifiFixture, BeforeAReadRadiosAndWriteSayPleaseReadFirst) {
  Start();
  const QString please = LoadString(kStrPleaseReadFirst, kLangEnglish);
  for (int id : {kModeSta, kModeAp, kModeBoth, kDhcpEnable, kDhcpDisable}) {
    ui.messages.clear();
    Click(id);
    EXPECT_EQ(ui.messages, std::vector<QString>{please}) << id;
    EXPECT_TRUE(controls->Checked(id));  // the clicked button stays selected
  }
  EXPECT_EQ(page.Mode(), 0);
  // The fields stay as page creation left them.
  EXPECT_TRUE(On(kApSsid) && On(kStaSsid));
  EXPECT_FALSE(On(kStaIp));
  ui.messages.clear();
  Click(kAutoNo);  // no action of its own
  EXPECT_TRUE(ui.messages.empty());
  page.WriteWifiSettings(*ctx);
  EXPECT_EQ(ui.messages, std::vector<QString>{please});
  EXPECT_TRUE(SettledLines().empty());
}

TEST_F(WifiFixture, LongAndEmptyAnswers) {
  Start();
  ReadOk();
  SetVar("wlan.mac", std::string(100, 'M'));
  SetVar("wlan.ap", std::string(100, 'S') + ",pw99");
  SetVar("wlan.lip", "300.1.2.3");  // the address field shows what it can read
  page.ReadWifiSettings(*ctx);
  EXPECT_EQ(controls->Text(kMacBox), "");
  EXPECT_EQ(controls->Text(kApSsid), "");
  EXPECT_EQ(controls->Text(kApPassword), "pw99");
  EXPECT_EQ(controls->Text(kLocalIp), "");
  SetVar("wlan.mac", std::string(99, 'M'));
  page.ReadWifiSettings(*ctx);
  EXPECT_EQ(controls->Text(kMacBox), QString(99, QLatin1Char('M')));
}

TEST_F(WifiFixture, ASilentPrinterIsALostConnectionAndChangesNothing) {
  Start();
  printer->SetFaults({.silent = true});
  controls->SetText(kMacBox, "old");
  controls->SetText(kStaSsid, "kept");
  page.ReadWifiSettings(*ctx);
  EXPECT_EQ(ui.messages, std::vector<QString>{kMsgConnectionLost});
  EXPECT_FALSE(page.ReadOnce());
  EXPECT_EQ(controls->Text(kMacBox), "old");
  EXPECT_EQ(controls->Text(kStaSsid), "kept");
  EXPECT_EQ(printer->Lines().size(), 3u);  // the drain's two and the probe
  ui.messages.clear();
  page.WriteWifiSettings(*ctx);
  EXPECT_EQ(ui.messages, std::vector<QString>{"PleaseReadFirst!"});
}

// An integer the module does not answer changes no radio button: read as
// 0 it would select DISABLE, and the next WRITE would switch DHCP off.
TEST_F(WifiFixture, UnansweredIntegersChangeNoButton) {
  Start();
  {
    auto lock = printer->Lock();
    for (const char* v : {"wlan.mode", "wlan.dhcp", "wlan.apac"}) printer->Store().Forget(v);
  }
  page.ReadWifiSettings(*ctx);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(page.ReadOnce());
  for (int id : {kModeSta, kModeAp, kModeBoth, kDhcpEnable, kDhcpDisable, kAutoYes, kAutoNo})
    EXPECT_FALSE(controls->Checked(id)) << id;
  EXPECT_EQ(controls->Text(kApSsid), "TQ250L-AP");  // nothing shifted
  printer->ClearLog();
  page.WriteWifiSettings(*ctx);
  const std::vector<std::string> lines = tst::SettledLines(*printer);
  EXPECT_FALSE(lines.empty());
  for (const std::string& line : lines) {
    EXPECT_EQ(line.find("wlan.dhcp"), std::string::npos);
    EXPECT_EQ(line.find("wlan.mode"), std::string::npos);
  }
}

TEST_F(WifiFixture, ALineTooLongRefusesTheWriteWithNothingSent) {
  Start();
  ReadOk();
  controls->SetText(kStaSsid, QString(4100, QLatin1Char('x')));
  page.WriteWifiSettings(*ctx);
  EXPECT_EQ(ui.messages, std::vector<QString>{ValueTooLongMessage(kLangEnglish)});
  EXPECT_TRUE(SettledLines().empty());
  EXPECT_EQ(Var("wlan.sta"), "Workshop,passw0rd,192.168.1.120,255.255.255.0,192.168.1.1");
}

TEST_F(WifiFixture, FailuresToOpenOrToSend) {
  Start();
  ctx->link.portPath = "/dev/no-such-printer";
  page.ReadWifiSettings(*ctx);
  page.WriteWifiSettings(*ctx);
  EXPECT_EQ(ui.messages, (std::vector<QString>{LoadString(kStrUnconnectPrinter, kLangEnglish),
                                               LoadString(kStrUnconnectPrinter, kLangEnglish)}));
  EXPECT_FALSE(page.ReadOnce());

  // The printer goes away after the drain, the probe and two variables.
  ui.messages.clear();
  ctx->link.portPath = QString::fromStdString(printer->PortPath());
  const long sent = 2 * 23 + static_cast<long>(L("! U1 getvar \"wlan.mac\"").size() + L("! U1 getvar \"wlan.lip\"").size());
  printer->SetFaults({.hangUpAfterBytes = sent});
  page.ReadWifiSettings(*ctx);
  EXPECT_EQ(ui.messages, std::vector<QString>{kMsgConnectionLost});
  EXPECT_EQ(controls->Text(kMacBox), "");  // a Read that did not end changes no control
  EXPECT_FALSE(page.ReadOnce());
  EXPECT_TRUE(page.NeedsRead());
}

TEST_F(WifiFixture, AWriteWhoseFirstLineCannotBeWritten) {
  Start();
  // The port's name leads to a device that opens but refuses every byte
  // once the page has been read through it.
  tst::SwappablePort port(printer->PortPath());
  ctx->link.portPath = port.Path();
  ReadOk();
  port.Point("/dev/full");
  const int fds = CountOpenFds();
  page.WriteWifiSettings(*ctx);
  EXPECT_EQ(CountOpenFds(), fds);
  EXPECT_EQ(ui.messages, std::vector<QString>{kMsgConnectionLost});
}

TEST_F(WifiFixture, ChineseInterfaceSendsGbkAndShowsChineseMessages) {
  Start("TQ250L;250;CPCL,ESCPOS,TSPL;1", kLangChinese);
  Click(kModeAp);
  EXPECT_EQ(ui.messages, std::vector<QString>{QStringLiteral("请读取参数!")});
  ui.messages.clear();
  ReadOk();
  controls->SetText(kApSsid, QStringLiteral("店铺"));
  page.WriteWifiSettings(*ctx);
  SettledLines();
  EXPECT_EQ(Var("wlan.ap").substr(0, 5), "\xB5\xEA\xC6\xCC,");
  SetVar("wlan.sta", "\xB2\xD6\xBF\xE2,pw");
  page.ReadWifiSettings(*ctx);
  EXPECT_EQ(controls->Text(kStaSsid), QStringLiteral("仓库"));
}
