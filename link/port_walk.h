// The port walk: the ports on which a printer can be reached, as openable
// device paths. USB mode lists USB printer-class devices; serial mode lists
// serial ports with hardware behind them and parallel ports.
#pragma once

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

// The machine's devices (sysfs). Serial ports named ttyS* are listed only
// when the driver reports a real UART; each such port is probed once per
// appearance, because opening a serial port raises its modem lines.
std::unique_ptr<DeviceSource> MakeSystemDeviceSource();

// A source that lists `extraPath` after the devices of `inner` in both modes.
std::unique_ptr<DeviceSource> MakeSourceWithExtraPort(std::unique_ptr<DeviceSource> inner, std::string extraPath);

}  // namespace deveder
