#include "pages/core/action_result.h"

#include "link/tcp_connect.h"
#include "resources/strings.h"
#include "resources/window_texts.h"

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
  // The fixed message stays as it is; the line under it names the port and
  // what to check, in the interface language.
  const PortKind kind = ParseTcpAddress(ctx.link.portPath.toStdString()) ? PortKind::Network
                        : ctx.link.serial                                 ? PortKind::Serial
                                                                          : PortKind::Usb;
  const QString reason = NoAnswerAdvice(ctx.link.portPath, kind, ctx.langId);
  ctx.ui.ShowMessageWithReason(text, reason);
  return ActionResult{ActionOutcome::Lost, 0, text, reason};
}

}  // namespace deveder
