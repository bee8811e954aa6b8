// The communication page's tick against a fake device source.
#include <gtest/gtest.h>

#include "pages/comm/comm_page.h"
#include "link/link.h"
#include "protocol/text_codec.h"
#include "pages/core/memory_controls.h"
#include "resources/dialogs.h"
#include "test_support.h"

using namespace deveder;

namespace {

class FakeSource : public DeviceSource {
 public:
  bool UsbPrinters(std::vector<std::string>& paths) override {
    ++usbWalks;
    if (!usbOk) return false;
    paths.insert(paths.end(), usb.begin(), usb.end());
    return true;
  }
  bool SerialPorts(std::vector<std::string>& paths) override {
    ++serialWalks;
    paths.insert(paths.end(), serial.begin(), serial.end());
    return true;
  }
  std::vector<std::string> usb, serial;
  bool usbOk = true;
  int usbWalks = 0, serialWalks = 0;
};

struct Fixture : ::testing::Test {
  Fixture() : controls(Dialog130(kLangEnglish)), ctx{controls, ui, info, {}, kLangEnglish}, page(source) {}
  void Probed() {
    info.Clear();
    info.namedFormFlag = 'O';
    info.modelName[0] = 'X';
  }
  bool Cleared() const { return info.namedFormFlag == 0 && info.modelName[0] == 0; }
  QStringList Box() const { return Items(controls, kPortBox); }

  FakeSource source;
  MemoryControls controls;
  tst::RecordingUi ui;
  PrinterInfo info;
  PageContext ctx;
  CommPage page;
};

}  // namespace

TEST_F(Fixture, StartsInUsbModeWithOnePrinterSelected) {
  source.usb = {"/dev/usb/lp0"};
  Probed();
  page.OnCreate(ctx);
  EXPECT_EQ(Box(), QStringList{"/dev/usb/lp0"});
  EXPECT_EQ(controls.CurrentIndex(kPortBox), 0);
  EXPECT_EQ(controls.Text(kPortBox), "/dev/usb/lp0");
  EXPECT_TRUE(Cleared());
  EXPECT_EQ(controls.CurrentIndex(kPortTypeBox), 0);
  EXPECT_EQ(CurrentItemText(controls, kBaudBox), "9600");
  EXPECT_FALSE(controls.Visible(kBaudBox));
  EXPECT_FALSE(controls.Visible(kStaticId));
  EXPECT_EQ(page.BaudValue(), 9600);
  EXPECT_FALSE(page.SerialMode());
}

TEST_F(Fixture, PluggingInUnpluggingAndReplacingPrinters) {
  page.OnCreate(ctx);  // nothing attached
  EXPECT_TRUE(Box().isEmpty());

  source.usb = {"/dev/usb/lp0"};
  Probed();
  EXPECT_TRUE(page.Tick(ctx));  // selection made: the shown page is read
  EXPECT_EQ(Box(), QStringList{"/dev/usb/lp0"});
  EXPECT_EQ(controls.CurrentIndex(kPortBox), 0);
  EXPECT_TRUE(Cleared());

  Probed();
  EXPECT_FALSE(page.Tick(ctx));  // nothing changed: PrinterInfo kept
  EXPECT_FALSE(Cleared());

  // A second printer: the box is rebuilt, which loses the selection: the
  // first entry is selected again and the page shown is read again.
  source.usb = {"/dev/usb/lp0", "/dev/usb/lp1"};
  EXPECT_TRUE(page.Tick(ctx));
  EXPECT_EQ(Box(), (QStringList{"/dev/usb/lp0", "/dev/usb/lp1"}));
  EXPECT_TRUE(Cleared());

  // Same count with one device replaced: appended, the old one kept.
  source.usb = {"/dev/usb/lp0", "/dev/usb/lp2"};
  Probed();
  EXPECT_FALSE(page.Tick(ctx));
  EXPECT_EQ(Box(), (QStringList{"/dev/usb/lp0", "/dev/usb/lp1", "/dev/usb/lp2"}));
  EXPECT_FALSE(Cleared());

  // All unplugged: the box empties, PrinterInfo stays until a port returns.
  source.usb.clear();
  Probed();
  EXPECT_FALSE(page.Tick(ctx));
  EXPECT_TRUE(Box().isEmpty());
  EXPECT_FALSE(Cleared());
  source.usb = {"/dev/usb/lp3"};
  EXPECT_TRUE(page.Tick(ctx));
  EXPECT_TRUE(Cleared());
  EXPECT_EQ(controls.Text(kPortBox), "/dev/usb/lp3");
}

