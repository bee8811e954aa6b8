// 500 settings Read and Write cycles: descriptors and memory stay level.
// Not part of the default run: ctest -L soak.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "pages/core/memory_controls.h"
#include "pages/settings/settings_page.h"
#include "protocol/text_codec.h"
#include "resources/dialog_template.h"
#include "sim/printer_sim.h"
#include "test_support.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

TEST(Soak, FiveHundredSettingsReadWriteCycles) {
  sim::Options o;
  sim::PrinterSim printer(o);
  ASSERT_TRUE(printer.Start());
  MemoryControls controls(FindDialogTemplate(144, kLangChinese));
  RecordingUi ui;
  PrinterInfo info;
  PageContext ctx{controls, ui, info, {QString::fromStdString(printer.PortPath())}, kLangChinese};
  SettingsPage page;
  page.OnCreate(ctx);
  auto cycle = [&] {
    ui.messages.clear();
    page.OnControl(1016, ControlEvent::Clicked, ctx);
    page.OnControl(1017, ControlEvent::Clicked, ctx);
    printer.ClearLog();  // the simulator's log is the test's, not the tool's
  };
  for (int i = 0; i < 20; ++i) cycle();  // warm-up: caches, first allocations
  const int fds = CountOpenFds();
  const long rss = ResidentKiB();
  for (int i = 0; i < 500; ++i) {
    cycle();
    ASSERT_EQ(ui.messages.size(), 2u) << "cycle " << i;
    ASSERT_EQ(CountOpenFds(), fds) << "cycle " << i;
  }
  const long grown = ResidentKiB() - rss;
  std::printf("soak: 500 cycles, descriptors %d before and after, resident memory %+ld KiB\n", fds, grown);
  EXPECT_LT(grown, 1024);
}

}  // namespace
