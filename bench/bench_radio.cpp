// WiFi and Bluetooth pages: a full Read and a full Write against a simulator
// that answers at once, over a USB-like port.
#include <optional>
#include <type_traits>

#include "bench/bench_util.h"
#include "pages/bluetooth/bluetooth_page.h"
#include "pages/core/memory_controls.h"
#include "pages/wifi/wifi_page.h"
#include "protocol/text_codec.h"
#include "resources/dialogs.h"
#include "resources/strings.h"
#include "sim/printer_sim.h"

namespace deveder::bench {
namespace {

class CountingUi : public Ui {
 public:
  void ShowMessage(const QString& text) override { last = text; ++shown; }
  void ShowTimedMessage(const QString& text, const QString&) override { last = text; ++shown; }
  std::optional<QString> ChooseOpenFile(const QString&, const QString&) override { return std::nullopt; }
  QString last;
  int shown = 0;
};

template <typename Page>
void ReadAndWrite(const char* name, const DialogTemplate& (*dialog)(int), int runs) {
  sim::PrinterSim printer{sim::Options{}};
  if (!printer.Start()) {
    Row(std::string(name) + ": simulator", 0, "", "FAILED");
    return;
  }
  MemoryControls controls(dialog(kLangEnglish));
  CountingUi ui;
  PrinterInfo info;
  PageContext ctx{controls, ui, info, LinkChoice{QString::fromStdString(printer.PortPath()), 9600}, kLangEnglish};
  Page page;
  page.OnCreate(ctx);
  const double read = MedianMs(runs, [&] { page.Read(ctx); });
  const std::string readRemark = page.ReadOnce() ? "" : "FAILED: " + ui.last.toStdString();
  Row(std::string(name) + " Read, USB, instant printer", read, "ms", readRemark);
  const int before = ui.shown;
  const double write = MedianMs(runs, [&] {
    if constexpr (std::is_same_v<Page, WifiPage>) page.WriteWifiSettings(ctx);
    else page.WriteBluetoothSettings(ctx);
  });
  // The WiFi Write reports nothing on success; the Bluetooth one says "Write OK".
  const bool failed = std::is_same_v<Page, WifiPage> ? ui.shown != before : ui.last != LoadString(kStrWriteOk, kLangEnglish);
  Row(std::string(name) + " Write, USB, instant printer", write, "ms", failed ? "FAILED: " + ui.last.toStdString() : "");
}

}  // namespace
}  // namespace deveder::bench

void BenchRadio() {
  using namespace deveder;
  using namespace deveder::bench;
  ReadAndWrite<WifiPage>("WiFi", &Dialog162, 15);
  ReadAndWrite<BluetoothPage>("Bluetooth", &Dialog132, 15);
}
