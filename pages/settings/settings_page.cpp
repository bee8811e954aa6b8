#include "pages/settings/settings_page.h"

#include <climits>
#include <cstring>
#include <string_view>

#include "link/link.h"
#include "pages/core/page_port.h"
#include "protocol/printer_info.h"
#include "protocol/reply_channel.h"
#include "protocol/text_codec.h"
#include "resources/strings.h"
#include "pages/core/port_cause.h"
#include "pages/core/step_read.h"

namespace deveder {

void SettingsPage::OnCreate(PageContext& ctx) {
  readOnce_ = false;
  SetItems(ctx.controls, kSetCodePage, CodePageCaptions());
  ctx.controls.ClearItems(kSetApp);
  ctx.controls.AddItem(kSetApp,
                       QString::fromUtf8(ctx.langId == kLangChinese ? kAppStandardMode : kAppCommon));
}

ControlResult SettingsPage::OnControl(int id, ControlEvent event, PageContext& ctx) {
  if (event != ControlEvent::Clicked) return ControlResult::Unhandled();
  if (id == kSetReadButton) return ControlResult::Ran(OnReadSettings(ctx));
  if (id == kSetWriteButton) return ControlResult::Ran(OnWriteSettings(ctx));
  return ControlResult::Unhandled();
}

ActionResult SettingsPage::OnReadSettings(PageContext& ctx) {
  ControlModel& c = ctx.controls;
  const int lang = ctx.langId;

  if (!TextConversionAvailable(lang)) return RefuseWith(ctx, NoTextConversionMessage(lang));
  const std::uint32_t attachment = ctx.printer.attachment;
  OpenResult port = OpenPageLink(ctx);
  if (!port.ok()) return ShowPortOpenFailure(ctx, port);

  // What this layout asks for: the heating parameters where their controls
  // are, the application on Chinese systems only.
  const std::vector<PrinterVar> asked = SettingsReadRequests(c, lang);
  std::vector<StepQuestion> questions;
  for (const PrinterVar& var : asked)
    if (std::string_view(var.name) != setvar::kModel.name) questions.push_back({&var, false});
  StepReadResult read = ReadInStep(ctx, *port.link, questions);
  // The port is closed before the user is told.
  port.link.reset();
  if (read.ending == StepReadResult::Ending::Lost) return Lost(ctx);
  if (read.ending == StepReadResult::Ending::OutOfStep) return OutOfStepFailure(ctx);

  // The form and the application list go by PrinterInfo's 31-byte name; the
  // MDL edit shows the name whole, so that a Write never renames the printer
  // to a cut name.
  const std::string modelName(read.printer.modelName, strnlen(read.printer.modelName, sizeof read.printer.modelName));
  read.values[setvar::kModel.name] = read.modelReply.substr(0, read.modelReply.find(';'));
  if (!ApplySettingsValues(c, read.values, lang, read.printer.languageMask, modelName, &readBack_)) return Lost(ctx);

  readOnce_ = true;
  readAttachment_ = attachment;
  readPort_ = ctx.link.portPath;
  ctx.ui.ShowTimedMessage(LoadString(kStrReadOk, lang), LoadString(kStrSetup, lang));
  return Succeeded(kStrReadOk, LoadString(kStrReadOk, lang));
}

ActionResult SettingsPage::OnWriteSettings(PageContext& ctx) {
  const int lang = ctx.langId;
  kept_.clear();
  OpenResult port;
  if (const std::optional<ActionResult> refused = OpenForWrite(ctx, ReadFromThisPrinter(ctx), port)) return *refused;
  auto refuse = [&](const QString& message) { return CloseAndRefuse(port, ctx, message); };
  auto lost = [&] { return CloseAndLose(port, ctx); };

  // Every line is built before the first goes out, so a value that cannot
  // travel, or is too long for its line, refuses the Write with nothing sent.
  const SettingsWritePlan plan =
      BuildSettingsWrite(ctx.controls, FormForFlag(ctx.printer.namedFormFlag), lang, &readBack_);
  kept_ = plan.kept;
  if (plan.refusal) return refuse(RefusalMessageOnPage(ctx, kSettingsDialogId, *plan.refusal));
  if (plan.tooLong) return refuse(ValueTooLongMessage(lang));
  for (const std::string& line : plan.lines)
    if (!port.link->SendLine(line).ok()) return lost();
  // No reply is read, so only here can a printer that went away during the
  // last lines be noticed.
  if (!port.link->ConfirmOutput().ok()) return lost();
  port.link.reset();
  if (!plan.kept.empty()) ctx.ui.ShowNotice(KeptValuesMessageOnPage(ctx, kSettingsDialogId, plan.kept));
  // Without "msw" the Write is not whole: it ends silently, not as done.
  if (!plan.complete) return ActionResult{ActionOutcome::Refused, 0, {}, {}};
  ctx.ui.ShowTimedMessage(LoadString(kStrWriteOk, lang), LoadString(kStrSetup, lang));
  return Succeeded(kStrWriteOk, LoadString(kStrWriteOk, lang));
}

}  // namespace deveder
