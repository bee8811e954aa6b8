#include "cli/cli_session.h"
#include "link/port_hooks.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

#include "cli/cli_commands.h"
#include "pages/core/printable.h"
#include "link/link.h"
#include "link/port_walk.h"
#include "pages/core/port_cause.h"
#include "protocol/text_codec.h"
#include "resources/dialog_template.h"
#include "resources/strings.h"
#include "resources/version.h"

namespace deveder::cli {

namespace {

void Say(const std::string& page, const QString& text) {
  // Messages carry the printer's values and other programs' names.
  if (page.empty()) std::fprintf(stderr, "%s\n", Shown(text).c_str());
  else std::fprintf(stderr, "%s: %s\n", page.c_str(), Shown(text).c_str());
}

}  // namespace

void CliUi::ShowMessage(const QString& text) {
  shown.push_back(text);
  if (!Silent()) Say(page, text);
}

void CliUi::ShowMessageWithReason(const QString& text, const QString& reason) {
  ShowMessage(text);
  if (!Silent()) std::fprintf(stderr, "%s\n", Shown(reason).c_str());
}

void CliUi::ShowNotice(const QString& text) {
  shown.push_back(text);
  if (!Silent()) std::fprintf(stderr, "%s\n", Shown(text).c_str());
}

void CliUi::ShowTimedMessage(const QString& text, const QString&) {
  shown.push_back(text);
  if (!Silent()) Say(page, text);
}

std::optional<QString> CliUi::ChooseOpenFile(const QString&, const QString&) { return std::nullopt; }

void CliUi::ShowTransfer(qint64 done, qint64 total) {
  if (progress && !Silent()) progress->ShowTransfer(done, total);
}

void CliControls::ShowTransfer(long long done, long long total) {
  if (total <= 0) return;
  downloadSize_ = total;
  ShowProgress(static_cast<int>(std::clamp(done, 0LL, total) * 100 / total));
}

void CliControls::SetProgress(int id, int position) {
  MemoryControls::SetProgress(id, position);
  ShowProgress(position);
}

void CliControls::ShowProgress(int position) {
  if (position == lastShown_) return;
  const auto now = std::chrono::steady_clock::now();
  if (lastShown_ < 0) started_ = now;
  lastShown_ = position;
  if (isatty(STDERR_FILENO)) {
    const int width = 40;
    const int filled = std::max(0, std::min(width, position * width / 100));
    std::string figures;
    if (downloadSize_ > 0) {
      // The page reports a percentage; the bytes follow from the size.
      const long long sent = downloadSize_ * std::clamp(position, 0, 100) / 100;
      const double seconds = std::chrono::duration<double>(now - started_).count();
      char text[96];
      std::snprintf(text, sizeof text, "  %lld of %lld bytes", sent, downloadSize_);
      figures = text;
      if (seconds > 0.05) {
        std::snprintf(text, sizeof text, ", %.1f kB/s", static_cast<double>(sent) / seconds / 1000.0);
        figures += text;
      }
    }
    std::fprintf(stderr, "\r[%s%s] %3d%%%s\x1b[K", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(width - filled), ' ').c_str(), position, figures.c_str());
    barOpen_ = true;
  } else {
    // A log gets one line per tenth at most.
    const int step = std::max(0, std::min(10, position / 10));
    if (step <= lastStep_) return;
    lastStep_ = step;
    std::fprintf(stderr, "%d%%\n", step * 10);
  }
  std::fflush(stderr);
}

void CliControls::CompleteProgress() {
  if (lastShown_ >= 0 && lastShown_ < 100) ShowProgress(100);
}

void CliControls::SetVisible(int id, bool visible) {
  MemoryControls::SetVisible(id, visible);
  if (!visible && Progress(id) >= 0) FinishProgress();
}

void CliControls::FinishProgress() {
  if (barOpen_) std::fprintf(stderr, "\n");
  barOpen_ = false;
}

Session::Session(Options options) : options_(std::move(options)) {
  lang_ = options_.lang ? options_.lang : SystemDefaultLangId();
}

std::string TraceProblem(const Options& options) {
  const std::string& trace = options.traceFile;
  if (trace.empty()) return {};
  if (std::string problem = OutputPathProblem(trace); !problem.empty()) return "cannot write the trace: " + problem;
  if (!options.port.empty() && (trace == options.port || SameFile(trace, options.port)))
    return "the trace " + trace + " is the port " + options.port + "; the trace would be sent to the printer";
  return {};
}

std::string ModelNameShown(const Session& session) {
  const PrinterInfo& info = session.Printer();
  return Shown(FromPrinterBytes(std::string(info.modelName, strnlen(info.modelName, sizeof info.modelName)),
                                session.Lang()));
}

Session::~Session() {
  SetPortTraceHook(nullptr);
  if (signalFd_ >= 0) {
    SetPortStopHook(nullptr);
    ::close(signalFd_);
    // A signal still pending ends the run as it would have.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
  }
}

bool Session::FinishTrace(std::string& error) {
  if (!trace_) return true;
  // No byte may reach the file once it is closed.
  traceHook_ = nullptr;
  SetPortTraceHook(nullptr);
  const bool ok = trace_->Commit(error);
  trace_.reset();
  return ok;
}

void Session::CatchSignals(std::function<std::string()> state) {
  signalState_ = std::move(state);
  if (signalFd_ >= 0) return;
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  // Blocked, the signals wait for the descriptor to be read instead of
  // ending the run in the middle of a line.
  if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0) return;
  signalFd_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
  if (signalFd_ < 0) {
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    return;
  }
  // Every wait of the port layer asks between polls; the action then ends
  // as a lost one, its link closed (and a terminal's line settings given
  // back) on the way out, and CheckSignals ends the run.
  SetPortStopHook([this] { return StopRequested(); });
}

