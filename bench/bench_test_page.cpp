// Test page figures against the simulator: a command press (with and without
// the model probe) and the sample print of both jobs, as fast as the pty
// carries them and with the simulator taking bytes at 115200 baud.
#include <optional>

#include "bench/bench_util.h"
#include "pages/core/memory_controls.h"
#include "pages/test/sample_jobs.h"
#include "pages/test/test_page.h"
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

struct Rig {
  explicit Rig(const std::string& model, int paceBaud = 0) {
    sim::Options o;
    o.modelReply = model;
    o.paceBaud = paceBaud;
    printer.emplace(o);
    started = printer->Start();
    ctx.link.portPath = QString::fromStdString(printer->PortPath());
  }
  MemoryControls controls{Dialog148(kLangEnglish)};
  QuietUi ui;
  PrinterInfo info;
  PageContext ctx{controls, ui, info, LinkChoice{}, kLangEnglish};
  TestPage page;
  std::optional<sim::PrinterSim> printer;
  bool started = false;
};

// Median ms of `runs` presses of the TestPage button; -1 when one failed.
double CommandMs(const std::string& model, int runs) {
  Rig rig(model);
  if (!rig.started) return -1;
  bool ok = true;
  const double ms = MedianMs(runs, [&] { ok = rig.page.SendTestCommand(*FindTestCommand(kTestPageButton), rig.ctx) && ok; });
  return ok ? ms : -1;
}

// Median ms of `runs` sample prints; -1 when one failed or the printer did
// not receive the job unchanged.
double PrintMs(const std::string& model, int jobId, int paceBaud, int runs) {
  Rig rig(model, paceBaud);
  if (!rig.started) return -1;
  const auto job = FindSampleJob(jobId);
  const std::uint64_t hash = sim::Fnv1a64(job.data(), job.size());
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const std::size_t before = rig.printer->Jobs().size();
    const auto t0 = Clock::now();
    if (!rig.page.RunSamplePrint(rig.ctx)) return -1;
    times.push_back(MsSince(t0));
    // The printer has the job once the line goes quiet behind it.
    if (!rig.printer->WaitFor([&] { return rig.printer->Jobs().size() > before; }, 60000)) return -1;
    const sim::JobRecord got = rig.printer->Jobs().back();
    if (got.size != job.size() || got.hash != hash) return -1;
  }
  return Median(times);
}

void Report(const std::string& what, double ms, const std::string& remark) {
  if (ms < 0) Row(what, 0, "", "FAILED");
  else Row(what, ms, "ms", remark);
}

std::string Rate(std::size_t bytes, double ms) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.0f KiB/s", bytes / (ms / 1000.0) / 1024);
  return buf;
}

}  // namespace
}  // namespace deveder::bench

void BenchTestPage() {
  using namespace deveder;
  using namespace deveder::bench;
  Report("test command, named printer (no probe)", CommandMs("TQ250L;250;CPCL,TSPL;1", 50), "open, line, close");
  Report("test command, numbered printer (probe each press)", CommandMs("TQ250L;250;CPCL,TSPL", 50),
         "open, getvar model, reply, line, close");
  const std::size_t tspl = FindSampleJob(kSampleJobTspl).size();
  const std::size_t cpcl = FindSampleJob(kSampleJobCpcl).size();
  double ms = PrintMs("TQ250L;250;CPCL,TSPL;1", kSampleJobTspl, 0, 9);
  Report("sample print TSPL 61,967 B, unpaced simulator", ms, ms > 0 ? Rate(tspl, ms) : "");
  ms = PrintMs("TQ250L;250;CPCL;1", kSampleJobCpcl, 0, 9);
  Report("sample print CPCL 36,570 B, unpaced simulator", ms, ms > 0 ? Rate(cpcl, ms) : "");
  ms = PrintMs("TQ250L;250;CPCL;1", kSampleJobCpcl, 115200, 1);
  Report("sample print CPCL 36,570 B at 115200 baud", ms,
         ms > 0 ? Rate(cpcl, ms) + " (the line carries 11.25 KiB/s)" : "");
}
