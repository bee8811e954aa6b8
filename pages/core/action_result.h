// What a page action achieved: the window shows it, deveder-cli maps it to
// its exit status. The message boxes an action showed on the way are for the
// user; the result is the outcome.
#pragma once

#include <QString>

#include "pages/core/page_context.h"

namespace deveder {

enum class ActionOutcome {
  Ok,       // done as asked
  Refused,  // not done: a value, a file, the port or the page state refused it
  Lost,     // the printer went away or stopped answering during the action
};

struct ActionResult {
  ActionOutcome outcome = ActionOutcome::Ok;
  int messageId = 0;  // the string table id of the message, 0 for a fixed text
  QString message;    // the message shown, empty when none was
  QString reason;     // the reason line under it, empty when none
  bool ok() const { return outcome == ActionOutcome::Ok; }
  explicit operator bool() const { return ok(); }
};

// Success; `message` is what was shown for it (the timed "Read OK"), if any.
ActionResult Succeeded(int messageId = 0, const QString& message = {});
// Shows string `stringId` and returns the refusal.
ActionResult Refuse(PageContext& ctx, int stringId);
// Shows a fixed text (with its reason line, when given) and returns the refusal.
ActionResult RefuseWith(PageContext& ctx, const QString& text, const QString& reason = {});
// Shows "打印机连接断开" and returns the loss.
ActionResult Lost(PageContext& ctx);

}  // namespace deveder
