// The settings page against an instantly answering simulator in USB mode:
// a full Read (drain, probe and every variable of a Chinese system) and a
// full Write. The Read's floor is the drain's closing silence plus 23 round
// trips.
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

void BenchSettings() {
  using namespace deveder;
  using namespace deveder::bench;

  sim::Options o;
  o.modelReply = "TQ250L;250;CPCL,ESCPOS,TSPL";  // numbered form: probed on every Read
  sim::PrinterSim printer(o);
  if (!printer.Start()) {
    Row("settings Read, Chinese, numbered form", 0, "", "FAILED: simulator");
    return;
  }
  MemoryControls controls(Dialog144(kLangChinese));
  QuietUi ui;
  PrinterInfo info;
  PageContext ctx{controls, ui, info, LinkChoice{QString::fromStdString(printer.PortPath()), 9600}, kLangChinese};
  SettingsPage page;
  page.OnCreate(ctx);

  constexpr int kRuns = 21;
  constexpr std::size_t kLines = 23;  // drain, probe and 21 variables
  bool readOk = true;
  const double read = MedianMs(kRuns, [&] {
    printer.ClearLog();
    readOk = page.OnReadSettings(ctx) && printer.Lines().size() == kLines && readOk;
  });
  Row("settings Read, Chinese, numbered form (23 lines)", read, "ms",
      readOk ? "target 50 ms; floor: 23 round trips, each closed by 1.8 ms of silence" : "FAILED");

  // Every reply 20 ms late: each request costs its delay plus the silence
  // that ends its reply.
  printer.SetFaults({.replyDelayMs = 20});
  bool lateOk = true;
  const double late = MedianMs(5, [&] {
    printer.ClearLog();
    lateOk = page.OnReadSettings(ctx) && printer.Lines().size() == kLines && lateOk;
  });
  const double lateTarget = static_cast<double>(kLines) * 25 + 50;
  Row("settings Read, every reply 20 ms late", late, "ms",
      lateOk ? "target " + std::to_string(static_cast<int>(lateTarget)) + " ms (23 x 25 ms + 50 ms)" : "FAILED");

  // A printer that answers nothing is known after the drain and the probe.
  printer.SetFaults({.silent = true});
  ui.failures.clear();
  const double silent = MedianMs(3, [&] { page.OnReadSettings(ctx); });
  const bool silentOk = ui.failures.size() == 3 && ui.failures.back() == kMsgConnectionLost;
  Row("settings Read, silent printer, until it fails", silent, "ms",
      silentOk ? "target 2500 ms: two unanswered requests" : "FAILED");
  printer.SetFaults({});
  page.OnReadSettings(ctx);

  {
    // The same printer on a loopback TCP connection: a network stream ends
    // a reply after the silence of a serial line.
    sim::Options net = o;
    net.tcp = true;
    sim::PrinterSim remote(net);
    PrinterInfo remoteInfo;
    MemoryControls remoteControls(Dialog144(kLangChinese));
    PageContext remoteCtx{remoteControls, ui, remoteInfo, LinkChoice{}, kLangChinese};
    SettingsPage remotePage;
    remotePage.OnCreate(remoteCtx);
    bool tcpOk = remote.Start();
    remoteCtx.link.portPath = QString::fromStdString(remote.PortPath());
    const double tcpRead = MedianMs(5, [&] {
      remote.ClearLog();
      tcpOk = remotePage.OnReadSettings(remoteCtx) && remote.Lines().size() == kLines && tcpOk;
    });
    Row("settings Read, loopback TCP", tcpRead, "ms", tcpOk ? "23 round trips, each closed by 25 ms of silence" : "FAILED");
  }

  bool writeOk = true;
  const double write = MedianMs(kRuns, [&] { writeOk = page.OnWriteSettings(ctx).ok() && writeOk; });
  Row("settings Write, Chinese, numbered form (22 lines)", write, "ms", writeOk ? "" : "FAILED");
}