bool Session::StopRequested() {
  if (stopSignal_ != 0 || signalFd_ < 0) return stopSignal_ != 0;
  signalfd_siginfo info{};
  if (read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    stopSignal_ = static_cast<int>(info.ssi_signo);
    stopAfterPort_ = portUsed_;
  }
  return stopSignal_ != 0;
}

void Session::CheckSignals() {
  if (!StopRequested()) return;
  const int signo = stopSignal_;
  std::fprintf(stderr, "\ndeveder-cli: stopped by %s; the port is closed%s. %s\n", signo == SIGINT ? "Ctrl-C" : "SIGTERM",
               stopAfterPort_ ? " and its line settings given back" : "",
               signalState_ ? signalState_().c_str() : "");
  std::fflush(stderr);
  std::string error;
  FinishTrace(error);
  _exit(128 + signo);
}

void Session::RecordExchanges() {
  SetPortTraceHook([this](bool sent, const char* bytes, int count) {
    if (traceHook_) traceHook_(sent, bytes, count);
    AddTraffic(exchanges_, sent, bytes, count);
  });
}

int Session::RequirePort() {
  if (!options_.port.empty()) {
    port_ = options_.port;
  } else {
    auto source = MakeSystemDeviceSource();
    PortTable table;
    ListPrinterPorts(table, *source, options_.serial);
    if (table.count == 0) {
      std::fprintf(stderr, "%s (no port found%s)\n%s\n", LoadString(kStrUnconnectPrinter, lang_).toUtf8().constData(),
                   options_.serial ? " in serial mode" : "; try --serial or --port",
                   OpenFailureReason("", ENOENT, lang_).toUtf8().constData());
      return kExitFailed;
    }
    port_ = table.paths[0];
  }
  if (!options_.traceFile.empty()) {
    if (int rc = OpenTrace()) return rc;
  }
  // Every action on the port stops the same way on Ctrl-C or SIGTERM; a
  // download or a restore says more precisely what the printer holds.
  if (signalFd_ < 0)
    CatchSignals([] {
      return std::string("The printer holds what reached it before the stop: a Write or a test may have gone "
                         "out in part; read the page again to see what it holds.");
    });
  return kExitOk;
}

int Session::OpenTrace() {
  const std::string& file = options_.traceFile;
  if (file == port_ || SameFile(file, port_))
    return Usage("the trace " + file + " is the port " + port_ + "; the trace would be sent to the printer");
  auto trace = std::make_unique<OutputFile>();
  std::string error;
  if (!trace->Open(file, error)) return Usage("cannot write the trace: " + error);
  trace_ = std::move(trace);
  std::FILE* f = trace_->Stream();
  // What a reader of the trace needs before its first line.
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char when[32];
  std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S UTC", &utc);
  std::fprintf(f,
               "# deveder-cli %s\n# port %s\n# mode %s\n# form %s\n# date %s\n"
               "# time: milliseconds since this header\n",
               kProgramVersion, Shown(port_).c_str(), options_.serial ? "serial" : "usb",
               printer_.named() ? "named" : "set by the answer to the model probe below", when);
  const auto start = std::chrono::steady_clock::now();
  traceHook_ = [f, start](bool sent, const char* bytes, int count) {
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    // One line per chunk: time, direction, hex, then the printable view.
    std::fprintf(f, "%10.3f %s %5d  ", ms, sent ? ">>" : "<<", count);
    for (int i = 0; i < count; ++i) std::fprintf(f, "%02X ", static_cast<unsigned char>(bytes[i]));
    std::fprintf(f, " |");
    for (int i = 0; i < count; ++i) {
      unsigned char c = static_cast<unsigned char>(bytes[i]);
      std::fputc(c >= 0x20 && c < 0x7F ? c : '.', f);
    }
    std::fprintf(f, "|\n");
  };
  SetPortTraceHook(traceHook_);
  return kExitOk;
}

LinkChoice Session::Link() const {
  LinkChoice link;
  link.portPath = QString::fromStdString(port_);
  link.baud = options_.baud;
  link.serial = options_.serial;
  if (options_.baudGiven) link.lineBaud = static_cast<std::uint32_t>(options_.baud);
  if (options_.replyWaitMs > 0) link.firstByte = milliseconds(options_.replyWaitMs);
  return link;
}

PageContext Session::Page::Context(Session& s) {
  ui.stopSignal = &s.stopSignal_;
  return PageContext{*controls, ui, s.printer_, s.Link(), s.lang_, &s.ports_};
}

std::unique_ptr<Session::Page> Session::Open(std::unique_ptr<PageLogic> logic, const char* name) {
  auto page = std::make_unique<Page>();
  if (name) page->ui.page = name;
  page->controls = std::make_unique<CliControls>(FindDialogTemplate(logic->DialogId(), lang_));
  page->logic = std::move(logic);
  page->ui.progress = page->controls.get();
  PageContext ctx = page->Context(*this);
  page->logic->OnCreate(ctx);
  return page;
}

int Session::Press(Page& page, int buttonId) {
  PageContext ctx = page.Context(*this);
  portUsed_ = true;
  const ControlResult r = page.logic->OnControl(buttonId, ControlEvent::Clicked, ctx);
  page.last = r.action;
  const bool ok = r.action && r.action->ok();
  if (ok) page.controls->CompleteProgress();
  page.controls->FinishProgress();
  CheckSignals();
  return ok ? kExitOk : kExitFailed;
}

}  // namespace deveder::cli
