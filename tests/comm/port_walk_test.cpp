// The sysfs device source over trees of our own, laid out as the kernel lays
// out /sys: class entries are links into devices/, a device node's "device"
// link leads to its parent, and the parent's "driver" link names the driver
// bound to it.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "link/port_walk.h"

using namespace deveder;
namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

namespace {

struct FakeSys {
  FakeSys() : root(dir.path().toStdString()) { fs::create_directories(root / "class"); }

  // A USB printer interface with node lpN; `driver` empty: none bound.
  void UsbPrinter(const std::string& name, const std::string& driver = "usblp") {
    const fs::path intf = root / "devices/usb1" / (name + "-if");
    fs::create_directories(intf / "usbmisc" / name);
    if (!driver.empty()) fs::create_directory_symlink("../../../bus/usb/drivers/" + driver, intf / "driver");
    fs::create_directory_symlink("../..", intf / "usbmisc" / name / "device");
    Link("usbmisc", name, "devices/usb1/" + name + "-if/usbmisc/" + name);
  }
  // A tty with a parent device (serial port) or without (console, pty).
  void Tty(const std::string& name, bool withDevice = true) {
    if (!withDevice) {
      fs::create_directories(root / "devices/virtual/tty" / name);
      Link("tty", name, "devices/virtual/tty/" + name);
      return;
    }
    const fs::path port = root / "devices/serial" / (name + "-port");
    fs::create_directories(port / "tty" / name);
    fs::create_directory_symlink("../..", port / "tty" / name / "device");
    Link("tty", name, "devices/serial/" + name + "-port/tty/" + name);
  }
  void ParallelPrinter(const std::string& name) {
    fs::create_directories(root / "devices/parport" / name);
    Link("printer", name, "devices/parport/" + name);
  }
  // The device's folders go; its class entry stays behind, pointing nowhere.
  void Vanish(const std::string& name) {
    for (const char* parent : {"devices/usb1", "devices/serial"})
      for (const char* suffix : {"-if", "-port"}) fs::remove_all(root / parent / (name + suffix));
  }
  // Names of a class in the order the directory lists them.
  Paths Listed(const std::string& cls) const {
    Paths names;
    for (const auto& e : fs::directory_iterator(root / "class" / cls)) names.push_back(e.path().filename().string());
    return names;
  }
  std::unique_ptr<DeviceSource> Source(const std::string& dev = "/dev", UartCheck check = nullptr) const {
    if (!check) check = [this](const std::string& path) {
        return path.rfind("/dev/ttyS", 0) == 0 && realUarts.count(path.substr(5)) > 0;
      };
    return MakeSysfsDeviceSource(root.string(), dev, std::move(check));
  }

  QTemporaryDir dir;
  fs::path root;
  std::set<std::string> realUarts;

 private:
  void Link(const std::string& cls, const std::string& name, const std::string& target) {
    fs::create_directories(root / "class" / cls);
    fs::create_directory_symlink("../../" + target, root / "class" / cls / name);
  }
};

Paths Walk(DeviceSource& source, bool serial) {
  Paths paths;
  EXPECT_TRUE(serial ? source.SerialPorts(paths) : source.UsbPrinters(paths));
  return paths;
}

Paths Table(DeviceSource& source, bool serial) {
  PortTable table;
  ListPrinterPorts(table, source, serial);
  return Paths(table.paths.begin(), table.paths.begin() + table.count);
}

}  // namespace

TEST(SysfsWalk, UsbPrintersOnlyWhenUsblpIsBound) {
  FakeSys sys;
  sys.UsbPrinter("lp0");
  sys.UsbPrinter("lp1", "usbfs");  // claimed by a program, not the printer driver
  sys.UsbPrinter("lp2", "");       // no driver bound
  sys.UsbPrinter("lp3");
  Paths expected;
  for (const std::string& name : sys.Listed("usbmisc"))
    if (name == "lp0" || name == "lp3") expected.push_back("/dev/usb/" + name);
  EXPECT_EQ(Walk(*sys.Source(), false), expected);
}

TEST(SysfsWalk, UsbDeviceSetWithoutTheClassFolders) {
  FakeSys sys;
  PortTable table;
  table.count = 4;
  // usblp not loaded: the set is there and empty.
  ListPrinterPorts(table, *sys.Source(), false);
  EXPECT_EQ(table.count, 0);
  // No class folder at all: no device set, the count stays.
  fs::remove_all(sys.root / "class");
  table.count = 4;
  Paths paths;
  EXPECT_FALSE(sys.Source()->UsbPrinters(paths));
  ListPrinterPorts(table, *sys.Source(), false);
  EXPECT_EQ(table.count, 4);
}

