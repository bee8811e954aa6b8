#include "pages/wifi/wifi_page.h"

#include <QFile>
#include <algorithm>
#include <climits>
#include <functional>
#include <utility>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/link.h"
#include "pages/core/page_port.h"
#include "pages/core/control_model.h"
#include "protocol/printer_info.h"
#include "protocol/reply_channel.h"
#include "protocol/text_codec.h"
#include "resources/strings.h"
#include "pages/core/port_cause.h"
#include "pages/core/step_read.h"

namespace deveder {

using namespace wifi;

// Puts the comma-separated pieces of a list answer into its five fields, the
// n-th piece into the n-th field. The walk ends after the piece with no comma
// behind it or after the fifth field. An empty piece either ends the walk
// (the access-point list) or leaves its field as it is and the walk goes on
// (the station list). Fields the walk does not reach keep their text.
void FillListFields(ControlModel& c, const int* fields, std::string_view answer, bool emptyEndsWalk,
                    int langId) {
  std::size_t pos = 0;
  for (int k = 0; k < 5; ++k) {
    const int field = fields[k];
    const std::size_t comma = answer.find(',', pos);
    const std::string_view piece =
        answer.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos);
    if (piece.empty()) {
      if (emptyEndsWalk) return;
    } else {
      c.SetText(field, ReplyToText(piece.data(), static_cast<int>(piece.size()), langId));
    }
    if (comma == std::string_view::npos) return;
    pos = comma + 1;
  }
}

void UpdateWifiControls(ControlModel& c, int mode, int dhcpChoice) {
  if (mode < 1 || mode > 3) return;
  const bool ap = mode != 1;
  const bool sta = mode != 2;
  const bool fixedAddress = sta && dhcpChoice == 0;
  for (int id : {kApSsid, kApPassword, kApIp}) c.SetEnabled(id, ap);
  for (int id : {kApMask, kApGateway}) c.SetEnabled(id, false);
  for (int id : {kStaSsid, kStaPassword}) c.SetEnabled(id, sta);
  for (int id : {kStaIp, kStaMask, kStaGateway}) c.SetEnabled(id, fixedAddress);
  for (int id : {kAutoYes, kAutoNo}) c.SetEnabled(id, sta);
}

namespace {

const PrinterVar* VarOf(std::string_view name) { return WifiVariable(name); }

}  // namespace

void WifiPage::OnCreate(PageContext& ctx) {
  readOnce_ = false;
  mode_ = 0;
  dhcpChoice_ = 0;
  for (int id : {kMacBox, kLocalIp, kApMask, kApGateway, kStaIp, kStaMask, kStaGateway})
    ctx.controls.SetEnabled(id, false);
}

ControlResult WifiPage::OnControl(int id, ControlEvent event, PageContext& ctx) {
  if (event != ControlEvent::Clicked) return ControlResult::Unhandled();
  switch (id) {
    case kReadButton:
      return ControlResult::Ran(ReadWifiSettings(ctx));
    case kWriteButton:
      return ControlResult::Ran(WriteWifiSettings(ctx));
    case kModeSta:
      OnModeClicked(id, 1, ctx);
      return ControlResult::Handled();
    case kModeAp:
      OnModeClicked(id, 2, ctx);
      return ControlResult::Handled();
    case kModeBoth:
      OnModeClicked(id, 3, ctx);
      return ControlResult::Handled();
    case kDhcpEnable:
      OnDhcpClicked(id, 1, ctx);
      return ControlResult::Handled();
    case kDhcpDisable:
      OnDhcpClicked(id, 0, ctx);
      return ControlResult::Handled();
    case kAutoYes:
    case kAutoNo:
      // No action of their own: WRITE reads them.
      SelectRadio(ctx.controls, id, id == kAutoYes ? kAutoNo : kAutoYes);
      return ControlResult::Handled();
    default:
      return ControlResult::Unhandled();
  }
}

// A click selects its button in every case (the window has done so already;
// headless callers rely on it); only a read page acts on it.
void WifiPage::OnModeClicked(int id, int mode, PageContext& ctx) {
  SelectRadioOf(ctx.controls, {kModeSta, kModeAp, kModeBoth}, id - kModeSta);
  if (!ReadFromThisPrinter(ctx)) {
    ctx.ui.ShowMessage(LoadString(kStrPleaseReadFirst, ctx.langId));
    return;
  }
  mode_ = mode;
  UpdateWifiControls(ctx.controls, mode_, dhcpChoice_);
}

void WifiPage::OnDhcpClicked(int id, int choice, PageContext& ctx) {
  SelectRadio(ctx.controls, id, id == kDhcpEnable ? kDhcpDisable : kDhcpEnable);
  if (!ReadFromThisPrinter(ctx)) {
    ctx.ui.ShowMessage(LoadString(kStrPleaseReadFirst, ctx.langId));
    return;
  }
  dhcpChoice_ = choice;
  UpdateWifiControls(ctx.controls, mode_, dhcpChoice_);
}

ActionResult WifiPage::ReadWifiSettings(PageContext& ctx) {
  if (!TextConversionAvailable(ctx.langId)) return RefuseWith(ctx, NoTextConversionMessage(ctx.langId));
  const std::uint32_t attachment = ctx.printer.attachment;
  OpenResult port = OpenPageLink(ctx);
  if (!port.ok()) return ShowPortOpenFailure(ctx, port);
  // The seven variables in the order they are read; each answer ends with a
  // NUL on a WLAN module.
  std::vector<StepQuestion> questions;
  for (const char* name : WifiVariables()) questions.push_back({VarOf(name), true});
  const StepReadResult read = ReadInStep(ctx, *port.link, questions);
  port.link.reset();
  if (read.ending == StepReadResult::Ending::Lost) return Lost(ctx);
  if (read.ending == StepReadResult::Ending::OutOfStep) return OutOfStepFailure(ctx);
  WifiChoice choice{std::nullopt, mode_, dhcpChoice_};
  ApplyWifiValues(ctx.controls, read.values, ctx.langId, choice, &readBack_);
  mode_ = choice.mode;
  dhcpChoice_ = choice.dhcpChoice;
  readOnce_ = true;
  readAttachment_ = attachment;
  readPort_ = ctx.link.portPath;
  return Succeeded();
}

ActionResult WifiPage::WriteWifiSettings(PageContext& ctx) {
  kept_.clear();
  OpenResult port;
  if (const std::optional<ActionResult> refused = OpenForWrite(ctx, ReadFromThisPrinter(ctx), port)) return *refused;
  auto refuse = [&](const QString& message) { return CloseAndRefuse(port, ctx, message); };
  auto lost = [&] { return CloseAndLose(port, ctx); };
  // Every line is built before the first goes out: a field that cannot
  // travel, or a list too long for its line, refuses the write with nothing
  // sent.
  const WritePlan plan = BuildWifiWrite(ctx.controls, FormForFlag(ctx.printer.namedFormFlag), ctx.langId, &readBack_);
  kept_ = plan.kept;
  if (plan.refusal) return refuse(RefusalMessageOnPage(ctx, DialogId(), *plan.refusal));
  if (plan.tooLong) return refuse(ValueTooLongMessage(ctx.langId));
  for (const std::string& line : plan.lines)
    if (!port.link->SendLine(line).ok()) return lost();
  // The write reports nothing when it worked, so a printer that went away
  // during the last lines must be told here.
  if (!port.link->ConfirmOutput().ok()) return lost();
  port.link.reset();
  if (!plan.kept.empty()) ctx.ui.ShowNotice(KeptValuesMessageOnPage(ctx, DialogId(), plan.kept));
  return Succeeded();
}

}  // namespace deveder
