// The port walk: the ports on which a printer can be reached, as openable
// device paths. USB mode lists USB printer-class devices; serial mode lists
// serial ports with hardware behind them and parallel ports.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace deveder {

inline constexpr int kMaxPorts = 10;
inline constexpr std::size_t kMaxPortPathChars = 259;

// Where the walk learns which devices are present. The Linux source scans
// sysfs; tests use a fake; the demo adds the simulator's pty.
class DeviceSource {
 public:
  virtual ~DeviceSource() = default;
  // Paths in enumeration order. False when the device set cannot be had.
  virtual bool UsbPrinters(std::vector<std::string>& paths) = 0;
  virtual bool SerialPorts(std::vector<std::string>& paths) = 0;
};

// The port table: up to 10 paths and their count.
struct PortTable {
  std::vector<std::string> paths;  // blanked by every walk
  int count = 0;
};

// Rewrites the table from the source: at most 10 entries, enumeration order,
// paths over 259 characters skipped. When the USB device set cannot be had
// the table is blank and the count kept; in serial mode it becomes 0.
void ListPrinterPorts(PortTable& table, DeviceSource& source, bool serialMode);

// Tells whether the serial port at a device path has a real UART behind it.
using UartCheck = std::function<bool(const std::string& devicePath)>;

// Devices as sysfs describes them, under `sysRoot` (normally /sys), listed
// as paths under `devRoot` (normally /dev):
// - USB walk: class usbmisc, names lp*, whose device is bound to the usblp
//   driver, as <dev>/usb/lpN. No usbmisc class (usblp not loaded) is an
//   empty list; no class folder at all is a device set that cannot be had.
// - serial walk: class tty, names tty*, that have a device (virtual consoles
//   and ptys have none), as <dev>/ttyXXX; then class printer, names lp*, as
//   <dev>/lpN. Ports named ttyS* are listed only when `isRealUart` says so;
//   it is asked once per appearance of the port, because opening a serial
//   port raises its modem lines.
// Directory order is kept. A device that goes away while it is looked at is
// left out.
std::unique_ptr<DeviceSource> MakeSysfsDeviceSource(std::string sysRoot, std::string devRoot, UartCheck isRealUart);

// The machine's devices: the sysfs source over /sys and /dev, a ttyS* port
// counting as real when the driver reports a UART type for it.
std::unique_ptr<DeviceSource> MakeSystemDeviceSource();

// A source that lists `firstPath` before the devices of `inner` in both modes.
std::unique_ptr<DeviceSource> MakeSourceWithFirstPort(std::unique_ptr<DeviceSource> inner, std::string firstPath);

}  // namespace deveder
