// How a page opens the printer's port and settles the command form.
#pragma once

#include "link/link.h"
#include "pages/core/page_context.h"

namespace deveder {

// Opens the link the communication page chose (the path in the file
// system's encoding), in its port type and with its reply timing; a serial
// line is set to the line speed chosen for it, if any.
OpenResult OpenPageLink(const PageContext& ctx);

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
