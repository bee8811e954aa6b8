// The Bluetooth page against the simulator over a real pty: the lines on the
// wire, what the controls show and which messages the user sees.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/link.h"
#include "pages/bluetooth/bluetooth_page.h"
#include "pages/core/memory_controls.h"
#include "protocol/text_codec.h"
#include "resources/dialogs.h"
#include "resources/strings.h"
#include "sim/printer_sim.h"
#include "test_support.h"

using namespace deveder;
using namespace deveder::bluetooth;
using deveder::tst::CountOpenFds;
using deveder::tst::RecordingUi;

namespace {

std::string L(const std::string& text) { return "\x1b\x1b" + text + "\r\n"; }

const std::string kModel = L("! U1 getvar \"model\"");

struct BluetoothFixture : ::testing::Test {
  void Start(const std::string& modelReply = "TQ250L;250;CPCL,ESCPOS,TSPL;1", int lang = kLangEnglish) {
    sim::Options o;
    o.modelReply = modelReply;
    printer = std::make_unique<sim::PrinterSim>(o);
    ASSERT_TRUE(printer->Start());
    controls = std::make_unique<MemoryControls>(Dialog132(lang));
    ctx = std::make_unique<PageContext>(PageContext{*controls, ui, info, {QString::fromStdString(printer->PortPath())}, lang});
    page.OnCreate(*ctx);
  }
  void SetVar(const std::string& name, const std::string& value) { tst::SetSimVar(*printer, name, value); }
  std::vector<std::string> SettledLines() { return tst::SettledLines(*printer); }
  void ReadOk() {
    page.ReadBluetoothSettings(*ctx);
    ASSERT_TRUE(page.ReadOnce());
    printer->ClearLog();
    ui.messages.clear();
    ui.captions.clear();
  }
  QString Selected(int id) const { return CurrentItemText(*controls, id); }

  std::unique_ptr<sim::PrinterSim> printer;
  std::unique_ptr<MemoryControls> controls;
  RecordingUi ui;
  PrinterInfo info;
  std::unique_ptr<PageContext> ctx;
  BluetoothPage page;
};

}  // namespace

TEST_F(BluetoothFixture, ReadAsksFiveVariablesInOrderAndSaysReadOk) {
  Start();
  EXPECT_EQ(controls->CurrentIndex(kBaudList), -1);
  EXPECT_EQ(controls->ItemCount(kCodList), 6);
  EXPECT_TRUE(page.NeedsRead());
  const int fds = CountOpenFds();
  page.OnControl(kReadButton, ControlEvent::Clicked, *ctx);
  EXPECT_EQ(CountOpenFds(), fds);
  EXPECT_EQ(printer->Lines(), tst::ProvenRead(std::vector<std::string>{
                                  kModel, kModel,
                                  L("! U1 getvar \"bluetooth.address\""),
                                  L("! U1 getvar \"bluetooth.friendly_name\""),
                                  L("! U1 getvar \"bluetooth.bluetooth_pin\""),
                                  L("! U1 getvar \"bluetooth.baud\""),
                                  L("! U1 getvar \"bluetooth.cod\""),
                                  kModel,  // the fence
                              }));
  EXPECT_EQ(controls->Text(kAddressEdit), "00:1A:7D:DA:71:13");
  EXPECT_EQ(controls->Text(kNameEdit), "TQ250L-BT");
  EXPECT_EQ(controls->Text(kPinEdit), "0000");
  EXPECT_EQ(Selected(kBaudList), "115200");
  // "680" selects the last entry, not "40680" or "100680".
  EXPECT_EQ(controls->CurrentIndex(kCodList), 5);
  EXPECT_EQ(ui.messages, std::vector<QString>{"Read OK"});
  EXPECT_EQ(ui.captions, std::vector<QString>{"BT SETUP"});
  EXPECT_TRUE(page.ReadOnce());
  EXPECT_FALSE(page.NeedsRead());
}

TEST_F(BluetoothFixture, NumberedPrinterIsAskedAndWrittenByNumber) {
  Start("TQ210;210;ESCPOS");
  page.ReadBluetoothSettings(*ctx);
  EXPECT_EQ(printer->Lines(), tst::ProvenRead(std::vector<std::string>{
                                  kModel, kModel,
                                  L("! U1 getvar \"1\" \"16\""),
                                  L("! U1 getvar \"1\" \"18\""),
                                  L("! U1 getvar \"1\" \"17\""),
                                  L("! U1 getvar \"1\" \"19\""),
                                  L("! U1 getvar \"1\" \"20\""),
                                  kModel,  // the fence
                              }));
  printer->ClearLog();
  page.WriteBluetoothSettings(*ctx);
  EXPECT_EQ(SettledLines(), (std::vector<std::string>{
                                L("! U1 setvar \"1\" \"16\" \"001A7DDA7113\""),
                                L("! U1 setvar \"1\" \"18\" \"TQ250L-BT\""),
                                L("! U1 setvar \"1\" \"17\" \"0000\""),
                                L("! U1 setvar \"1\" \"19\" \"115200\""),
                                L("! U1 setvar \"1\" \"20\" \"680\""),
                            }));
}

