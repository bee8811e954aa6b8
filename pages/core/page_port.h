// How a page opens the printer's port and settles the command form.
#pragma once

#include "link/port.h"
#include "pages/core/page_context.h"

namespace deveder {

// Opens the port the communication page chose (the path in the file
// system's encoding).
PortHandle OpenPagePort(const PageContext& ctx);

// The drain step, then the model probe while the printer's form is not yet
// known to be the named one (it fills `printer`). False when a line could not
// be sent or the printer went away. `buffer` is the action's line buffer.
bool SettleCommandForm(PortHandle port, char* buffer, int size, PrinterInfo& printer);

// Runs an action unless one of the same page is already under way (a click
// delivered while a wait pumps the window must not start a second one).
class ReentryGuard {
 public:
  explicit ReentryGuard(bool& busy) : busy_(busy), entered_(!busy) { busy_ = true; }
  ~ReentryGuard() {
    if (entered_) busy_ = false;
  }
  ReentryGuard(const ReentryGuard&) = delete;
  ReentryGuard& operator=(const ReentryGuard&) = delete;
  bool Entered() const { return entered_; }

 private:
  bool& busy_;
  bool entered_;
};

}  // namespace deveder
