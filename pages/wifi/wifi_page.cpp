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

namespace {

int ToInt(long v) { return static_cast<int>(std::clamp<long>(v, INT_MIN, INT_MAX)); }

// A WLAN answer as a C string: it ends at its terminating NUL.
std::string_view AnswerBytes(const char* buf, int count) {
  const void* nul = std::memchr(buf, '\0', static_cast<std::size_t>(count));
  return std::string_view(buf, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buf)
                                   : static_cast<std::size_t>(count));
}

int AnswerNumber(const char* buf, int count, int langId) {
  return ToInt(ParseDecimal(ReplyToText(buf, count, langId).toStdString()));
}

}  // namespace

// Puts the comma-separated pieces of a list answer into its five fields, the
// n-th piece into the n-th field. The walk ends after the piece with no comma
// behind it or after the fifth field. An empty piece either ends the walk
// (the access-point list) or leaves its field as it is and the walk goes on
// (the station list). Fields the walk does not reach keep their text.
void FillListFields(ControlModel& c, const int (&fields)[5], std::string_view answer, bool emptyEndsWalk,
                    int langId) {
  std::size_t pos = 0;
  for (int field : fields) {
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

const PrinterVar* VarOf(std::string_view name) {
  for (const PrinterVar* v : {&kVarMac, &kVarLip, &kVarMode, &kVarDhcp, &kVarAp, &kVarSta, &kVarApac})
    if (name == v->name) return v;
  return nullptr;
}

}  // namespace

const std::vector<const char*>& WifiVariables() {
  static const std::vector<const char*> names = {kVarMac.name, kVarLip.name, kVarMode.name, kVarDhcp.name,
                                                 kVarAp.name,  kVarSta.name, kVarApac.name};
  return names;
}

void ApplyWifiAnswer(ControlModel& c, std::string_view var, std::string_view answer, int lang, WifiChoice& choice,
                     ReadBack* readBack) {
  if (answer.data() == nullptr) answer = std::string_view("", 0);
  const int n = static_cast<int>(answer.size());
  // An integer answer; nullopt when none came, which changes no button.
  const std::optional<int> number =
      n == 0 ? std::nullopt : std::optional<int>(AnswerNumber(answer.data(), n, lang));
  auto remember = [&](const int (&fields)[5]) {
    const std::string_view list = AnswerBytes(answer.data(), n);
    if (!readBack) return;
    if (list.empty()) readBack->Forget(std::string(var));
    else readBack->Remember(std::string(var), std::string(list), c, {fields[0], fields[1], fields[2], fields[3], fields[4]});
  };
  if (var == kVarMac.name) {
    c.SetText(kMacBox, ReplyToText(answer.data(), n, lang));
  } else if (var == kVarLip.name) {
    c.SetText(kLocalIp, ReplyToText(answer.data(), n, lang));
  } else if (var == kVarMode.name) {
    choice.answeredMode = number;
    if (number && *number >= 1 && *number <= 3) SelectRadioOf(c, {kModeSta, kModeAp, kModeBoth}, *number - 1);
  } else if (var == kVarDhcp.name) {
    if (number == 0) SelectRadio(c, kDhcpDisable, kDhcpEnable);
    if (number == 1) SelectRadio(c, kDhcpEnable, kDhcpDisable);
    // The radio button checked of a group, as the value it stands for.
    const int checkedMode = c.Checked(kModeSta) ? 1 : c.Checked(kModeAp) ? 2 : c.Checked(kModeBoth) ? 3 : choice.mode;
    const int checkedDhcp = c.Checked(kDhcpEnable) ? 1 : c.Checked(kDhcpDisable) ? 0 : choice.dhcpChoice;
    choice.mode = choice.answeredMode ? *choice.answeredMode : checkedMode;
    choice.dhcpChoice = number ? *number : checkedDhcp;
    UpdateWifiControls(c, choice.mode, choice.dhcpChoice);
  } else if (var == kVarAp.name) {
    FillListFields(c, kApFields, AnswerBytes(answer.data(), n), true, lang);
    remember(kApFields);
  } else if (var == kVarSta.name) {
    FillListFields(c, kStaFields, AnswerBytes(answer.data(), n), false, lang);
    remember(kStaFields);
  } else if (var == kVarApac.name) {
    if (number == 0) SelectRadio(c, kAutoNo, kAutoYes);
    if (number == 1) SelectRadio(c, kAutoYes, kAutoNo);
  }
}

void ApplyWifiValues(ControlModel& c, const PageValues& values, int lang, WifiChoice& choice, ReadBack* readBack) {
  choice.answeredMode.reset();
  for (const char* name : WifiVariables()) {
    auto it = values.find(name);
    ApplyWifiAnswer(c, name, it == values.end() ? std::string_view() : std::string_view(it->second), lang, choice,
                    readBack);
  }
}


EditResult EditWifiValue(ControlModel& c, std::string_view var, const QString& value) {
  auto radio = [&](std::initializer_list<int> ids, const QStringList& names) -> EditResult {
    const qsizetype at = names.indexOf(value);
    if (at < 0) return {"fits no choice", names};
    SelectRadioOf(c, ids, static_cast<int>(at));
    return {};
  };
  auto list = [&](const int (&fields)[5]) -> EditResult {
    const QStringList pieces = value.isEmpty() ? QStringList() : value.split(QLatin1Char(','));
    if (pieces.size() > 5) return {"has more than five comma-separated fields", {}};
    for (int i = 0; i < 5; ++i) c.SetText(fields[i], i < pieces.size() ? pieces[i] : QString());
    return {};
  };
  if (var == kVarMac.name || var == kVarLip.name) return {"is shown only; the printer's value cannot be written", {}};
  if (var == kVarMode.name)
    return radio({kModeSta, kModeAp, kModeBoth}, {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
  if (var == kVarDhcp.name) return radio({kDhcpDisable, kDhcpEnable}, {QStringLiteral("0"), QStringLiteral("1")});
  if (var == kVarApac.name) return radio({kAutoNo, kAutoYes}, {QStringLiteral("0"), QStringLiteral("1")});
  if (var == kVarAp.name) return list(kApFields);
  if (var == kVarSta.name) return list(kStaFields);
  return {"is not a WiFi variable", {}};
}

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

namespace {

// A list value ("wlan.ap", "wlan.sta"): as read while its five fields are
// unchanged, else the five field texts joined by commas; no line when all
// five are empty.
void ListValue(WriteBuilder& b, const PrinterVar& var, const ControlModel& c, const int (&fields)[5]) {
  bool kept = false;
  if (const std::optional<std::string> asRead = b.AsRead(var.name, &kept)) return b.TextLine(var, *asRead);
  if (kept) return;
  std::vector<std::string> items;
  bool allEmpty = true;
  for (int field : fields) {
    std::optional<std::string> item = b.FromText(var.name, c.Text(field));
    if (!item) return;
    allEmpty = allEmpty && item->empty();
    items.push_back(std::move(*item));
  }
  if (allEmpty) return;
  std::string value;
  for (std::size_t i = 0; i < items.size(); ++i) value += (i ? "," : "") + items[i];
  b.TextLine(var, value);
}

}  // namespace

WritePlan BuildWifiWrite(const ControlModel& c, LineForm form, int langId, const ReadBack* readBack) {
  WritePlan plan;
  WriteBuilder b(plan, c, form, langId, readBack);
  const int mode = c.Checked(kModeSta) ? 1 : c.Checked(kModeAp) ? 2 : c.Checked(kModeBoth) ? 3 : 0;
  if (mode != 0) b.Line(SetvarIntLine(kVarMode, form, mode));
  if (c.Checked(kDhcpEnable) || c.Checked(kDhcpDisable))
    b.Line(SetvarIntLine(kVarDhcp, form, c.Checked(kDhcpDisable) ? 0 : 1));
  ListValue(b, kVarAp, c, kApFields);
  ListValue(b, kVarSta, c, kStaFields);
  if (c.Checked(kAutoYes) || c.Checked(kAutoNo)) b.Line(SetvarIntLine(kVarApac, form, c.Checked(kAutoNo) ? 0 : 1));
  b.Finish();
  return plan;
}

ActionResult WifiPage::WriteWifiSettings(PageContext& ctx) {
  kept_.clear();
  if (!TextConversionAvailable(ctx.langId)) return RefuseWith(ctx, NoTextConversionMessage(ctx.langId));
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
  if (!ReadFromThisPrinter(ctx)) {
    port.link.reset();
    return Refuse(ctx, kStrPleaseReadFirst);
  }
  // Every line is built before the first goes out: a field that cannot
  // travel, or a list too long for its line, refuses the write with nothing
  // sent.
  const WritePlan plan = BuildWifiWrite(ctx.controls, FormForFlag(ctx.printer.namedFormFlag), ctx.langId, &readBack_);
  kept_ = plan.kept;
  if (plan.refusal) return refuse(ValueRefusalMessage(*plan.refusal, ctx.langId));
  if (plan.tooLong) return refuse(ValueTooLongMessage(ctx.langId));
  for (const std::string& line : plan.lines)
    if (!port.link->SendLine(line).ok()) return lost();
  // The write reports nothing when it worked, so a printer that went away
  // during the last lines must be told here.
  if (!port.link->ConfirmOutput().ok()) return lost();
  port.link.reset();
  if (!plan.kept.empty()) ctx.ui.ShowNotice(KeptValuesMessage(plan.kept, ctx.langId));
  return Succeeded();
}

}  // namespace deveder