TEST_F(BluetoothFixture, UpdateSendsFiveLinesWithTheMacWithoutColons) {
  Start();
  ReadOk();
  controls->SetText(kAddressEdit, "AA:BB:CC:DD:EE:FF");
  controls->SetText(kNameEdit, "Counter 2, left;");  // commas and semicolons go as they are
  controls->SetCurrentIndex(kBaudList, 0);
  controls->SetCurrentIndex(kCodList, 0);
  const int fds = CountOpenFds();
  page.OnControl(kUpdateButton, ControlEvent::Clicked, *ctx);
  EXPECT_EQ(CountOpenFds(), fds);
  EXPECT_EQ(SettledLines(), (std::vector<std::string>{
                                L("! U1 setvar \"bluetooth.address\" \"AABBCCDDEEFF\""),
                                L("! U1 setvar \"bluetooth.friendly_name\" \"Counter 2, left;\""),
                                L("! U1 setvar \"bluetooth.bluetooth_pin\" \"0000\""),
                                L("! U1 setvar \"bluetooth.baud\" \"9600\""),
                                L("! U1 setvar \"bluetooth.cod\" \"1F00\""),
                            }));
  EXPECT_EQ(ui.messages, std::vector<QString>{"Write OK"});
  EXPECT_EQ(ui.captions, std::vector<QString>{"BT SETUP"});
}

TEST_F(BluetoothFixture, ListRepliesSelectByBeginningOrLeaveTheSelection) {
  Start();
  struct Case {
    const char* baud;
    int baudBefore;
    const char* expected;
  } cases[] = {
      {"1152", 0, "115200"},    // the first entry that begins with it
      {"115200x", 2, "57600"},  // nothing begins with it: unchanged
      {"", 1, "38400"},         // an empty reply leaves the selection
      {"9600", 3, "9600"},      // the search wraps round to the first entry
  };
  for (const Case& k : cases) {
    SetVar("bluetooth.baud", k.baud);
    controls->SetCurrentIndex(kBaudList, k.baudBefore);
    page.ReadBluetoothSettings(*ctx);
    EXPECT_EQ(Selected(kBaudList), k.expected) << k.baud;
  }
  SetVar("bluetooth.cod", "1f");
  page.ReadBluetoothSettings(*ctx);
  EXPECT_EQ(Selected(kCodList), "1F00");  // case does not matter
  SetVar("bluetooth.cod", "24");
  page.ReadBluetoothSettings(*ctx);
  EXPECT_EQ(Selected(kCodList), "240404");
}

TEST_F(BluetoothFixture, ASilentPrinterIsALostConnectionAndChangesNothing) {
  Start();
  printer->SetFaults({.silent = true});
  controls->SetText(kNameEdit, "old");
  controls->SetCurrentIndex(kCodList, 2);
  page.ReadBluetoothSettings(*ctx);
  EXPECT_EQ(ui.messages, std::vector<QString>{kMsgConnectionLost});
  EXPECT_FALSE(page.ReadOnce());
  EXPECT_EQ(controls->Text(kNameEdit), "old");
  EXPECT_EQ(controls->CurrentIndex(kCodList), 2);
  ui.messages.clear();
  page.WriteBluetoothSettings(*ctx);
  EXPECT_EQ(ui.messages, std::vector<QString>{"PleaseReadFirst!"});
}

TEST_F(BluetoothFixture, AnEmptyFieldStopsTheUpdateWhereItStands) {
  Start();
  ReadOk();
  controls->SetText(kPinEdit, "");
  page.WriteBluetoothSettings(*ctx);
  EXPECT_EQ(SettledLines(), (std::vector<std::string>{
                                L("! U1 setvar \"bluetooth.address\" \"001A7DDA7113\""),
                                L("! U1 setvar \"bluetooth.friendly_name\" \"TQ250L-BT\""),
                            }));
  EXPECT_EQ(ui.messages, std::vector<QString>{QStringLiteral("蓝牙Pin未设置")});
  EXPECT_TRUE(ui.captions.empty());  // no success box

  struct Case {
    std::function<void(ControlModel&)> empty;
    const char* message;
    std::size_t linesSent;
  } cases[] = {
      {[](ControlModel& c) { c.SetText(kAddressEdit, ":::::"); }, "蓝牙MAC未设置", 0},
      {[](ControlModel& c) { c.SetText(kNameEdit, ""); }, "蓝牙名称未设置", 1},
      {[](ControlModel& c) { c.SetCurrentIndex(kBaudList, -1); }, "蓝牙波特率未设置", 3},
      {[](ControlModel& c) { c.SetCurrentIndex(kCodList, -1); }, "蓝牙COD未设置", 4},
  };
  for (const Case& k : cases) {
    controls->SetText(kAddressEdit, "AA:BB:CC:DD:EE:FF");
    controls->SetText(kNameEdit, "N");
    controls->SetText(kPinEdit, "1234");
    controls->SetCurrentIndex(kBaudList, 3);
    controls->SetCurrentIndex(kCodList, 5);
    k.empty(*controls);
    printer->ClearLog();
    ui.messages.clear();
    page.WriteBluetoothSettings(*ctx);
    EXPECT_EQ(ui.messages, std::vector<QString>{QString::fromUtf8(k.message)});
    EXPECT_EQ(SettledLines().size(), k.linesSent) << k.message;
  }
}

