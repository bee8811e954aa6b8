#include "pages/bluetooth/bluetooth_page.h"

#include <QFile>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>

#include "link/link.h"
#include "pages/core/control_model.h"
#include "pages/core/page_port.h"
#include "protocol/printer_info.h"
#include "protocol/reply_channel.h"
#include "protocol/text_codec.h"
#include "resources/strings.h"
#include "pages/core/port_cause.h"
#include "pages/core/step_read.h"

namespace deveder {

using namespace bluetooth;

namespace {

// The five variables in the order both actions handle them, with their
// control and the message Update shows when the control gives no value.
struct BluetoothField {
  PrinterVar var;
  int control;
  bool list;
  const char* missing;  // UTF-8; the same Chinese text in both languages
};

constexpr BluetoothField kFields[] = {
    {kVarAddress, kAddressEdit, false, "蓝牙MAC未设置"},
    {kVarName, kNameEdit, false, "蓝牙名称未设置"},
    {kVarPin, kPinEdit, false, "蓝牙Pin未设置"},
    {kVarBaud, kBaudList, true, "蓝牙波特率未设置"},
    {kVarCod, kCodList, true, "蓝牙COD未设置"},
};

// The text Update sends for a field: the edit's text (the MAC without its
// colons) or the selected entry's text.
QString FieldText(const ControlModel& c, const BluetoothField& f) {
  QString text = f.list ? CurrentItemText(c, f.control) : c.Text(f.control);
  if (f.control == kAddressEdit) text.remove(QLatin1Char(':'));
  return text;
}

}  // namespace

void ApplyBluetoothReply(ControlModel& c, int field, const char* reply, int count, int langId) {
  if (field < 0 || field >= static_cast<int>(std::size(kFields))) return;
  const BluetoothField& f = kFields[field];
  const QString text = ReplyToText(reply, count, langId);
  if (!f.list) {
    c.SetText(f.control, text);
  } else if (!text.isEmpty()) {
    // Every entry begins with an empty text: an empty reply (or none)
    // leaves the selection as it was rather than picking an entry.
    SelectItemPrefix(c, f.control, text);
  }
}

namespace {

// One answer into its field, and what the Read got recorded: an edit's
// text as the printer's bytes, a list's entry as shown only when its text
// is exactly the answer. (The address goes out as twelve digits whatever
// the printer showed, so an answered one is written from its edit.)
void ApplyField(ControlModel& c, const BluetoothField& f, std::string_view answer, int langId, ReadBack* readBack) {
  if (answer.data() == nullptr) answer = std::string_view("", 0);
  ApplyBluetoothReply(c, static_cast<int>(&f - kFields), answer.data(), static_cast<int>(answer.size()), langId);
  if (!readBack) return;
  ReadBack::Got got = answer.empty() ? ReadBack::Got::Unanswered : ReadBack::Got::Answered;
  if (f.list && !answer.empty()) {
    const LineValue shown = TextToLineValue(FieldText(c, f), langId);
    if (!shown.ok() || shown.bytes != answer) got = ReadBack::Got::NotShown;
  }
  readBack->Record(f.var.name, got, std::string(answer), c, {f.control});
}

}  // namespace

const std::vector<const char*>& BluetoothVariables() {
  static const std::vector<const char*> names = [] {
    std::vector<const char*> out;
    for (const BluetoothField& f : kFields) out.push_back(f.var.name);
    return out;
  }();
  return names;
}

void ApplyBluetoothValues(ControlModel& c, const PageValues& values, int langId, ReadBack* readBack) {
  if (readBack) readBack->Clear();
  for (const BluetoothField& f : kFields) {
    auto it = values.find(f.var.name);
    ApplyField(c, f, it == values.end() ? std::string_view() : std::string_view(it->second), langId, readBack);
  }
}

EditResult EditBluetoothValue(ControlModel& c, std::string_view var, const QString& value) {
  for (const BluetoothField& f : kFields) {
    if (var != f.var.name) continue;
    if (value.isEmpty()) return {"cannot be empty: Update sends no field without a value", {}};
    if (!f.list) {
      c.SetText(f.control, value);
      return {};
    }
    const int index = FindItemExact(c, f.control, value);
    if (index < 0) {
      // The lists begin with an empty entry, which no value names.
      QStringList fits = Items(c, f.control);
      fits.removeAll(QString());
      return {"fits no item", fits};
    }
    c.SetCurrentIndex(f.control, index);
    return {};
  }
  return {"is not a Bluetooth variable", {}};
}

void BluetoothPage::OnCreate(PageContext& ctx) {
  readOnce_ = false;
  // The lists start with no entry selected.
  ctx.controls.SetCurrentIndex(kBaudList, -1);
  ctx.controls.SetCurrentIndex(kCodList, -1);
}

ControlResult BluetoothPage::OnControl(int id, ControlEvent event, PageContext& ctx) {
  if (event != ControlEvent::Clicked) return ControlResult::Unhandled();
  if (id == kReadButton) return ControlResult::Ran(ReadBluetoothSettings(ctx));
  if (id == kUpdateButton) return ControlResult::Ran(WriteBluetoothSettings(ctx));
  return ControlResult::Unhandled();
}

ActionResult BluetoothPage::ReadBluetoothSettings(PageContext& ctx) {
  if (!TextConversionAvailable(ctx.langId)) return RefuseWith(ctx, NoTextConversionMessage(ctx.langId));
  const std::uint32_t attachment = ctx.printer.attachment;
  OpenResult port = OpenPageLink(ctx);
  if (!port.ok()) return ShowPortOpenFailure(ctx, port);
  std::vector<StepQuestion> questions;
  for (const BluetoothField& f : kFields) questions.push_back({&f.var, false});
  const StepReadResult read = ReadInStep(ctx, *port.link, questions);
  // The port is closed before the user is told, and before the success box,
  // which stays up for a while.
  port.link.reset();
  if (read.ending == StepReadResult::Ending::Lost) return Lost(ctx);
  if (read.ending == StepReadResult::Ending::OutOfStep) return OutOfStepFailure(ctx);
  ApplyBluetoothValues(ctx.controls, read.values, ctx.langId, &readBack_);
  readOnce_ = true;
  readAttachment_ = attachment;
  readPort_ = ctx.link.portPath;
  ctx.ui.ShowTimedMessage(LoadString(kStrReadOk, ctx.langId), LoadString(kStrBtSetup, ctx.langId));
  return Succeeded(kStrReadOk, LoadString(kStrReadOk, ctx.langId));
}

BluetoothWritePlan BuildBluetoothWrite(const ControlModel& c, LineForm form, int langId, const ReadBack* readBack) {
  BluetoothWritePlan plan;
  WriteBuilder b(plan, c, form, langId, readBack);
  // Every field is decided, also after one that gives no value: a value
  // that cannot travel refuses the whole Update.
  for (const BluetoothField& f : kFields) {
    bool kept = false;
    std::optional<std::string> value = b.AsRead(f.var, &kept, f.control);
    if (kept) continue;
    // The address goes out as twelve digits whatever the printer showed, so
    // an unchanged one that a line can carry is still written from its edit.
    if (!value || f.control == kAddressEdit) value = b.FromText(f.var.name, FieldText(c, f), f.control);
    if (!value || plan.missing) continue;
    if (value->empty()) plan.missing = f.missing;
    else b.TextLine(f.var, *value);
  }
  b.Finish();
  return plan;
}

ActionResult BluetoothPage::WriteBluetoothSettings(PageContext& ctx) {
  kept_.clear();
  OpenResult port;
  if (const std::optional<ActionResult> refused = OpenForWrite(ctx, ReadFromThisPrinter(ctx), port)) return *refused;
  auto stop = [&](const QString& message) { return CloseAndRefuse(port, ctx, message); };
  auto lost = [&] { return CloseAndLose(port, ctx); };
  // Every line is built before the first goes out: a field that cannot
  // travel, or is too long for its line, refuses the Update with nothing
  // sent. A field without a value ends it after the lines before it.
  const BluetoothWritePlan plan =
      BuildBluetoothWrite(ctx.controls, FormForFlag(ctx.printer.namedFormFlag), ctx.langId, &readBack_);
  kept_ = plan.kept;
  if (plan.refusal) return stop(RefusalMessageOnPage(ctx, DialogId(), *plan.refusal));
  if (plan.tooLong) return stop(ValueTooLongMessage(ctx.langId));
  // Each line is one bounded write; no window messages are pumped and no
  // pause follows.
  for (const std::string& line : plan.lines)
    if (!port.link->Write(line.data(), static_cast<int>(line.size())).ok()) return lost();
  if (plan.missing) return stop(QString::fromUtf8(plan.missing));
  // "Write OK" only once the lines have left and the printer is still there.
  if (!port.link->ConfirmOutput().ok()) return lost();
  port.link.reset();
  if (!plan.kept.empty()) ctx.ui.ShowNotice(KeptValuesMessageOnPage(ctx, DialogId(), plan.kept));
  ctx.ui.ShowTimedMessage(LoadString(kStrWriteOk, ctx.langId), LoadString(kStrBtSetup, ctx.langId));
  return Succeeded(kStrWriteOk, LoadString(kStrWriteOk, ctx.langId));
}

}  // namespace deveder
