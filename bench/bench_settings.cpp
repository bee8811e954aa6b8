// The settings page against an instantly answering simulator: a full Read
// (drain, probe, every variable of a Chinese system and the fence) over a
// USB-mode and a serial-mode pty and over loopback TCP, with and without
// pauses inside the replies, and a full Write.
#include <memory>
#include <optional>

#include "bench/bench_util.h"
#include "link/link.h"
#include "pages/core/memory_controls.h"
#include "pages/settings/settings_page.h"
#include "protocol/text_codec.h"
#include "resources/dialogs.h"
#include "resources/strings.h"
#include "sim/printer_sim.h"

namespace deveder::bench {
namespace {

class QuietUi : public Ui {
 public:
  void ShowMessage(const QString& text) override { failures.push_back(text); }
  void ShowTimedMessage(const QString&, const QString&) override {}
  std::optional<QString> ChooseOpenFile(const QString&, const QString&) override { return std::nullopt; }
  std::vector<QString> failures;
};

}  // namespace
}  // namespace deveder::bench

namespace deveder::bench {
namespace {

// One printer on one port type: the median time of a whole settings Read,
// or a negative time when a Read failed.
struct ReadBench {
  ReadBench(bool tcp, bool serial) : serial(serial) {
    sim::Options o;
    o.modelReply = "TQ250L;250;CPCL,ESCPOS,TSPL";  // numbered form: probed on every Read
    o.tcp = tcp;
    printer = std::make_unique<sim::PrinterSim>(o);
    started = printer->Start();
    ctx.link.portPath = QString::fromStdString(printer->PortPath());
    ctx.link.serial = serial;
    page.OnCreate(ctx);
  }
  double Read(int runs) {
    if (!started) return -1;
    bool ok = true;
    const double ms = MedianMs(runs, [&] { ok = page.OnReadSettings(ctx) && ok; });
    return ok ? ms : -1;
  }
  bool serial;
  std::unique_ptr<sim::PrinterSim> printer;
  bool started = false;
  MemoryControls controls{Dialog144(kLangChinese)};
  QuietUi ui;
  PrinterInfo info;
  PageContext ctx{controls, ui, info, LinkChoice{QString(), 9600}, kLangChinese};
  SettingsPage page;
};

std::string Verdict(double ms, double target) {
  if (ms < 0) return "FAILED";
  return "target " + std::to_string(static_cast<int>(target)) + " ms" + (ms <= target ? "" : " MISSED");
}

}  // namespace
}  // namespace deveder::bench

void BenchSettings() {
  using namespace deveder;
  using namespace deveder::bench;

  constexpr int kRuns = 21;
  ReadBench usb(false, false);
  const double read = usb.Read(kRuns);
  Row("settings Read, Chinese, numbered form, USB mode", read, "ms", Verdict(read, 50));

  // Every reply 20 ms late: each request costs the delay of its answer and
  // of the model reply behind it (24 requests: drain, probe, 21 variables,
  // fence).
  usb.printer->SetFaults({.replyDelayMs = 20});
  const double late = usb.Read(5);
  Row("settings Read, every reply 20 ms late", late, "ms", Verdict(late, 24 * 2 * 20 + 100));

  // A printer that answers nothing is known after the drain and the probe.
  usb.printer->SetFaults({.silent = true});
  usb.ui.failures.clear();
  const double silent = MedianMs(3, [&] { usb.page.OnReadSettings(usb.ctx); });
  const bool silentOk = usb.ui.failures.size() == 3 && usb.ui.failures.back() == kMsgConnectionLost;
  Row("settings Read, silent printer, until it fails", silent, "ms",
      silentOk ? "target 2500 ms: two unanswered requests" : "FAILED");
  usb.printer->SetFaults({});
  usb.page.OnReadSettings(usb.ctx);

  ReadBench tcp(true, false);
  const double tcpRead = tcp.Read(5);
  Row("settings Read, loopback TCP", tcpRead, "ms", Verdict(tcpRead, 150));

  // Every reply in two pieces 30 ms apart, on each port type: answers are
  // awaited to the model reply behind them, so the pauses are waited out
  // once, and nothing is read twice.
  ReadBench serial(false, true);
  const double serialRead = serial.Read(5);
  Row("settings Read, serial mode", serialRead, "ms", serialRead < 0 ? "FAILED" : "");
  const sim::Faults paused{.splitReplies = true, .splitGapMs = 30};
  for (ReadBench* b : {&usb, &serial, &tcp}) {
    const double plain = b == &usb ? read : b == &serial ? serialRead : tcpRead;
    b->printer->SetFaults(paused);
    const double slow = b->Read(3);
    b->printer->SetFaults({});
    const std::string port = b == &usb ? "USB mode" : b == &serial ? "serial mode" : "loopback TCP";
    const std::string ratio = slow < 0 || plain <= 0 ? "FAILED"
                                                     : std::to_string(slow / plain).substr(0, 4) +
                                                           " x without pauses (each pause waited out once)";
    Row("settings Read, replies paused 30 ms inside, " + port, slow, "ms", ratio);
  }

  bool writeOk = true;
  const double write = MedianMs(kRuns, [&] { writeOk = usb.page.OnWriteSettings(usb.ctx).ok() && writeOk; });
  Row("settings Write, Chinese, numbered form (22 lines)", write, "ms", writeOk ? "" : "FAILED");
}
