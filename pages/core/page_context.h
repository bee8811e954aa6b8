// What a page action works with: the controls of its page, the user-facing
// seam, PrinterInfo and the link chosen on the communication page.
#pragma once

#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "link/link.h"
#include "pages/core/control_model.h"
#include "protocol/printer_info.h"

namespace deveder {

// Message boxes, the self-closing message and the file dialog. (The pump
// that keeps the window alive during reply waits is the port layer's hook,
// SetPortPumpHook.) What an action achieved is its result, never which of
// these it called.
class Ui {
 public:
  virtual ~Ui() = default;
  // Modal message box with an OK button; caption: the program's title.
  virtual void ShowMessage(const QString& text) = 0;
  // The same box with a second line under the message: the system's reason
  // and, where one applies, the fix. A seam that shows no reasons shows the
  // message alone.
  virtual void ShowMessageWithReason(const QString& text, const QString& reason) {
    (void)reason;
    ShowMessage(text);
  }
  // The same box for news that is no failure (a Write that left values with
  // the printer).
  virtual void ShowNotice(const QString& text) { ShowMessage(text); }
  // Asks before an action that cannot be undone (restoring the factory
  // defaults, replacing the firmware); true to go on. A seam that cannot
  // ask goes on: deveder-cli asks on its own command line (--yes).
  virtual bool Confirm(const QString& question) {
    (void)question;
    return true;
  }
  // The user asked the action under way to stop at its next safe point
  // (the font download between two blocks). A seam that cannot be asked
  // says no.
  virtual bool StopRequested() { return false; }
  // How far a transfer has got whose page has no progress bar of its own
  // (the sample print): `done` of `total` bytes. A seam without a place
  // for it shows nothing.
  virtual void ShowTransfer(qint64 done, qint64 total) {
    (void)done;
    (void)total;
  }
  // A field as this seam's user knows it: `variable` is the printer's
  // name for it, `controlId` the control of dialog `dialogId` that holds
  // it. The window names it as the page labels it; by default, by its
  // variable.
  virtual QString FieldName(const QString& variable, int dialogId, int controlId) {
    (void)dialogId;
    (void)controlId;
    return variable;
  }
  // Modal box that closes itself about 500 ms after it opened (timer 101).
  virtual void ShowTimedMessage(const QString& text, const QString& caption) = 0;
  // File-open dialog; nullopt when the user cancels. `filter` is the
  // system's filter text, e.g. "All File (*.bin)|*.bin||".
  virtual std::optional<QString> ChooseOpenFile(const QString& initialName,
                                                const QString& filter) = 0;
};

// The link as the communication page describes it, read at the moment of
// the action.
struct LinkChoice {
  QString portPath;  // the port box's text
  int baud = 9600;   // the baud value (the firmware download's first speed)
  // The line speed every action sets on a serial port before its first
  // byte, when the user chose one for that port; 0: the port's own.
  std::uint32_t lineBaud = 0;
  // The port type is the serial port: a pause after each line, the serial
  // reply silence on a terminal, the XOR firmware framing.
  bool serial = false;
  // The reply timing of the links the page opens; none: the transport's own.
  std::optional<ReplyTiming> timing;
  // The first-byte wait the user chose over that timing.
  std::optional<milliseconds> firstByte;
  // How long a write may wait for a line that takes no bytes; none: the
  // link's own allowance.
  std::optional<milliseconds> writeAllowance;

  LinkOptions Options() const { return LinkOptions{serial, timing, firstByte, writeAllowance}; }
};

// The silence a port was found to need, by port text, for the rest of the
// run: a printer that pauses within its replies.
struct PortMemory {
  std::map<std::string, microseconds> silence;
};

struct PageContext {
  ControlModel& controls;
  Ui& ui;
  PrinterInfo& printer;
  LinkChoice link;
  int langId;  // 2052 Chinese system, 1033 otherwise
  // What the run has learnt of its ports (the silence a printer needs);
  // none: each action starts from the link's own timing.
  PortMemory* ports = nullptr;
};

}  // namespace deveder
