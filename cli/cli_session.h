// One run of deveder-cli: the link options, the interface language, the
// trace, and page actions driven through the pages' own logic over the
// in-memory control model.
#pragma once

#include <QString>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pages/backup/output_file.h"
#include "pages/core/exchanges.h"
#include "pages/core/memory_controls.h"
#include "pages/core/page_logic.h"

namespace deveder::cli {

class CliControls;

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

// Messages go to stderr in the chosen language. Whether an action failed is
// its result, never which message it showed.
class CliUi : public Ui {
 public:
  void ShowMessage(const QString& text) override;
  void ShowMessageWithReason(const QString& text, const QString& reason) override;
  void ShowNotice(const QString& text) override;  // shown; the action has not failed
  void ShowTimedMessage(const QString& text, const QString& caption) override;
  std::optional<QString> ChooseOpenFile(const QString& initialName, const QString& filter) override;
  // The sample print's progress, drawn as the downloads draw theirs.
  void ShowTransfer(qint64 done, qint64 total) override;
  CliControls* progress = nullptr;
  bool quiet = false;  // record only
  // Set once Ctrl-C or SIGTERM has stopped the run: the action's own
  // messages about the line it lost are not the news.
  const int* stopSignal = nullptr;
  bool Silent() const { return quiet || (stopSignal && *stopSignal != 0); }
  std::string page;    // named before each message ("settings: Read OK")
  std::vector<QString> shown;
};

// The in-memory controls of a page, reporting download progress on stderr.
class CliControls : public MemoryControls {
 public:
  explicit CliControls(const DialogTemplate& dialog) : MemoryControls(dialog) {}
  void SetProgress(int id, int position) override;
  void SetVisible(int id, bool visible) override;
  void FinishProgress();
  // After an action that succeeded: a progress shown ends at 100 %.
  void CompleteProgress();
  // The last percentage shown; -1 before any.
  int LastProgress() const { return lastShown_; }
  // The bytes the download sends in all: a terminal then sees the bytes
  // sent and the rate beside the bar.
  void SetDownloadSize(long long bytes) { downloadSize_ = bytes; }
  // A transfer of a page without a progress bar: `done` of `total` bytes.
  void ShowTransfer(long long done, long long total);

 private:
  void ShowProgress(int position);
  long long downloadSize_ = 0;
  std::chrono::steady_clock::time_point started_{};
  int lastShown_ = -1;
  int lastStep_ = -1;  // off a terminal: the last tenth shown
  bool barOpen_ = false;
};

// The range --reply-wait accepts.
inline constexpr int kShortestReplyWaitMs = 50;
inline constexpr int kLongestReplyWaitMs = 10000;

struct Options {
  std::string port;  // empty: the first entry of the port walk
  bool serial = false;
  int baud = 9600;
  bool baudGiven = false;  // --baud: the line speed of every action, not only the firmware's
  int replyWaitMs = 0;  // 0: the transport's own first-byte wait
  int lang = 0;  // 0: from the locale
  std::string traceFile;
};

class Session {
 public:
  explicit Session(Options options);
  ~Session();

  int Lang() const { return lang_; }
  const std::string& Port() const { return port_; }
  // Writes the trace out under its name; false with `error` set when a
  // line of it could not be written (the file named is then left as it was).
  bool FinishTrace(std::string& error);
  // Chooses the port (first of the walk when none given), once every
  // argument has been checked, and starts the trace. kExitOk; kExitFailed
  // with the reason shown; kExitUsage when the trace cannot be written or
  // is the port itself.
  int RequirePort();
  PrinterInfo& Printer() { return printer_; }
  const PrinterInfo& Printer() const { return printer_; }
  // One request as sent and the bytes that came back before the next.
  using Exchange = deveder::Exchange;
  // From now on, Ctrl-C and SIGTERM end every wait of the port layer: the
  // action stops, its port is closed (its line settings given back), `state`
  // says what the printer may hold now, and the run ends with 130 or 143.
  // A signal that comes while nothing waits is taken at the next wait or
  // check.
  void CatchSignals(std::function<std::string()> state);
  // Ends the run as above when a signal has come.
  void CheckSignals();
  // The link every page action of the run opens.
  LinkChoice Link() const;

  // From now on, every exchange with the printer is kept.
  void RecordExchanges();
  const std::vector<Exchange>& Exchanges() const { return exchanges_; }

  // The support trace's hook (empty without --trace).
  const std::function<void(bool, const char*, int)>& TraceHook() const { return traceHook_; }

  // A page of the tool over in-memory controls, created as the window would.
  struct Page {
    std::unique_ptr<PageLogic> logic;
    std::unique_ptr<CliControls> controls;
    CliUi ui;
    std::optional<ActionResult> last;  // the result of the last button pressed
    PageContext Context(Session& s);
  };
  // `name` goes before each of its messages.
  std::unique_ptr<Page> Open(std::unique_ptr<PageLogic> logic, const char* name = nullptr);
  // Presses a button of the page; returns the exit code it earned.
  int Press(Page& page, int buttonId);

 private:
  int OpenTrace();
  Options options_;
  int lang_;
  std::string port_;
  PrinterInfo printer_;
  PortMemory ports_;
  std::unique_ptr<OutputFile> trace_;
  std::vector<Exchange> exchanges_;
  bool StopRequested();

  int signalFd_ = -1;
  int stopSignal_ = 0;
  bool portUsed_ = false;
  bool stopAfterPort_ = false;
  std::function<std::string()> signalState_;
  std::function<void(bool, const char*, int)> traceHook_;
};

// Why the --trace file can never be written, or is the --port given: the
// trace would go to the printer as a print job. Empty when neither.
std::string TraceProblem(const Options& options);

// The model name the printer gave, as text safe to print.
std::string ModelNameShown(const Session& session);

}  // namespace deveder::cli
