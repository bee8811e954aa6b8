// deveder-demo: the tool with a simulated printer attached. The simulator's
// port comes first in both port walks, so every page works without hardware
// and a page read goes to it before any port of the machine.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/app.h"
#include "link/port_walk.h"
#include "resources/version.h"
#include "link/std_streams_posix.h"
#include "sim/printer_sim.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: deveder-demo [--model-reply TEXT] [--log FILE] [--tcp]\n"
               "  --model-reply TEXT  the simulated printer's answer to getvar \"model\"\n"
               "                      (three fields: a printer of the numbered form)\n"
               "  --log FILE          JSON-lines log of the printer's traffic\n"
               "  --tcp               a network printer on 127.0.0.1 instead of a pty\n"
               "  --screenshot FILE   save a picture of the window (page --page N) and quit\n");
}

bool HaveDisplay() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform && *platform) return true;
  const char* x = std::getenv("DISPLAY");
  const char* w = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (w && *w);
}

// SIGTERM and SIGINT end the demo as closing its window does, so that the
// simulator takes its port link and folder away. Both signals are blocked in
// every thread (this must come before any thread starts) and read from a
// descriptor that the event loop watches.
class QuitOnSignals {
 public:
  QuitOnSignals() {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGTERM);
    sigaddset(&signals_, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
    fd_ = signalfd(-1, &signals_, SFD_NONBLOCK | SFD_CLOEXEC);
  }
  ~QuitOnSignals() {
    if (fd_ >= 0) close(fd_);
  }
  QuitOnSignals(const QuitOnSignals&) = delete;
  QuitOnSignals& operator=(const QuitOnSignals&) = delete;

  // Once the application exists, for as long as the returned watcher lives:
  // a signal leaves every event loop, the window's and any message box's,
  // and no new one starts.
  std::unique_ptr<QSocketNotifier> Watch() const {
    if (fd_ < 0) return nullptr;
    auto notifier = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [fd = fd_] {
      signalfd_siginfo info{};
      while (read(fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
      }
      QCoreApplication::exit(0);
    });
    return notifier;
  }

 private:
  sigset_t signals_{};
  int fd_ = -1;
};

}  // namespace

int main(int argc, char** argv) {
  deveder::EnsureStandardStreams();
  deveder::sim::Options options;
  deveder::RunOptions run;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--model-reply" && i + 1 < argc) options.modelReply = argv[++i];
    else if (a == "--log" && i + 1 < argc) options.logPath = argv[++i];
    else if (a == "--tcp") options.tcp = true;
    else if (a == "--screenshot" && i + 1 < argc) run.screenshotPath = QString::fromLocal8Bit(argv[++i]);
    else if (a == "--page" && i + 1 < argc) run.screenshotPage = std::atoi(argv[++i]);
    else if (a == "-h" || a == "--help") {
      Usage();
      return 0;
    } else if (a == "--version") {
      std::printf("deveder-demo %s\n", deveder::kProgramVersion);
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
  QuitOnSignals quit;
  deveder::sim::PrinterSim printer(options);
  if (!printer.Start()) {
    std::fprintf(stderr, "deveder-demo: cannot start the simulated printer: %s\n", std::strerror(errno));
    return 1;
  }
  std::fprintf(stderr, "deveder-demo: simulated printer on %s\n", printer.PortPath().c_str());
  QApplication app(argc, argv);
  const auto watcher = quit.Watch();
  const int rc =
      deveder::CDEVederApp::Run(deveder::MakeSourceWithFirstPort(deveder::MakeSystemDeviceSource(), printer.PortPath()), run);
  printer.Stop();
  return rc;
}
