// CDEVederApp: chooses the interface language and runs the main window.
#pragma once

#include <QIcon>
#include <QTranslator>
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

// Loads Qt's own translations (standard buttons, the file dialog) for the
// Chinese interface into `translator` and installs it; false for English
// or when the system has none.
bool InstallQtTranslations(int langId, QTranslator& translator);

// Keeps the window alive while a port action waits: paints, timers and the
// close button run; the main window drops user input to itself meanwhile.
void InstallGuiPump();

}  // namespace deveder