TEST_F(BluetoothFixture, UpdateBeforeAReadAndUnopenablePorts) {
  Start();
  page.WriteBluetoothSettings(*ctx);
  EXPECT_EQ(ui.messages, std::vector<QString>{"PleaseReadFirst!"});
  EXPECT_TRUE(SettledLines().empty());

  ui.messages.clear();
  ctx->link.portPath = "/dev/no-such-printer";
  page.ReadBluetoothSettings(*ctx);
  EXPECT_EQ(ui.messages, std::vector<QString>{"Unconnect Printer"});
  EXPECT_FALSE(page.ReadOnce());
}

TEST_F(BluetoothFixture, AValueTooLongForOneLineIsRefused) {
  Start();
  ReadOk();
  controls->SetText(kNameEdit, QString(4060, QLatin1Char('n')));
  page.WriteBluetoothSettings(*ctx);
  EXPECT_EQ(ui.messages, std::vector<QString>{ValueTooLongMessage(kLangEnglish)});
  EXPECT_TRUE(SettledLines().empty());  // not even the address before it

  // The longest value that fits still goes out whole.
  const std::string prefix = "\x1b\x1b! U1 setvar \"bluetooth.friendly_name\" \"";
  const int room = kMaxLineBytes - static_cast<int>(prefix.size()) - 3;
  controls->SetText(kNameEdit, QString(room, QLatin1Char('n')));
  printer->ClearLog();
  ui.messages.clear();
  page.WriteBluetoothSettings(*ctx);
  EXPECT_EQ(ui.messages, std::vector<QString>{"Write OK"});
  const std::vector<std::string> lines = SettledLines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[1].size(), static_cast<std::size_t>(kMaxLineBytes));
}

TEST_F(BluetoothFixture, APrinterThatGoesAwayEndsTheActionWithConnectionLost) {
  Start();
  // Gone while the read waits for the name.
  const long before = 2 * 23 + static_cast<long>(L("! U1 getvar \"bluetooth.address\"").size() +
                                                 L("! U1 getvar \"bluetooth.friendly_name\"").size());
  printer->SetFaults({.hangUpAfterBytes = before});
  page.ReadBluetoothSettings(*ctx);
  EXPECT_EQ(ui.messages, std::vector<QString>{kMsgConnectionLost});
  EXPECT_TRUE(ui.captions.empty());
  EXPECT_EQ(controls->Text(kAddressEdit), "");  // a Read that did not end changes no control
  EXPECT_FALSE(page.ReadOnce());
}

TEST_F(BluetoothFixture, AnUpdateWhoseLineCannotBeWritten) {
  Start();
  // The port's name leads to a device that opens but refuses every byte
  // once the page has been read through it.
  tst::SwappablePort port(printer->PortPath());
  ctx->link.portPath = port.Path();
  ReadOk();
  port.Point("/dev/full");
  const int fds = CountOpenFds();
  page.WriteBluetoothSettings(*ctx);
  EXPECT_EQ(CountOpenFds(), fds);
  EXPECT_EQ(ui.messages, std::vector<QString>{kMsgConnectionLost});
  EXPECT_TRUE(ui.captions.empty());
}

TEST_F(BluetoothFixture, ChineseInterface) {
  Start("TQ250L;250;CPCL,ESCPOS,TSPL;1", kLangChinese);
  SetVar("bluetooth.friendly_name", "\xB2\xD6\xBF\xE2");
  page.ReadBluetoothSettings(*ctx);
  EXPECT_EQ(controls->Text(kNameEdit), QStringLiteral("仓库"));
  EXPECT_EQ(ui.messages, std::vector<QString>{QStringLiteral("读取成功！")});
  EXPECT_EQ(ui.captions, std::vector<QString>{QStringLiteral("蓝牙配置")});
  printer->ClearLog();
  controls->SetText(kNameEdit, QStringLiteral("店铺"));
  page.WriteBluetoothSettings(*ctx);
  const std::vector<std::string> lines = SettledLines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[1], L("! U1 setvar \"bluetooth.friendly_name\" \"\xB5\xEA\xC6\xCC\""));
  EXPECT_EQ(ui.messages.back(), QStringLiteral("设置完成！"));
}
