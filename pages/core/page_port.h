// How a page opens the printer's port and settles the command form.
#pragma once

#include <QString>

#include "link/port.h"
#include "pages/core/page_context.h"

namespace deveder {

// Opens the port the communication page chose (the path in the file
// system's encoding).
PortHandle OpenPagePort(const PageContext& ctx);

// What the user is told when the port did not open: string 148, and below
// it why, where the port layer knows more than that it failed (a port in use
// and who holds it, a path that is no device).
QString OpenFailureText(int langId);
void ShowOpenFailure(PageContext& ctx);

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
