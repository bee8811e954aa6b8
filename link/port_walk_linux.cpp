// Device discovery on Linux through sysfs: a plain directory scan costs far
// less than a full udev enumeration, which matters for a walk every 100 ms.
#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <iterator>
#include <map>
#include <set>

#include "link/port_walk.h"
#include "link/sys_files.h"

namespace deveder {

namespace {

// Legacy 8250 ports exist in sysfs whether or not a UART is fitted; the
// driver tells which ones are real.
bool DriverReportsUart(const std::string& devicePath) {
  bool real = false;
  int fd = open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    serial_struct ss{};
    real = ioctl(fd, TIOCGSERIAL, &ss) == 0 && ss.type != PORT_UNKNOWN;
    close(fd);
  }
  return real;
}

class SysfsDeviceSource : public DeviceSource {
 public:
  SysfsDeviceSource(std::string sysRoot, std::string devRoot, UartCheck isRealUart)
      : classDir_(std::move(sysRoot) + "/class"), dev_(std::move(devRoot)), isRealUart_(std::move(isRealUart)) {}

  bool UsbPrinters(std::vector<std::string>& paths) override {
    // usbmisc lp* devices driven by usblp are USB printer-class interfaces.
    const std::string cls = classDir_ + "/usbmisc";
    if (!Exists(cls)) return Exists(classDir_);
    for (const std::string& name : Entries(cls, "lp")) {
      if (LinkTarget(cls + "/" + name + "/device/driver") != "usblp") continue;
      paths.push_back(dev_ + "/usb/" + name);
    }
    return true;
  }

  bool SerialPorts(std::vector<std::string>& paths) override {
    const std::string cls = classDir_ + "/tty";
    std::set<std::string> present;
    for (const std::string& name : Entries(cls, "tty")) {
      if (!Exists(cls + "/" + name + "/device")) continue;  // virtual consoles, ptys
      present.insert(name);
      if (name.rfind("ttyS", 0) == 0 && !IsRealUart(name)) continue;
      paths.push_back(dev_ + "/" + name);
    }
    // Forget probes of ports that went away: a port that comes back is new.
    for (auto it = uartProbes_.begin(); it != uartProbes_.end();)
      it = present.count(it->first) ? std::next(it) : uartProbes_.erase(it);
    for (const std::string& name : Entries(classDir_ + "/printer", "lp")) paths.push_back(dev_ + "/" + name);
    return true;
  }

 private:
  bool IsRealUart(const std::string& name) {
    auto it = uartProbes_.find(name);
    if (it != uartProbes_.end()) return it->second;
    const bool real = isRealUart_ && isRealUart_(dev_ + "/" + name);
    uartProbes_[name] = real;
    return real;
  }

  std::string classDir_;
  std::string dev_;
  UartCheck isRealUart_;
  std::map<std::string, bool> uartProbes_;
};

}  // namespace

std::unique_ptr<DeviceSource> MakeSysfsDeviceSource(std::string sysRoot, std::string devRoot, UartCheck isRealUart) {
  return std::make_unique<SysfsDeviceSource>(std::move(sysRoot), std::move(devRoot), std::move(isRealUart));
}

std::unique_ptr<DeviceSource> MakeSystemDeviceSource() {
  return MakeSysfsDeviceSource("/sys", "/dev", DriverReportsUart);
}

}  // namespace deveder