TEST_F(Fixture, SecondPrinterRebuildsTheBoxFromTheFirstEntry) {
  source.usb = {"/dev/usb/lp0"};
  page.OnCreate(ctx);
  source.usb = {"/dev/usb/lp1", "/dev/usb/lp0"};
  Probed();
  page.Tick(ctx);
  EXPECT_EQ(Box(), (QStringList{"/dev/usb/lp1", "/dev/usb/lp0"}));
  EXPECT_EQ(controls.CurrentIndex(kPortBox), 0);
  EXPECT_TRUE(Cleared());
}

TEST_F(Fixture, UserSelectionClearsAtTheNextTickWithoutARead) {
  source.usb = {"/dev/usb/lp0", "/dev/usb/lp1"};
  page.OnCreate(ctx);
  Probed();
  controls.SetCurrentIndex(kPortBox, 1);
  EXPECT_FALSE(page.Tick(ctx));
  EXPECT_TRUE(Cleared());
  EXPECT_EQ(page.SelectedIndex(), 1);
  EXPECT_EQ(controls.Text(kPortBox), "/dev/usb/lp1");
}

TEST_F(Fixture, LostSelectionIsRemadeAndAsksForARead) {
  source.usb = {"/dev/usb/lp0"};
  page.OnCreate(ctx);
  controls.SetCurrentIndex(kPortBox, -1);
  Probed();
  EXPECT_TRUE(page.Tick(ctx));
  EXPECT_EQ(controls.CurrentIndex(kPortBox), 0);
  EXPECT_TRUE(Cleared());
}

TEST_F(Fixture, PathsMatchByBeginningWithoutCase) {
  source.serial = {"/dev/ttyS10"};
  page.OnCreate(ctx);
  controls.SetCurrentIndex(kPortTypeBox, 1);
  page.OnControl(kPortTypeBox, ControlEvent::SelectionChanged, ctx);
  page.Tick(ctx);
  // COM1 is not appended while COM10 is listed (same count: no rebuild).
  source.serial = {"/DEV/TTYS1"};
  page.Tick(ctx);
  EXPECT_EQ(Box(), QStringList{"/dev/ttyS10"});
}

TEST_F(Fixture, SwitchingToSerialShowsTheBaudBoxAndTheListFollows) {
  source.usb = {"/dev/usb/lp0"};
  source.serial = {"/dev/ttyUSB0", "/dev/lp0"};
  page.OnCreate(ctx);
  controls.SetCurrentIndex(kPortTypeBox, 1);
  EXPECT_TRUE(page.OnControl(kPortTypeBox, ControlEvent::SelectionChanged, ctx));
  EXPECT_TRUE(page.SerialMode());
  EXPECT_TRUE(controls.Visible(kBaudBox));
  EXPECT_TRUE(controls.Visible(kStaticId));
  EXPECT_EQ(CurrentItemText(controls, kBaudBox), "9600");
  EXPECT_EQ(Box(), QStringList{"/dev/usb/lp0"});  // until the next tick
  page.Tick(ctx);
  EXPECT_EQ(Box(), (QStringList{"/dev/ttyUSB0", "/dev/lp0"}));
  EXPECT_EQ(source.serialWalks, 1);

  controls.SetCurrentIndex(kBaudBox, 6);
  page.OnControl(kBaudBox, ControlEvent::SelectionChanged, ctx);
  EXPECT_EQ(page.BaudValue(), 115200);

  // "ETH" behaves as "USB".
  controls.SetCurrentIndex(kPortTypeBox, 2);
  page.OnControl(kPortTypeBox, ControlEvent::SelectionChanged, ctx);
  EXPECT_FALSE(page.SerialMode());
  EXPECT_FALSE(controls.Visible(kBaudBox));
  page.Tick(ctx);
  EXPECT_EQ(Box(), QStringList{"/dev/usb/lp0"});
}

