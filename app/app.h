// CDEVederApp: chooses the interface language and runs the main window.
#pragma once

#include <QIcon>
#include <memory>

#include "app/main_window.h"

namespace deveder {

// The application's own icon: a small receipt printer, drawn in code.
QIcon MakeAppIcon();

// The page logics of the tool.
PageLogics MakeToolPages();

struct RunOptions {
  QString screenshotPath;  // when set: show, save a picture of the window, quit
  int screenshotPage = 0;
};

class CDEVederApp {
 public:
  // Runs the main window over `source` until it closes; returns the exit code.
  static int Run(std::unique_ptr<DeviceSource> source, const RunOptions& options = {});
};

// Keeps the window alive while a port action waits: paints, timers and the
// close button run; the main window drops user input to itself meanwhile.
void InstallGuiPump();

}  // namespace deveder
