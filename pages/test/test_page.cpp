#include "pages/test/test_page.h"

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

using Clock = std::chrono::steady_clock;

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

int MsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

// Every failure once the port is open: close it first, so that no port is
// held while the box waits for the user, then tell the user.
bool ConnectionLost(ScopedPort& port, PageContext& ctx) {
  port.Close();
  ctx.ui.ShowMessage(kMsgConnectionLost);
  return false;
}

// The pause after a write on a serial port.
void PauseOnSerial(const TestPageTiming& timing) {
  if (!SerialPortFlag()) return;
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

bool WriteJobAndWait(ScopedPort& port, const void* bytes, int length, PageContext& ctx,
                     const TestPageTiming& timing) {
  const int boundMs = timing.writeBoundMs > 0 ? timing.writeBoundMs : PortWriteBoundMs(port.get(), length);
  if (!PortStartWrite(port.get(), bytes, length)) return ConnectionLost(port, ctx);
  const auto deadline = Clock::now() + std::chrono::milliseconds(boundMs);
  while (true) {
    // The poll waits for the port to take more; nothing is delivered to the
    // window meanwhile.
    const IoState st = PortPollWrite(port.get(), MsLeft(deadline), nullptr);
    if (st == IoState::Completed) break;
    if (st == IoState::Failed) return ConnectionLost(port, ctx);
    if (Clock::now() >= deadline) {
      // The device stopped taking bytes (a serial line that times out ends
      // short the same way): what it has not taken is dropped.
      PortCancelWrite(port.get());
      return ConnectionLost(port, ctx);
    }
  }
  // Nothing is read back: a printer unplugged while the last bytes leave
  // is caught here rather than taken for a success.
  if (!PortConfirmOutput(port.get())) return ConnectionLost(port, ctx);
  PauseOnSerial(timing);
  return true;
}

bool TestPage::OnControl(int id, ControlEvent event, PageContext& ctx) {
  if (event != ControlEvent::Clicked) return false;
  if (id == kTestDemoPrintButton) {
    RunSamplePrint(ctx);
    return true;
  }
  if (const TestCommand* command = FindTestCommand(id)) {
    SendTestCommand(*command, ctx);
    return true;
  }
  return false;
}

bool TestPage::SendTestCommand(const TestCommand& command, PageContext& ctx) {
  BusyScope busy(busy_);
  if (!busy.entered()) return false;

  // The buffer outlives the port: the line is written from it.
  char buffer[kLineBufferSize];
  ScopedPort port(OpenPrinterPort(ctx.link.portPath.toStdString()));
  if (!port.valid()) {
    ShowPortOpenFailure(ctx);
    return false;
  }
  // A printer that answered with the named form once keeps it; one that did
  // not is asked again before every command.
  if (!ctx.printer.named() && ProbePrinterModel(port.get(), buffer, kLineBufferSize, ctx.printer) < 0)
    return ConnectionLost(port, ctx);

  const std::string line = TestCommandLine(command, FormForFlag(ctx.printer.namedFormFlag));
  std::copy(line.begin(), line.end(), buffer);
  return WriteJobAndWait(port, buffer, static_cast<int>(line.size()), ctx, timing);
}

bool TestPage::RunSamplePrint(PageContext& ctx) {
  BusyScope busy(busy_);
  if (!busy.entered()) return false;

  char buffer[kSampleProbeBufferSize];
  ScopedPort port(OpenPrinterPort(ctx.link.portPath.toStdString()));
  if (!port.valid()) {
    ShowPortOpenFailure(ctx);
    return false;
  }
  // Only the language mask matters here; the job is no command line. A
  // printer that went away during the probe is a lost connection, not a
  // printer without a template.
  if (!ctx.printer.named() && ProbePrinterModel(port.get(), buffer, kSampleProbeBufferSize, ctx.printer) < 0)
    return ConnectionLost(port, ctx);

  const int jobId = SampleJobForLanguages(ctx.printer.languageMask);
  const std::span<const std::uint8_t> job = jobId ? FindSampleJob(jobId) : std::span<const std::uint8_t>();
  if (job.empty()) {
    PauseOnSerial(timing);
    port.Close();
    ctx.ui.ShowMessage(kMsgNoTemplate);
    return false;
  }
  // The job is built-in data: it stays valid after the port is gone.
  return WriteJobAndWait(port, job.data(), static_cast<int>(job.size()), ctx, timing);
}

}  // namespace deveder
