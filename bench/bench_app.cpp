// The port walk's tick and the window's start-up.
#include <sys/resource.h>

#include <QApplication>

#include "app/app.h"
#include "app/main_window.h"
#include "bench/bench_util.h"
#include "link/port_walk.h"
#include "pages/core/memory_controls.h"
#include "protocol/text_codec.h"
#include "resources/dialogs.h"

namespace deveder::bench {

namespace {
double CpuMs() {
  rusage r{};
  getrusage(RUSAGE_SELF, &r);
  return r.ru_utime.tv_sec * 1e3 + r.ru_utime.tv_usec / 1e3 + r.ru_stime.tv_sec * 1e3 + r.ru_stime.tv_usec / 1e3;
}

class NullUi : public Ui {
 public:
  void ShowMessage(const QString&) override {}
  void ShowTimedMessage(const QString&, const QString&) override {}
  std::optional<QString> ChooseOpenFile(const QString&, const QString&) override { return std::nullopt; }
};
}  // namespace

void BenchWalk() {
  auto source = MakeSystemDeviceSource();
  MemoryControls controls(Dialog130(kLangEnglish));
  NullUi ui;
  PrinterInfo info;
  PageContext ctx{controls, ui, info, {}, kLangEnglish};
  CommPage page(*source);
  page.OnCreate(ctx);
  for (bool serial : {false, true}) {
    controls.SetCurrentIndex(kPortTypeBox, serial ? 1 : 0);
    page.OnControl(kPortTypeBox, ControlEvent::SelectionChanged, ctx);
    std::vector<double> cpu;
    for (int i = 0; i < 200; ++i) {
      double c0 = CpuMs();
      page.Tick(ctx);
      cpu.push_back(CpuMs() - c0);
    }
    // getrusage has coarse granularity per call: report the mean of many.
    double sum = 0;
    for (double c : cpu) sum += c;
    Row(std::string("port walk tick CPU, ") + (serial ? "serial" : "USB") + " mode", sum / cpu.size(), "ms",
        "mean of 200 ticks (timer runs every 100 ms)");
    Row(std::string("port walk tick wall, ") + (serial ? "serial" : "USB") + " mode",
        MedianMs(200, [&] { page.Tick(ctx); }), "ms");
  }
}

void BenchStartup(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  std::vector<double> t;
  for (int i = 0; i < 10; ++i) {
    auto t0 = Clock::now();
    CDEVederDlg dlg(kLangEnglish, MakeSystemDeviceSource(), MakeToolPages());
    dlg.show();
    QCoreApplication::processEvents();
    t.push_back(MsSince(t0));
  }
  Row("start-up to the window shown (in process, offscreen)", Median(t), "ms", "window built, pages created, shown");
}

}  // namespace deveder::bench
