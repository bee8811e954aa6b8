// Small helpers shared by the test programs.
#pragma once

#include <dirent.h>

#include <QString>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include <string>

#include "link/link.h"
#include "link/port_hooks.h"
#include "pages/core/memory_controls.h"
#include "pages/core/page_context.h"
#include "protocol/command_line.h"
#include "sim/printer_sim.h"

namespace deveder::tst {

// Open descriptors of this process.
inline int CountOpenFds() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d)) ++n;
    closedir(d);
  }
  return n;
}

// A Ui that records what the user would have seen.
class RecordingUi : public Ui {
 public:
  void ShowMessage(const QString& text) override { messages.push_back(text); }
  // The reason line is kept apart, so that the message itself compares as
  // the window shows it.
  void ShowMessageWithReason(const QString& text, const QString& reason) override {
    messages.push_back(text);
    reasons.push_back(reason);
  }
  void ShowTimedMessage(const QString& text, const QString& caption) override {
    messages.push_back(text);
    captions.push_back(caption);
  }
  std::optional<QString> ChooseOpenFile(const QString& initialName, const QString& filter) override {
    lastInitialName = initialName;
    lastFilter = filter;
    return nextFile;
  }
  std::vector<QString> messages;
  std::vector<QString> reasons;
  std::vector<QString> captions;
  std::optional<QString> nextFile;
  QString lastInitialName, lastFilter;
};

// Every command line the printer has taken in, once it has handled them all:
// a getvar round trip of our own goes last and is left out.
inline std::vector<std::string> SettledLines(sim::PrinterSim& printer) {
  const std::string marker = "\x1b\x1b! U1 getvar \"model\"\r\n";
  if (OpenResult port = OpenLink(printer.PortPath()); port.ok()) {
    char buf[kLineBufferSize];
    port.link->Write(marker.data(), static_cast<int>(marker.size()));
    port.link->ReadReply(buf, sizeof buf - 1);
  }
  std::vector<std::string> lines = printer.Lines();
  if (!lines.empty() && lines.back() == marker) lines.pop_back();
  return lines;
}

// A port name that can be made to lead to another device, as a node replaced
// behind the same name: the page still takes it for the printer it read.
class SwappablePort {
 public:
  explicit SwappablePort(const std::string& target)
      : path_(std::filesystem::temp_directory_path() / ("deveder-port-" + std::to_string(getpid()))) {
    Point(target);
  }
  ~SwappablePort() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
  void Point(const std::string& target) {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
    std::filesystem::create_symlink(target, path_, ec);
  }
  QString Path() const { return QString::fromStdString(path_.string()); }

 private:
  std::filesystem::path path_;
};

// A variable of the simulated printer's store.
inline void SetSimVar(sim::PrinterSim& printer, const std::string& name, const std::string& value) {
  auto lock = printer.Lock();
  printer.Store().Set(name, value);
}
inline std::string SimVar(sim::PrinterSim& printer, const std::string& name) {
  auto lock = printer.Lock();
  return printer.Store().Get(name).value_or("(none)");
}

// Descriptors of this process open on the simulator's slave (the simulator
// keeps one of its own while it runs).
inline int SlaveFds(const sim::PrinterSim& printer) {
  int n = 0;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd", ec))
    n += std::filesystem::read_symlink(e.path(), ec).string() == printer.SlavePath();
  return n;
}

// In-memory controls that record one progress bar's life: "show", "hide"
// and each position.
class ProgressControls : public MemoryControls {
 public:
  ProgressControls(const DialogTemplate& tpl, int bar) : MemoryControls(tpl), bar_(bar) {}
  void SetProgress(int id, int position) override {
    if (id == bar_) events.push_back(std::to_string(position));
    MemoryControls::SetProgress(id, position);
  }
  void SetVisible(int id, bool visible) override {
    if (id == bar_) events.push_back(visible ? "show" : "hide");
    MemoryControls::SetVisible(id, visible);
  }
  std::vector<std::string> events;

 private:
  int bar_;
};

// Sets the port's pump hook for a scope.
struct PumpHook {
  explicit PumpHook(std::function<void()> pump) { SetPortPumpHook(std::move(pump)); }
  ~PumpHook() { SetPortPumpHook(nullptr); }
  PumpHook(const PumpHook&) = delete;
  PumpHook& operator=(const PumpHook&) = delete;
};

// The lines of a Read as they go out, from the requests it makes (the drain,
// the probe where there is one, each variable and the fence): the drain's
// getvar "model" goes twice, and every other request is followed by the
// getvar "model" that proves its answer complete.
inline std::vector<std::string> ProvenRead(const std::vector<std::string>& asked) {
  const std::string model = "\x1b\x1b! U1 getvar \"model\"\r\n";
  std::vector<std::string> out;
  for (std::size_t i = 0; i < asked.size(); ++i) {
    out.push_back(asked[i]);
    if (i == 0 || asked[i] != model) out.push_back(model);
  }
  return out;
}

}  // namespace deveder::tst
