#include "pages/settings/settings_page.h"

#include <climits>
#include <cstring>
#include <string_view>

#include "link/port.h"
#include "pages/core/page_port.h"
#include "protocol/printer_info.h"
#include "protocol/reply_channel.h"
#include "protocol/text_codec.h"
#include "resources/strings.h"
#include "pages/core/port_cause.h"

namespace deveder {

namespace {

// A reply read as a number, narrowed to a list index; a value beyond int
// can name no item and clears the selection.
int IndexOf(long value) { return value < INT_MIN || value > INT_MAX ? -1 : static_cast<int>(value); }

long NumberOf(const QString& text) { return ParseDecimal(text.toStdString()); }

// One getvar exchange of a Read over the action's reply channel.
class Exchange {
 public:
  Exchange(ReplyChannel& channel, LineForm form, int langId) : channel_(channel), form_(form), langId_(langId) {}

  // False when the line could not be sent, the printer went away or stopped
  // answering (silence is an empty reply, not a loss).
  bool Ask(const PrinterVar& var) {
    if (channel_.Ask(GetvarLine(var, form_)) == ReplyChannel::Outcome::Lost) return false;
    text_ = ReplyToText(channel_.data(), channel_.count(), langId_);
    return true;
  }

  bool empty() const { return channel_.count() == 0; }
  std::string_view bytes() const { return channel_.bytes(); }
  // The reply up to a NUL, as a C string compares it.
  std::string_view cstring() const { return std::string_view(channel_.data()); }
  const QString& text() const { return text_; }

