// Firmware download throughput in both framings: against the simulator as
// fast as the pty carries it, and with the simulator taking and sending bytes
// at 115200 baud.
#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "bench/bench_util.h"
#include "link/link.h"
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
double FirmwareMs(bool serial, int paceBaud, qint64 size, int runs, bool tcp) {
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
  o.tcp = tcp;
  sim::PrinterSim printer(o);
  if (!printer.Start()) return -1;

  MemoryControls controls(Dialog136(kLangEnglish));
  QuietUi ui;
  PrinterInfo info;
  PageContext ctx{controls, ui, info, LinkChoice{QString::fromStdString(printer.PortPath()), 115200, serial, {}}, kLangEnglish};
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
    ok = page.DownloadFirmware(ctx).ok();
    times.push_back(MsSince(t0));
  }
  return ok ? Median(times) : -1;
}

}  // namespace
}  // namespace deveder::bench

void BenchFirmware() {
  using namespace deveder::bench;
  // A serial port downloads in the XOR framing, a USB printer in the sum
  // framing. Stop-and-wait allows at most this share of a paced line for the
  // payload: each 256-byte block costs 268 bytes out and a 12-byte reply
  // (XOR), or 276 out and a 13-byte reply (sum), before the next may go.
  struct Case {
    const char* what;
    bool serial;
    int paceBaud;
    qint64 size;
    int runs;
    int bytesPerBlock;  // out and back
    bool tcp = false;   // a network printer on loopback
  };
  constexpr Case kCases[] = {
      {"firmware 1 MiB, sum framing, USB unpaced", false, 0, 1024 * 1024, 5, 276 + 13},
      {"firmware 1 MiB, sum framing, loopback TCP", false, 0, 1024 * 1024, 5, 276 + 13, true},
      {"firmware 1 MiB, XOR framing, serial unpaced", true, 0, 1024 * 1024, 3, 268 + 12},
      {"firmware 64 KiB, sum framing, USB at 115200", false, 115200, 64 * 1024, 3, 276 + 13},
      {"firmware 64 KiB, XOR framing, serial at 115200", true, 115200, 64 * 1024, 3, 268 + 12},
  };
  for (const Case& c : kCases) {
    const double ms = FirmwareMs(c.serial, c.paceBaud, c.size, c.runs, c.tcp);
    if (ms < 0) {
      Row(c.what, 0, "", "FAILED");
      continue;
    }
    const double rate = c.size / (ms / 1000.0);
    char remark[128];
    if (c.paceBaud == 0) {
      std::snprintf(remark, sizeof remark, c.serial ? "%.2f MB/s" : "%.2f MB/s (target 2 MB/s)", rate / 1e6);
    } else {
      const double ceiling = c.paceBaud / 10.0 * 256 / c.bytesPerBlock;
      std::snprintf(remark, sizeof remark, "%.0f payload B/s, %.1f %% of the %.0f B/s stop-and-wait ceiling", rate,
                    100.0 * rate / ceiling, ceiling);
    }
    Row(c.what, ms, "ms", remark);
  }
}
