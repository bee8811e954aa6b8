// Firmware download throughput: a 1 MiB image over USB against the simulator
// as fast as the pty carries it, and a 64 KiB image over a serial port with
// the simulator taking and sending bytes at 115200 baud. There each 256-byte
// block costs 268 bytes out and a 12-byte reply back before the next one may
// go, so the line allows at most 11520 * 256 / 280 = 10,533 payload bytes/s.
#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "bench/bench_util.h"
#include "link/port.h"
#include "pages/core/memory_controls.h"
#include "pages/firmware/firmware_page.h"
#include "protocol/text_codec.h"
#include "resources/dialogs.h"
#include "sim/printer_sim.h"

namespace deveder::bench {
namespace {

class QuietUi : public Ui {
 public:
  void ShowMessage(const QString& text) override { last = text; }
  void ShowTimedMessage(const QString& text, const QString&) override { last = text; }
  std::optional<QString> ChooseOpenFile(const QString&, const QString&) override { return std::nullopt; }
  QString last;
};

// Median time of `runs` downloads of a `size`-byte image; -1 when one failed.
double FirmwareMs(bool serial, int paceBaud, qint64 size, int runs) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("fw.bin"));
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return -1;
    QByteArray bytes(static_cast<int>(size), '\0');
    for (int i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 + 7);
    f.write(bytes);
  }
  sim::Options o;
  o.paceBaud = paceBaud;
  sim::PrinterSim printer(o);
  if (!printer.Start()) return -1;

  const bool savedFlag = SerialPortFlag();
  SetSerialPortFlag(serial);
  MemoryControls controls(Dialog136(kLangEnglish));
  QuietUi ui;
  PrinterInfo info;
  PageContext ctx{controls, ui, info, LinkChoice{QString::fromStdString(printer.PortPath()), 115200}, kLangEnglish};
  FirmwarePage page;
  controls.SetText(kFirmwarePathEdit, path);
  bool ok = true;
  std::vector<double> times;
  for (int i = 0; i < runs && ok; ++i) {
    // The printer answers the end of an image although nobody waits for it;
    // a download right behind would find that answer on the line and resend
    // its first packet. A user starts the next one later than that.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto t0 = Clock::now();
    ok = page.DownloadFirmware(ctx);
    times.push_back(MsSince(t0));
  }
  SetSerialPortFlag(savedFlag);
  return ok ? Median(times) : -1;
}

}  // namespace
}  // namespace deveder::bench

void BenchFirmware() {
  using namespace deveder::bench;
  constexpr qint64 kUsb = 1024 * 1024;
  const double usb = FirmwareMs(false, 0, kUsb, 5);
  if (usb < 0) {
    Row("firmware 1 MiB over USB, unpaced simulator", 0, "", "FAILED");
  } else {
    char remark[96];
    std::snprintf(remark, sizeof remark, "%.2f MB/s (target 2 MB/s)", kUsb / (usb / 1000.0) / 1e6);
    Row("firmware 1 MiB over USB, unpaced simulator", usb, "ms", remark);
  }

  constexpr qint64 kSerial = 64 * 1024;
  constexpr double kCeiling = 115200 / 10.0 * 256 / 280;
  const double serial = FirmwareMs(true, 115200, kSerial, 3);
  if (serial < 0) {
    Row("firmware 64 KiB over serial at 115200 baud", 0, "", "FAILED");
  } else {
    const double rate = kSerial / (serial / 1000.0);
    char remark[112];
    std::snprintf(remark, sizeof remark, "%.0f payload B/s, %.1f %% of the 10,533 B/s ceiling (target 95 %%)", rate,
                  100.0 * rate / kCeiling);
    Row("firmware 64 KiB over serial at 115200 baud", serial, "ms", remark);
  }
}
