#include "pages/test/test_page.h"

#include "resources/window_texts.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "pages/core/page_port.h"
#include "pages/test/sample_jobs.h"
#include "protocol/printer_info.h"
#include "resources/strings.h"
#include "pages/core/port_cause.h"

namespace deveder {

namespace {

constexpr PrinterAction kDump{"dump", 2};
constexpr PrinterAction kPrintTest{"print_test", 3};
constexpr PrinterAction kFactoryDefault{"factory_default", 4};

constexpr TestCommand kCommands[] = {
    {kTestPageButton, kPrintTest, "testpage"},
    {kTestBluetoothButton, kPrintTest, "bluetooth"},
    {kTestFactoryDefaultButton, kFactoryDefault, nullptr},
    {kTestHexDumpButton, kDump, "open"},
    {kTestRawSensorButton, kPrintTest, "raw_advl"},
    {kTestMarkSensorButton, kPrintTest, "mark_advl"},
    {kTestCalibrationButton, kPrintTest, "cal"},
};

// Every failure once the port is open: close it first, so that no port is
// held while the box waits for the user, then tell the user.
ActionResult ConnectionLost(OpenResult& port, PageContext& ctx) {
  port.link.reset();
  return Lost(ctx);
}

// The pause after a write on a serial port.
void PauseOnSerial(const Link& link, const TestPageTiming& timing) {
  if (!link.SerialMode()) return;
  if (timing.pause) timing.pause(kSerialJobPauseMs);
  else std::this_thread::sleep_for(std::chrono::milliseconds(kSerialJobPauseMs));
}

// Marks the page busy for one action.
class BusyScope {
 public:
  explicit BusyScope(bool& flag) : flag_(flag), entered_(!flag) { flag_ = true; }
  ~BusyScope() {
    if (entered_) flag_ = false;
  }
  bool entered() const { return entered_; }

 private:
  bool& flag_;
  bool entered_;
};

}  // namespace

const TestCommand* FindTestCommand(int buttonId) {
  for (const TestCommand& c : kCommands)
    if (c.buttonId == buttonId) return &c;
  return nullptr;
}

std::string TestCommandLine(const TestCommand& command, LineForm form) {
  if (!command.word) return DoLine(command.action, form);
  return DoLine(command.action, form, {command.word});
}

int SampleJobForLanguages(unsigned languageMask) {
  if (languageMask & kLangTspl) return kSampleJobTspl;
  if (languageMask & kLangCpcl) return kSampleJobCpcl;
  return 0;
}

bool WriteJobAndWait(Link& link, const void* bytes, int length, const TestPageTiming& timing,
                     std::function<void(int taken)> progress) {
  const milliseconds bound = timing.writeBoundMs > 0 ? milliseconds(timing.writeBoundMs) : link.WriteBound(length);
  // The device stopped taking bytes (a serial line that times out ends
  // short the same way): what it has not taken is dropped at the close.
  const bool pump = static_cast<bool>(progress);
  if (!link.Write(bytes, length, WriteOptions{Deadline::After(bound), pump, std::move(progress)}).ok()) return false;
  // Nothing is read back: a printer unplugged while the last bytes leave
  // is caught here rather than taken for a success.
  if (!link.ConfirmOutput().ok()) return false;
  PauseOnSerial(link, timing);
  return true;
}

ControlResult TestPage::OnControl(int id, ControlEvent event, PageContext& ctx) {
  if (event != ControlEvent::Clicked) return ControlResult::Unhandled();
  if (id == kTestDemoPrintButton) return ControlResult::Ran(RunSamplePrint(ctx));
  const TestCommand* command = FindTestCommand(id);
  if (!command) return ControlResult::Unhandled();
  // Nothing is sent unless the user says so: the printer's settings cannot
  // be had back.
  if (id == kTestFactoryDefaultButton &&
      !ctx.ui.Confirm(LoadWindowText(WindowText::ConfirmFactoryDefault, ctx.langId)
                          .arg(NamePrinter(ctx.printer.modelName, ctx.link.portPath, ctx.langId))))
    return ControlResult::Handled();
  return ControlResult::Ran(SendTestCommand(*command, ctx));
}

ActionResult TestPage::SendTestCommand(const TestCommand& command, PageContext& ctx) {
  BusyScope busy(busy_);
  if (!busy.entered()) return ActionResult{ActionOutcome::Refused, 0, {}, {}};

  char buffer[kLineBufferSize];
  OpenResult port = OpenPageLink(ctx);
  if (!port.ok()) return ShowPortOpenFailure(ctx, port);
  // A printer that answered with the named form once keeps it; one that did
  // not is asked again before every command.
  if (!ctx.printer.named() && ProbePrinterModel(*port.link, buffer, kLineBufferSize, ctx.printer) < 0)
    return ConnectionLost(port, ctx);

  const std::string line = TestCommandLine(command, FormForFlag(ctx.printer.namedFormFlag));
  if (!WriteJobAndWait(*port.link, line.data(), static_cast<int>(line.size()), timing))
    return ConnectionLost(port, ctx);
  return Succeeded();
}

ActionResult TestPage::RunSamplePrint(PageContext& ctx) {
  BusyScope busy(busy_);
  if (!busy.entered()) return ActionResult{ActionOutcome::Refused, 0, {}, {}};

  char buffer[kSampleProbeBufferSize];
  OpenResult port = OpenPageLink(ctx);
  if (!port.ok()) return ShowPortOpenFailure(ctx, port);
  // Only the language mask matters here; the job is no command line. A
  // printer that went away during the probe is a lost connection, not a
  // printer without a template.
  if (!ctx.printer.named() && ProbePrinterModel(*port.link, buffer, kSampleProbeBufferSize, ctx.printer) < 0)
    return ConnectionLost(port, ctx);

  const int jobId = SampleJobForLanguages(ctx.printer.languageMask);
  const std::span<const std::uint8_t> job = jobId ? FindSampleJob(jobId) : std::span<const std::uint8_t>();
  if (job.empty()) {
    PauseOnSerial(*port.link, timing);
    port.link.reset();
    return RefuseWith(ctx, kMsgNoTemplate);
  }
  // A job takes more than a minute at 9600 baud: the window shows how far
  // it has got, in bytes taken by the port.
  const qint64 total = static_cast<qint64>(job.size());
  ctx.ui.ShowTransfer(0, total);
  if (!WriteJobAndWait(*port.link, job.data(), static_cast<int>(job.size()), timing,
                       [&ctx, total](int taken) { ctx.ui.ShowTransfer(taken, total); }))
    return ConnectionLost(port, ctx);
  return Succeeded();
}

}  // namespace deveder
