#include "link/port_walk.h"

namespace deveder {

void ListPrinterPorts(PortTable& table, DeviceSource& source, bool serialMode) {
  table.paths.assign(kMaxPorts, std::string());
  std::vector<std::string> found;
  const bool ok = serialMode ? source.SerialPorts(found) : source.UsbPrinters(found);
  if (!ok) {
    if (serialMode) table.count = 0;  // the USB walk keeps its count
    return;
  }
  int count = 0;
  for (const std::string& path : found) {
    if (path.size() > kMaxPortPathChars) continue;  // does not fit an entry
    table.paths[static_cast<std::size_t>(count++)] = path;
    if (count == kMaxPorts) break;
  }
  table.count = count;
}

namespace {

// The first entry is what a page action opens when nobody chooses, so the
// port given here goes before whatever the machine has.
class FirstPortSource : public DeviceSource {
 public:
  FirstPortSource(std::unique_ptr<DeviceSource> inner, std::string first)
      : inner_(std::move(inner)), first_(std::move(first)) {}
  bool UsbPrinters(std::vector<std::string>& paths) override {
    paths.push_back(first_);
    if (inner_) inner_->UsbPrinters(paths);
    return true;
  }
  bool SerialPorts(std::vector<std::string>& paths) override {
    paths.push_back(first_);
    if (inner_) inner_->SerialPorts(paths);
    return true;
  }

 private:
  std::unique_ptr<DeviceSource> inner_;
  std::string first_;
};

}  // namespace

std::unique_ptr<DeviceSource> MakeSourceWithFirstPort(std::unique_ptr<DeviceSource> inner, std::string firstPath) {
  return std::make_unique<FirstPortSource>(std::move(inner), std::move(firstPath));
}

}  // namespace deveder
