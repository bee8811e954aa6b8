// The fault sweep: every action of the tool, with the printer unplugged after
// k received bytes for k spread across the whole action.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pages/core/memory_controls.h"
#include "pages/core/page_logic.h"
#include "sim/printer_sim.h"
#include "test_support.h"

namespace deveder::tst {

// One action as the user would run it, on a page of its own.
struct SweepAction {
  std::string name;
  int dialogId = 0;
  std::function<std::unique_ptr<PageLogic>()> make;
  bool serial = false;
  bool tcp = false;  // a network printer on loopback instead of a pty
  int baud = 9600;
  std::string modelReply = "TQ250L;250;CPCL,ESCPOS,TSPL;1";
  // Runs before the fault is armed (a Read before a Write, a file chosen).
  std::function<void(PageLogic&, PageContext&)> prepare;
  // Whether `prepare` left the page as the action expects. A Read on a busy
  // machine may take a late reply for silence and leave a field empty; such
  // a run is started again on a fresh printer rather than counted.
  std::function<bool(const PageContext&)> ready;
  std::function<void(PageLogic&, PageContext&)> run;
  // What the user sees when it worked: a message, or nothing (empty).
  std::vector<QString> successMessages;
  // Messages a failure may show; the last message shown must be one of them.
  std::vector<QString> failureMessages;
  int boundMs = 3000;  // the longest a failed run may take
  // The action ends with bytes it by design does not confirm (the sum
  // framing's finish, which the printer may answer by restarting): a printer
  // lost after them is no failure.
  bool endsUnconfirmed = false;
};

struct SweepRun {
  std::vector<QString> messages;
  double ms = 0;
  int fdsBefore = 0, fdsAfter = 0;
  long bytesOfAction = 0;  // what the printer received during `run`
  bool hungUpDuring = false;  // the line went before the action returned
  // The line went before the page's last write had been taken: the action
  // cannot have delivered everything and must not report success.
  bool hungUpBeforeLastWrite = false;
  // The printer had received every byte of the action when its line went.
  bool hadEverything = false;
};

// How a run loses its printer.
struct SweepCut {
  long hangUpAfter = -1;      // the printer hangs up after k received bytes (-1: never; 0: as the action starts)
  long unplugAfterSent = -1;  // unplugged the moment the tool has written k bytes of the action
  bool heldLine = false;      // the printer holds its line from the start and never lets go
};

// Runs the action on a fresh simulated printer that hangs up after
// `hangUpAfter` bytes of the action (-1: never; 0: unplugged as it starts).
SweepRun RunOnce(const SweepAction& action, long hangUpAfter);
SweepRun RunOnce(const SweepAction& action, const SweepCut& cut);

// Checks one action at every k of its sweep; returns the k values tried.
std::vector<long> Sweep(const SweepAction& action);

// Prints and records the k values of one action's sweep.
void ReportSweep(const std::string& name, const std::vector<long>& cuts);

}  // namespace deveder::tst