TEST(PortWalk, TableKeepsTenEntriesSkipsLongPathsAndKeepsCountWhenUsbSetFails) {
  FakeSource source;
  for (int i = 0; i < 11; ++i) source.usb.push_back("/dev/usb/lp" + std::to_string(i));
  source.usb.insert(source.usb.begin() + 1, "/dev/" + std::string(260, 'x'));
  PortTable table;
  ListPrinterPorts(table, source, false);
  EXPECT_EQ(table.count, 10);
  EXPECT_EQ(table.paths[1], "/dev/usb/lp1");
  EXPECT_EQ(table.paths[9], "/dev/usb/lp9");

  source.usbOk = false;
  ListPrinterPorts(table, source, false);
  EXPECT_EQ(table.count, 10);
  EXPECT_TRUE(table.paths[0].empty());
  ListPrinterPorts(table, source, true);
  EXPECT_EQ(table.count, 0);
}

TEST(PortWalk, SystemSourceAnswersWithoutOpeningUsbPrinters) {
  auto source = MakeSystemDeviceSource();
  std::vector<std::string> usb, serial;
  EXPECT_TRUE(source->UsbPrinters(usb));
  EXPECT_TRUE(source->SerialPorts(serial));
  for (const std::string& p : usb) EXPECT_EQ(p.rfind("/dev/usb/lp", 0), 0u);
  for (const std::string& p : serial) EXPECT_EQ(p.rfind("/dev/", 0), 0u);
}

// "ETH": the USB printers, the addresses offered, and an address typed by
// the user, which no tick clears.
TEST_F(Fixture, NetworkModeKeepsATypedAddressAndOffersTheWifiPagesPrinter) {
  source.usb = {"/dev/usb/lp0"};
  page.OnCreate(ctx);
  controls.SetCurrentIndex(kPortTypeBox, 2);
  page.OnControl(kPortTypeBox, ControlEvent::SelectionChanged, ctx);
  EXPECT_TRUE(page.NetworkMode());
  EXPECT_FALSE(page.SerialMode());
  page.Tick(ctx);
  EXPECT_EQ(Box(), QStringList{"/dev/usb/lp0"});
  EXPECT_EQ(controls.Text(kPortBox), "/dev/usb/lp0");

  controls.SetText(kPortBox, "192.168.1.77");  // typed
  Probed();
  for (int i = 0; i < 5; ++i) page.Tick(ctx);
  EXPECT_EQ(controls.Text(kPortBox), "192.168.1.77");
  EXPECT_TRUE(Cleared());  // another port, another printer

  // The printer goes away from USB and an address is offered: the typed
  // one still stands.
  source.usb.clear();
  page.OfferAddress("192.168.1.120");
  page.OfferAddress("0.0.0.0");  // a module without an address offers nothing
  Probed();
  page.Tick(ctx);
  EXPECT_EQ(Box(), QStringList{"192.168.1.120"});
  EXPECT_EQ(controls.Text(kPortBox), "192.168.1.77");
  EXPECT_FALSE(Cleared());

  // Choosing the offered entry; back to USB lists USB printers only.
  controls.SetCurrentIndex(kPortBox, 0);
  page.Tick(ctx);
  EXPECT_EQ(controls.Text(kPortBox), "192.168.1.120");
  source.usb = {"/dev/usb/lp1"};
  controls.SetCurrentIndex(kPortTypeBox, 0);
  page.OnControl(kPortTypeBox, ControlEvent::SelectionChanged, ctx);
  page.Tick(ctx);
  EXPECT_EQ(Box(), QStringList{"/dev/usb/lp1"});
  EXPECT_EQ(controls.Text(kPortBox), "/dev/usb/lp1");
}
