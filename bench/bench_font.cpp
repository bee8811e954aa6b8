// Font download throughput: a large file against the simulator as fast as the
// pty carries it, and a smaller one with the simulator taking bytes at
// 115200 baud, where the line itself is the limit.
#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <optional>

#include "bench/bench_util.h"
#include "pages/core/memory_controls.h"
#include "pages/font/font_page.h"
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

// Median time of `runs` downloads of a `size`-byte file; -1 when one failed.
double DownloadMs(int paceBaud, qint64 size, int runs) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("font.bin"));
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return -1;
    QByteArray block(64 * 1024, '\0');
    for (int i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 131 + 7);
    for (qint64 left = size; left > 0; left -= block.size()) f.write(block.constData(), std::min<qint64>(left, block.size()));
  }
  sim::Options o;
  o.paceBaud = paceBaud;
  sim::PrinterSim printer(o);
  if (!printer.Start()) return -1;

  MemoryControls controls(Dialog134(kLangEnglish));
  QuietUi ui;
  PrinterInfo info;
  PageContext ctx{controls, ui, info, LinkChoice{QString::fromStdString(printer.PortPath()), 9600}, kLangEnglish};
  FontPage page;
  page.OnCreate(ctx);
  controls.SetText(kFontPathEdit, path);
  bool ok = true;
  const double ms = MedianMs(runs, [&] { ok = page.DownloadFontFile(ctx) && ok; });
  return ok ? ms : -1;
}

}  // namespace
}  // namespace deveder::bench

void BenchFont() {
  using namespace deveder::bench;
  constexpr qint64 kFast = 4 * 1024 * 1024;
  const double fast = DownloadMs(0, kFast, 5);
  if (fast < 0) {
    Row("font download 4 MiB, unpaced simulator", 0, "", "FAILED");
  } else {
    Row("font download 4 MiB, unpaced simulator", fast, "ms",
        std::to_string(static_cast<long long>(kFast / (fast / 1000.0) / 1024)) + " KiB/s");
  }

  constexpr qint64 kPaced = 256 * 1024;
  constexpr double kLineBytesPerSecond = 115200 / 10.0;
  const double paced = DownloadMs(115200, kPaced, 3);
  if (paced < 0) {
    Row("font download 256 KiB at 115200 baud", 0, "", "FAILED");
  } else {
    const double rate = kPaced / (paced / 1000.0);
    char remark[96];
    std::snprintf(remark, sizeof remark, "%.0f B/s, %.1f %% of the line's 11520 B/s (target 95 %%)", rate,
                  100.0 * rate / kLineBytesPerSecond);
    Row("font download 256 KiB at 115200 baud", paced, "ms", remark);
  }
}
