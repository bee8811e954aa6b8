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

class ExtraPortSource : public DeviceSource {
 public:
  ExtraPortSource(std::unique_ptr<DeviceSource> inner, std::string extra)
      : inner_(std::move(inner)), extra_(std::move(extra)) {}
  bool UsbPrinters(std::vector<std::string>& paths) override {
    if (inner_) inner_->UsbPrinters(paths);
    paths.push_back(extra_);
    return true;
  }
  bool SerialPorts(std::vector<std::string>& paths) override {
    if (inner_) inner_->SerialPorts(paths);
    paths.push_back(extra_);
    return true;
  }

 private:
  std::unique_ptr<DeviceSource> inner_;
  std::string extra_;
};

}  // namespace

std::unique_ptr<DeviceSource> MakeSourceWithExtraPort(std::unique_ptr<DeviceSource> inner, std::string extraPath) {
  return std::make_unique<ExtraPortSource>(std::move(inner), std::move(extraPath));
}

}  // namespace deveder
