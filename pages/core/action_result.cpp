#include "pages/core/action_result.h"

#include "resources/strings.h"

namespace deveder {

ActionResult Succeeded(int messageId, const QString& message) {
  return ActionResult{ActionOutcome::Ok, messageId, message, {}};
}

ActionResult Refuse(PageContext& ctx, int stringId) {
  const QString text = LoadString(stringId, ctx.langId);
  ctx.ui.ShowMessage(text);
  return ActionResult{ActionOutcome::Refused, stringId, text, {}};
}

ActionResult RefuseWith(PageContext& ctx, const QString& text, const QString& reason) {
  if (reason.isEmpty()) ctx.ui.ShowMessage(text);
  else ctx.ui.ShowMessageWithReason(text, reason);
  return ActionResult{ActionOutcome::Refused, 0, text, reason};
}

ActionResult Lost(PageContext& ctx) {
  const QString text = kMsgConnectionLost;
  ctx.ui.ShowMessage(text);
  return ActionResult{ActionOutcome::Lost, 0, text, {}};
}

}  // namespace deveder
