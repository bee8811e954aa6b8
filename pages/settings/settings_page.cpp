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

namespace deveder {

namespace {

// One getvar exchange of a Read over the action's reply channel.
class Exchange {
 public:
  Exchange(ReplyChannel& channel, LineForm form) : channel_(channel), form_(form) {}

  // False when the line could not be sent, the printer went away or stopped
  // answering (silence is an empty reply, not a loss).
  bool Ask(const PrinterVar& var) {
    if (channel_.Ask(GetvarLine(var, form_)) == ReplyChannel::Outcome::Lost) return false;
    return true;
  }

  bool empty() const { return channel_.count() == 0; }
  std::string_view bytes() const { return channel_.bytes(); }

 private:
  ReplyChannel& channel_;
  LineForm form_;
};

}  // namespace

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
  const bool chinese = lang == kLangChinese;

  if (!TextConversionAvailable(lang)) return RefuseWith(ctx, NoTextConversionMessage(lang));
  OpenResult port = OpenPageLink(ctx);
  if (!port.ok()) return ShowPortOpenFailure(ctx, port);
  // The port is closed before the user is told.
  auto lost = [&] {
    port.link.reset();
    return Lost(ctx);
  };

  ReplyChannel channel(*port.link);
  if (channel.Drain() == ReplyChannel::Outcome::Lost) return lost();
  LineForm form = LineForm::Named;
  if (!ctx.printer.named()) {
    if (channel.Probe(ctx.printer) == ReplyChannel::Outcome::Lost || channel.Silent()) return lost();
    form = FormForFlag(ctx.printer.namedFormFlag);
  }
  Exchange x(channel, form);
  if (!x.Ask(setvar::kMfg)) return lost();
  // A printer that answered none of the first requests is not there to be
  // read: nothing on the page changes, and the Write stays as it was.
  if (channel.Silent()) return lost();

  // PrinterInfo may be cleared by the communication page while a reply is
  // awaited; the Read keeps what the probe gave it. The form and the
  // application list go by PrinterInfo's 31-byte name; the MDL edit shows
  // the name whole, so that a Write never renames the printer to a cut name.
  const std::string modelName(ctx.printer.modelName, strnlen(ctx.printer.modelName, sizeof ctx.printer.modelName));
  const std::uint8_t languageMask = ctx.printer.languageMask;
  const std::string fullName = channel.ModelReply().empty() ? modelName : channel.ModelName();
  readBack_.values.Clear();
  readBack_.msw.clear();
  ApplySettingsAnswer(c, setvar::kModel.name, fullName, lang, &readBack_);

  // Each answer goes into the controls as it comes; a Read that stops
  // half-way leaves what it had put there.
  auto apply = [&](const PrinterVar& var) {
    return ApplySettingsAnswer(c, var.name, x.bytes(), lang, &readBack_);
  };
  apply(setvar::kMfg);
  if (!x.Ask(setvar::kSn)) return lost();
  apply(setvar::kSn);

  // The heating parameters have controls on the Chinese layout only; a
  // layout without them does not ask for them.
  for (const PrinterVar* var : {&setvar::kHeatSection, &setvar::kHeatTime}) {
    if (!c.Has(var == &setvar::kHeatSection ? kSetHeatSections : kSetHeatTime)) continue;
    if (!x.Ask(*var)) return lost();
    apply(*var);
  }
  for (const PrinterVar* var : {&setvar::kUsbd, &setvar::kDensity, &setvar::kSpeed, &setvar::kMedia, &setvar::kEncode,
                                &setvar::kCodePage, &setvar::kSliceOffset, &setvar::kXOffset, &setvar::kYOffset,
                                &setvar::kLineHeight, &setvar::kPpl}) {
    if (!x.Ask(*var)) return lost();
    apply(*var);
  }
  if (chinese) {
    // The application list depends on the printer's languages and model.
    FillAppList(c, languageMask, modelName);
    for (const PrinterVar* var : {&setvar::kApp, &setvar::kAppStr}) {
      if (!x.Ask(*var)) return lost();
      apply(*var);
    }
  } else {
    c.SetCurrentIndex(kSetApp, 0);
  }
  for (const PrinterVar* var : {&setvar::kWarnFormat, &setvar::kCoverAction, &setvar::kMenuLang, &setvar::kMsw}) {
    if (!x.Ask(*var)) return lost();
    if (!apply(*var)) return lost();
  }

  readOnce_ = true;
  port.link.reset();
  ctx.ui.ShowTimedMessage(LoadString(kStrReadOk, lang), LoadString(kStrSetup, lang));
  return Succeeded(kStrReadOk, LoadString(kStrReadOk, lang));
}

ActionResult SettingsPage::OnWriteSettings(PageContext& ctx) {
  const int lang = ctx.langId;
  kept_.clear();
  if (!TextConversionAvailable(lang)) return RefuseWith(ctx, NoTextConversionMessage(lang));
  OpenResult port = OpenPageLink(ctx);
  if (!port.ok()) return ShowPortOpenFailure(ctx, port);
  auto refuse = [&](const QString& message) {
    port.link.reset();
    return RefuseWith(ctx, message);
  };
  auto lost = [&] {
    port.link.reset();
    return Lost(ctx);
  };
  if (!readOnce_) {
    port.link.reset();
    return Refuse(ctx, kStrPleaseReadFirst);
  }

  // Every line is built before the first goes out, so a value that cannot
  // travel, or is too long for its line, refuses the Write with nothing sent.
  const SettingsWritePlan plan =
      BuildSettingsWrite(ctx.controls, FormForFlag(ctx.printer.namedFormFlag), lang, &readBack_);
  kept_ = plan.kept;
  if (plan.refusal) return refuse(ValueRefusalMessage(*plan.refusal, lang));
  if (plan.tooLong) return refuse(ValueTooLongMessage(lang));
  for (const std::string& line : plan.lines)
    if (!port.link->SendLine(line).ok()) return lost();
  // No reply is read, so only here can a printer that went away during the
  // last lines be noticed.
  if (!port.link->ConfirmOutput().ok()) return lost();
  port.link.reset();
  if (!plan.kept.empty()) ctx.ui.ShowNotice(KeptValuesMessage(plan.kept, lang));
  // Without "msw" the Write is not whole: it ends silently, not as done.
  if (!plan.complete) return ActionResult{ActionOutcome::Refused, 0, {}, {}};
  ctx.ui.ShowTimedMessage(LoadString(kStrWriteOk, lang), LoadString(kStrSetup, lang));
  return Succeeded(kStrWriteOk, LoadString(kStrWriteOk, lang));
}

}  // namespace deveder
