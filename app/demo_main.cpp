// deveder-demo: the tool with a simulated printer attached. The simulator's
// port appears in both port walks, so every page works without hardware.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/app.h"
#include "link/port_walk.h"
#include "link/std_streams_posix.h"
#include "sim/printer_sim.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: deveder-demo [--model-reply TEXT] [--log FILE]\n"
               "  --model-reply TEXT  the simulated printer's answer to getvar \"model\"\n"
               "                      (three fields: a printer of the numbered form)\n"
               "  --log FILE          JSON-lines log of the printer's traffic\n"
               "  --screenshot FILE   save a picture of the window (page --page N) and quit\n");
}

bool HaveDisplay() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform && *platform) return true;
  const char* x = std::getenv("DISPLAY");
  const char* w = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (w && *w);
}

}  // namespace

int main(int argc, char** argv) {
  deveder::EnsureStandardStreams();
  deveder::sim::Options options;
  deveder::RunOptions run;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--model-reply" && i + 1 < argc) options.modelReply = argv[++i];
    else if (a == "--log" && i + 1 < argc) options.logPath = argv[++i];
    else if (a == "--screenshot" && i + 1 < argc) run.screenshotPath = QString::fromLocal8Bit(argv[++i]);
    else if (a == "--page" && i + 1 < argc) run.screenshotPage = std::atoi(argv[++i]);
    else if (a == "-h" || a == "--help") {
      Usage();
      return 0;
    } else {
      Usage();
      return 2;
    }
  }
  if (!HaveDisplay()) {
    std::fprintf(stderr,
                 "deveder-demo: no display (DISPLAY and WAYLAND_DISPLAY are unset); "
                 "run it in a desktop session or under xvfb-run.\n");
    return 3;
  }
  deveder::sim::PrinterSim printer(options);
  if (!printer.Start()) {
    std::fprintf(stderr, "deveder-demo: cannot start the simulated printer: %s\n", std::strerror(errno));
    return 1;
  }
  std::fprintf(stderr, "deveder-demo: simulated printer on %s\n", printer.PortPath().c_str());
  QApplication app(argc, argv);
  const int rc =
      deveder::CDEVederApp::Run(deveder::MakeSourceWithExtraPort(deveder::MakeSystemDeviceSource(), printer.PortPath()), run);
  printer.Stop();
  return rc;
}