 private:
  ReplyChannel& channel_;
  LineForm form_;
  int langId_;
  QString text_;
};

// Selects the item that begins with the reply. An empty reply says nothing
// about the setting and leaves the selection as it was: every item would
// match it.
void SelectByReply(ControlModel& c, int id, const Exchange& x) {
  if (!x.text().isEmpty()) SelectItemPrefix(c, id, x.text());
}

}  // namespace

void SettingsPage::OnCreate(PageContext& ctx) {
  readOnce_ = false;
  SetItems(ctx.controls, kSetCodePage, CodePageCaptions());
  ctx.controls.ClearItems(kSetApp);
  ctx.controls.AddItem(kSetApp,
                       QString::fromUtf8(ctx.langId == kLangChinese ? kAppStandardMode : kAppCommon));
}

bool SettingsPage::OnControl(int id, ControlEvent event, PageContext& ctx) {
  if (event != ControlEvent::Clicked) return false;
  if (id == kSetReadButton) {
    OnReadSettings(ctx);
    return true;
  }
  if (id == kSetWriteButton) {
    OnWriteSettings(ctx);
    return true;
  }
  return false;
}

bool SettingsPage::OnReadSettings(PageContext& ctx) {
  ControlModel& c = ctx.controls;
  const int lang = ctx.langId;
  const bool chinese = lang == kLangChinese;

  if (!TextConversionAvailable(lang)) {
    ctx.ui.ShowMessage(NoTextConversionMessage(lang));
    return false;
  }
  ScopedPort port(OpenPagePort(ctx));
  if (!port.valid()) {
    ShowPortOpenFailure(ctx);
    return false;
  }
  // The port is closed before the user is told.
  auto lost = [&] {
    port.Close();
    ctx.ui.ShowMessage(kMsgConnectionLost);
    return false;
  };

  ReplyChannel channel(port.get());
  if (channel.Drain() == ReplyChannel::Outcome::Lost) return lost();
  LineForm form = LineForm::Named;
  if (!ctx.printer.named()) {
    if (channel.Probe(ctx.printer) == ReplyChannel::Outcome::Lost || channel.Silent()) return lost();
    form = FormForFlag(ctx.printer.namedFormFlag);
  }
  Exchange x(channel, form, lang);
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
  if (!fullName.empty()) {
    c.SetText(kSetModel, FromPrinterBytes(fullName, lang));
    readBack_.values.Remember(setvar::kModel.name, fullName, c, {kSetModel});
  }
  // A text value the printer gave; what the Write sends back while the
  // controls stay as they are.
  auto remember = [&](const PrinterVar& var, std::initializer_list<int> ids) {
    if (x.empty()) readBack_.values.Forget(var.name);
    else readBack_.values.Remember(var.name, std::string(x.bytes()), c, ids);
  };

  if (!x.empty()) c.SetText(kSetMfg, x.text());
  remember(setvar::kMfg, {kSetMfg});
  if (!x.Ask(setvar::kSn)) return lost();
  if (!x.empty()) c.SetText(kSetSerial, x.text());
  remember(setvar::kSn, {kSetSerial});

  // The heating parameters have controls on the Chinese layout only; a
  // layout without them does not ask for them.
  if (c.Has(kSetHeatSections)) {
    if (!x.Ask(setvar::kHeatSection)) return lost();
    SelectByReply(c, kSetHeatSections, x);
  }
  if (c.Has(kSetHeatTime)) {
    if (!x.Ask(setvar::kHeatTime)) return lost();
    c.SetText(kSetHeatTime, x.text());
    remember(setvar::kHeatTime, {kSetHeatTime});
  }

  if (!x.Ask(setvar::kUsbd)) return lost();
  if (!x.empty()) {
    const qsizetype semi = x.text().indexOf(QLatin1Char(';'));
    c.SetText(kSetUsbMfg, semi < 0 ? x.text() : x.text().left(semi));
    c.SetText(kSetUsbModel, semi < 0 ? QString() : x.text().mid(semi + 1));
  }
  remember(setvar::kUsbd, {kSetUsbMfg, kSetUsbModel});

  if (!x.Ask(setvar::kDensity)) return lost();
  SelectByReply(c, kSetDensity, x);
  if (!x.Ask(setvar::kSpeed)) return lost();
  SelectByReply(c, kSetSpeed, x);
  if (!x.Ask(setvar::kMedia)) return lost();
  c.SetCurrentIndex(kSetMedia, MediaIndexOfReply(x.cstring()));
  if (!x.Ask(setvar::kEncode)) return lost();
  SelectByReply(c, kSetEncode, x);
  if (!x.Ask(setvar::kCodePage)) return lost();
  c.SetCurrentIndex(kSetCodePage, CodePageRowOfNumber(NumberOf(x.text())));

  const std::pair<const PrinterVar&, int> edits[] = {
      {setvar::kSliceOffset, kSetSliceOffset},
      {setvar::kXOffset, kSetXOffset},
      {setvar::kYOffset, kSetYOffset},
      {setvar::kLineHeight, kSetLineHeight},
  };
  for (const auto& [var, id] : edits) {
    if (!x.Ask(var)) return lost();
    c.SetText(id, x.text());
    remember(var, {id});
  }

  if (!x.Ask(setvar::kPpl)) return lost();
  SelectByReply(c, kSetPpl, x);

  if (chinese) {
    // The application list depends on the printer's languages and model.
    FillAppList(c, languageMask, modelName);
    if (!x.Ask(setvar::kApp)) return lost();
    c.SetCurrentIndex(kSetApp, IndexOf(NumberOf(x.text())));
    if (!x.Ask(setvar::kAppStr)) return lost();
    const qsizetype slash = x.text().indexOf(QLatin1Char('/'));
    const QString en = slash < 0 ? x.text() : x.text().left(slash);
    const QString cn = slash < 0 ? QString() : x.text().mid(slash + 1);
    if (!en.isEmpty()) c.SetText(kSetAppNameEn, en);
    if (!cn.isEmpty()) c.SetText(kSetAppNameCn, cn);
    remember(setvar::kAppStr, {kSetAppNameEn, kSetAppNameCn});
  } else {
    c.SetCurrentIndex(kSetApp, 0);
  }

  if (!x.Ask(setvar::kWarnFormat)) return lost();
  if (NumberOf(x.text()) != 0) SelectRadio(c, kSetWarnTriple, kSetWarnLoop);
  else SelectRadio(c, kSetWarnLoop, kSetWarnTriple);
  if (!x.Ask(setvar::kCoverAction)) return lost();
  if (NumberOf(x.text()) != 0) SelectRadio(c, kSetCoverNoAction, kSetCoverLocate);
  else SelectRadio(c, kSetCoverLocate, kSetCoverNoAction);
  if (!x.Ask(setvar::kMenuLang)) return lost();
  c.SetCurrentIndex(kSetMenuLang, NumberOf(x.text()) == 1 ? 1 : 0);

  if (!x.Ask(setvar::kMsw)) return lost();
  // Only a 16-byte reply is a digit string; one that holds anything but
  // hexadecimal digits is taken as a broken line.
  if (x.bytes().size() == static_cast<std::size_t>(kMswDigits)) {
    if (!ApplyMswDigits(c, x.bytes())) return lost();
    readBack_.msw = std::string(x.bytes());
  }

  readOnce_ = true;
  port.Close();
  ctx.ui.ShowTimedMessage(LoadString(kStrReadOk, lang), LoadString(kStrSetup, lang));
  return true;
}

SettingsWritePlan BuildSettingsWrite(const ControlModel& c, LineForm form, int langId,
                                     const SettingsReadBack* readBack) {
  SettingsWritePlan plan;
  WriteBuilder b(plan, c, form, langId, readBack ? &readBack->values : nullptr);
  // A text value; an empty one is sent only where `always`.
  auto text = [&](const PrinterVar& var, const QString& value, bool always) { b.Text(var, value, always); };
  auto number = [](long v) { return QString::number(v); };
  const QString none;

  text(setvar::kModel, c.Text(kSetModel), false);
  text(setvar::kMfg, c.Text(kSetMfg), true);
  text(setvar::kSn, c.Text(kSetSerial), false);
  text(setvar::kUsbd, c.Text(kSetUsbMfg) + QLatin1Char(';') + c.Text(kSetUsbModel), true);
  text(setvar::kDensity, CurrentItemText(c, kSetDensity), false);
  // Empty on a layout without the heating group: nothing is sent.
  text(setvar::kHeatSection, c.Has(kSetHeatSections) ? CurrentItemText(c, kSetHeatSections) : none, false);
  text(setvar::kHeatTime, c.Has(kSetHeatTime) ? c.Text(kSetHeatTime) : none, false);
  text(setvar::kSpeed, CurrentItemText(c, kSetSpeed), false);
  if (c.CurrentIndex(kSetMedia) >= 0)
    text(setvar::kMedia, QString::fromLatin1(MediaWordOfIndex(c.CurrentIndex(kSetMedia))), true);
  text(setvar::kEncode, CurrentItemText(c, kSetEncode), false);
  if (c.CurrentIndex(kSetCodePage) >= 0)
    text(setvar::kCodePage, number(CodePageNumberOfRow(c.CurrentIndex(kSetCodePage))), true);
  text(setvar::kSliceOffset, c.Text(kSetSliceOffset), false);
  text(setvar::kXOffset, c.Text(kSetXOffset), false);
  text(setvar::kYOffset, c.Text(kSetYOffset), false);
  text(setvar::kLineHeight, c.Text(kSetLineHeight), false);
  text(setvar::kPpl, CurrentItemText(c, kSetPpl), false);
  if (langId == kLangChinese) {
    text(setvar::kApp, number(c.CurrentIndex(kSetApp)), true);
    text(setvar::kAppStr, c.Text(kSetAppNameEn) + QLatin1Char('/') + c.Text(kSetAppNameCn), true);
  }
  if (c.Checked(kSetWarnLoop) || c.Checked(kSetWarnTriple))
    b.Line(SetvarIntLine(setvar::kWarnFormat, form, c.Checked(kSetWarnLoop) ? 0 : 1));
  if (c.Checked(kSetCoverLocate) || c.Checked(kSetCoverNoAction))
    b.Line(SetvarIntLine(setvar::kCoverAction, form, c.Checked(kSetCoverLocate) ? 0 : 1));
  if (c.CurrentIndex(kSetMenuLang) >= 0) text(setvar::kMenuLang, number(c.CurrentIndex(kSetMenuLang)), true);

  std::optional<std::string> msw = BuildMswDigits(c);
  if (msw && readBack && readBack->msw.size() == static_cast<std::size_t>(kMswDigits))
    msw = MergeMswDigits(*msw, readBack->msw);
  if (msw) text(setvar::kMsw, QString::fromLatin1(msw->data(), static_cast<qsizetype>(msw->size())), true);
  plan.complete = msw.has_value();
  b.Finish();
  return plan;
}

bool SettingsPage::OnWriteSettings(PageContext& ctx) {
  const int lang = ctx.langId;
  kept_.clear();
  if (!TextConversionAvailable(lang)) {
    ctx.ui.ShowMessage(NoTextConversionMessage(lang));
    return false;
  }
  ScopedPort port(OpenPagePort(ctx));
  if (!port.valid()) {
    ShowPortOpenFailure(ctx);
    return false;
  }
  auto refuse = [&](const QString& message) {
    port.Close();
    ctx.ui.ShowMessage(message);
    return false;
  };
  if (!readOnce_) return refuse(LoadString(kStrPleaseReadFirst, lang));

  // Every line is built before the first goes out, so a value that cannot
  // travel, or is too long for its line, refuses the Write with nothing sent.
  const SettingsWritePlan plan =
      BuildSettingsWrite(ctx.controls, FormForFlag(ctx.printer.namedFormFlag), lang, &readBack_);
  kept_ = plan.kept;
  if (plan.refusal) return refuse(ValueRefusalMessage(*plan.refusal, lang));
  if (plan.tooLong) return refuse(ValueTooLongMessage(lang));
  for (const std::string& line : plan.lines)
    if (PortWrite(port.get(), line.data(), static_cast<int>(line.size())) != 0) return refuse(kMsgConnectionLost);
  // No reply is read, so only here can a printer that went away during the
  // last lines be noticed.
  if (!PortConfirmOutput(port.get())) return refuse(kMsgConnectionLost);
  port.Close();
  if (!plan.kept.empty()) ctx.ui.ShowNotice(KeptValuesMessage(plan.kept, lang));
  if (!plan.complete) return false;
  ctx.ui.ShowTimedMessage(LoadString(kStrWriteOk, lang), LoadString(kStrSetup, lang));
  return true;
}

}  // namespace deveder
