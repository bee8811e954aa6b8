// The test page: seven buttons that each send one test or maintenance
// command (test page, Bluetooth page, factory default, hex dump, sensor
// graphs, label calibration) and the sample print, which sends a built-in
// CPCL or TSPL job. Every press opens the port, learns the command form when
// it is not known yet, sends one line or job, waits until the port has taken
// all of it and closes the port. Nothing is read back.
#pragma once

#include <functional>
#include <string>

#include "link/link.h"
#include "pages/core/action_result.h"
#include "pages/core/page_logic.h"
#include "protocol/command_line.h"

namespace deveder {

// Control ids of dialog 148.
inline constexpr int kTestDialogId = 148;
inline constexpr int kTestPageButton = 1015;
inline constexpr int kTestBluetoothButton = 1064;
inline constexpr int kTestFactoryDefaultButton = 1065;
inline constexpr int kTestHexDumpButton = 1066;
inline constexpr int kTestRawSensorButton = 1068;
inline constexpr int kTestMarkSensorButton = 1069;
inline constexpr int kTestDemoPrintButton = 1104;
inline constexpr int kTestCalibrationButton = 1106;

// A command button: the do action and the word that follows it (none for
// factory default). The numbered form replaces the action's name by its
// number and keeps the word.
struct TestCommand {
  int buttonId;
  PrinterAction action;
  const char* word;  // nullptr: no word
};

// The command of a button; nullptr for any other id (Demo Print included).
const TestCommand* FindTestCommand(int buttonId);
std::string TestCommandLine(const TestCommand& command, LineForm form);

// The sample job for a language mask: TSPL before CPCL; 0 when the printer
// speaks neither.
int SampleJobForLanguages(unsigned languageMask);

// The sample print's model probe works in a buffer of this size.
inline constexpr int kSampleProbeBufferSize = 1024;
// The pause after a line or job on a serial port.
inline constexpr int kSerialJobPauseMs = 100;

struct TestPageTiming {
  // Bound of one write in ms; 0: the link's write bound for its length.
  int writeBoundMs = 0;
  // Sleeps for the pause after a write on a serial port; empty: a real sleep.
  std::function<void(int ms)> pause;
};

// Writes `length` bytes as one write and waits, with no pause and no window
// messages, until the port has taken them all and they have left. False
// when the write fails, ends short or does not finish within the bound, or
// the device is gone once it finished. On success, in serial mode, the
// pause follows. With `progress`, the write tells the bytes taken so far as
// it goes and keeps the window going (the pump hook runs between polls).
bool WriteJobAndWait(Link& link, const void* bytes, int length, const TestPageTiming& timing,
                     std::function<void(int taken)> progress = {});

class TestPage : public PageLogic {
 public:
  int DialogId() const override { return kTestDialogId; }
  ControlResult OnControl(int id, ControlEvent event, PageContext& ctx) override;
  bool NeedsRead() const override { return false; }

  // One command button. Ok when the port took the whole line; every
  // failure has shown one message. A press while an action of this page
  // runs (the probe's wait keeps the window going) is ignored (refused,
  // with no message).
  ActionResult SendTestCommand(const TestCommand& command, PageContext& ctx);
  // Button 1104, the sample print. Ok when the port took the whole job.
  ActionResult RunSamplePrint(PageContext& ctx);

  TestPageTiming timing;

 private:
  bool busy_ = false;
};

}  // namespace deveder