TEST(SysfsWalk, SerialPortsWithADeviceTtySOnlyWithAUartThenParallelPrinters) {
  FakeSys sys;
  sys.Tty("ttyS0");
  sys.Tty("ttyS1");
  sys.Tty("ttyUSB0");
  sys.Tty("ttyACM0");
  sys.Tty("tty1", false);
  sys.Tty("ttyp0", false);
  sys.ParallelPrinter("lp0");
  Paths asked;
  auto source = sys.Source("/dev", [&](const std::string& path) {
    asked.push_back(path);
    return path == "/dev/ttyS1";
  });
  Paths expected, expectedAsked;
  for (const std::string& name : sys.Listed("tty")) {
    if (name == "ttyS0" || name == "ttyS1") expectedAsked.push_back("/dev/" + name);
    if (name == "ttyS1" || name == "ttyUSB0" || name == "ttyACM0") expected.push_back("/dev/" + name);
  }
  expected.push_back("/dev/lp0");
  EXPECT_EQ(Walk(*source, true), expected);
  EXPECT_EQ(asked, expectedAsked) << "only ttyS ports are opened to ask for their UART";
  EXPECT_EQ(Walk(*source, false), Paths{});
}

TEST(SysfsWalk, UartAskedOncePerAppearanceOfThePort) {
  FakeSys sys;
  sys.Tty("ttyS0");
  int asked = 0;
  auto source = sys.Source("/dev", [&](const std::string&) {
    ++asked;
    return true;
  });
  Walk(*source, true);
  Walk(*source, true);
  EXPECT_EQ(asked, 1);
  // Gone for one walk and back: a new port, asked again.
  fs::remove(sys.root / "class/tty/ttyS0");
  EXPECT_EQ(Walk(*source, true), Paths{});
  sys.Vanish("ttyS0");
  sys.Tty("ttyS0");
  EXPECT_EQ(Walk(*source, true), Paths{"/dev/ttyS0"});
  EXPECT_EQ(asked, 2);
}

TEST(SysfsWalk, TenEntriesAtMostInEnumerationOrder) {
  FakeSys sys;
  for (int i = 0; i < 12; ++i) {
    sys.UsbPrinter("lp" + std::to_string(i));
    sys.Tty("ttyUSB" + std::to_string(i));
  }
  for (bool serial : {false, true}) {
    Paths expected;
    for (const std::string& name : sys.Listed(serial ? "tty" : "usbmisc"))
      expected.push_back((serial ? "/dev/" : "/dev/usb/") + name);
    expected.resize(10);
    EXPECT_EQ(Table(*sys.Source(), serial), expected) << (serial ? "serial" : "USB");
  }
}

TEST(SysfsWalk, PathsOf259CharactersKeptAndOf260Skipped) {
  FakeSys sys;
  sys.UsbPrinter("lp0");
  sys.UsbPrinter("lp10");
  sys.UsbPrinter("lp1");
  // The device folder need not exist: the walk only names paths in it.
  const std::string dev = "/" + std::string(250, 'd');
  Paths expected;
  for (const std::string& name : sys.Listed("usbmisc"))
    if (name != "lp10") expected.push_back(dev + "/usb/" + name);
  ASSERT_EQ(expected.size(), 2u);
  EXPECT_EQ(expected[0].size(), 259u);
  EXPECT_EQ(Table(*sys.Source(dev), false), expected);
}

TEST(SysfsWalk, DevicesThatVanishBetweenListingAndReading) {
  FakeSys sys;
  sys.UsbPrinter("lp0");
  sys.UsbPrinter("lp1");
  sys.Tty("ttyUSB0");
  sys.Tty("ttyUSB1");
  sys.Vanish("lp1");
  sys.Vanish("ttyUSB1");
  EXPECT_EQ(Walk(*sys.Source(), false), Paths{"/dev/usb/lp0"});
  EXPECT_EQ(Walk(*sys.Source(), true), Paths{"/dev/ttyUSB0"});

  // Unplugged in the middle of a walk: ports listed after the one being
  // probed are gone by the time the walk reads them.
  FakeSys live;
  for (const char* name : {"ttyS0", "ttyUSB0", "ttyUSB1", "ttyACM0"}) live.Tty(name);
  auto source = live.Source("/dev", [&](const std::string&) {
    for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyACM0"}) live.Vanish(name);
    return true;
  });
  Paths expected;
  for (const std::string& name : live.Listed("tty")) {
    expected.push_back("/dev/" + name);
    if (name == "ttyS0") break;
  }
  EXPECT_EQ(Walk(*source, true), expected);
}

TEST(SysfsWalk, GivenPortComesFirstInBothWalks) {
  FakeSys sys;
  sys.UsbPrinter("lp0");
  sys.Tty("ttyS0");
  sys.realUarts = {"ttyS0"};
  auto source = MakeSourceWithFirstPort(sys.Source(), "/tmp/sim/printer");
  EXPECT_EQ(Table(*source, false), (Paths{"/tmp/sim/printer", "/dev/usb/lp0"}));
  EXPECT_EQ(Table(*source, true), (Paths{"/tmp/sim/printer", "/dev/ttyS0"}));
}
