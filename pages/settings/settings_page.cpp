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

namespace {

// A reply read as a number, narrowed to a list index; a value beyond int
// can name no item and clears the selection.
int IndexOf(long value) { return value < INT_MIN || value > INT_MAX ? -1 : static_cast<int>(value); }

long NumberOf(const QString& text) { return ParseDecimal(text.toStdString()); }

// Selects the item that begins with the reply. An empty reply says nothing
// about the setting and leaves the selection as it was: every item would
// match it.
void SelectByReply(ControlModel& c, int id, const QString& text) {
  if (!text.isEmpty()) SelectItemPrefix(c, id, text);
}

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
  const std::uint32_t attachment = ctx.printer.attachment;
  OpenResult port = OpenPageLink(ctx);
  if (!port.ok()) return ShowPortOpenFailure(ctx, port);

  // The heating parameters have controls on the Chinese layout only, the
  // application on Chinese systems only; a layout without them does not
  // ask for them.
  std::vector<StepQuestion> questions;
  for (const PrinterVar* var : {&setvar::kMfg, &setvar::kSn, &setvar::kHeatSection, &setvar::kHeatTime, &setvar::kUsbd,
                                &setvar::kDensity, &setvar::kSpeed, &setvar::kMedia, &setvar::kEncode,
                                &setvar::kCodePage, &setvar::kSliceOffset, &setvar::kXOffset, &setvar::kYOffset,
                                &setvar::kLineHeight, &setvar::kPpl, &setvar::kApp, &setvar::kAppStr,
                                &setvar::kWarnFormat, &setvar::kCoverAction, &setvar::kMenuLang, &setvar::kMsw}) {
    if (var == &setvar::kHeatSection && !c.Has(kSetHeatSections)) continue;
    if (var == &setvar::kHeatTime && !c.Has(kSetHeatTime)) continue;
    if ((var == &setvar::kApp || var == &setvar::kAppStr) && !chinese) continue;
    questions.push_back({var, false});
  }
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

const std::vector<const char*>& SettingsVariables() {
  static const std::vector<const char*> names = {
      setvar::kModel.name,      setvar::kMfg.name,        setvar::kSn.name,         setvar::kHeatSection.name,
      setvar::kHeatTime.name,   setvar::kUsbd.name,       setvar::kDensity.name,    setvar::kSpeed.name,
      setvar::kMedia.name,      setvar::kEncode.name,     setvar::kCodePage.name,   setvar::kSliceOffset.name,
      setvar::kXOffset.name,    setvar::kYOffset.name,    setvar::kLineHeight.name, setvar::kPpl.name,
      setvar::kApp.name,        setvar::kAppStr.name,     setvar::kWarnFormat.name, setvar::kCoverAction.name,
      setvar::kMenuLang.name,   setvar::kMsw.name};
  return names;
}

bool ApplySettingsAnswer(ControlModel& c, std::string_view var, std::string_view answer, int lang,
                         SettingsReadBack* readBack) {
  if (answer.data() == nullptr) answer = std::string_view("", 0);
  const QString text = ReplyToText(answer.data(), static_cast<int>(answer.size()), lang);
  const bool empty = answer.empty();
  // A text value the printer gave; what the Write sends back while the
  // controls stay as they are.
  auto remember = [&](std::initializer_list<int> ids) {
    if (!readBack) return;
    if (empty) readBack->values.Forget(std::string(var));
    else readBack->values.Remember(std::string(var), std::string(answer), c, ids);
  };
  auto is = [&](const PrinterVar& v) { return var == v.name; };
  if (is(setvar::kModel)) {
    if (empty) return true;
    c.SetText(kSetModel, FromPrinterBytes(answer, lang));
    remember({kSetModel});
  } else if (is(setvar::kMfg) || is(setvar::kSn)) {
    const int id = is(setvar::kMfg) ? kSetMfg : kSetSerial;
    if (!empty) c.SetText(id, text);
    remember({id});
  } else if (is(setvar::kHeatSection)) {
    if (c.Has(kSetHeatSections)) SelectByReply(c, kSetHeatSections, text);
  } else if (is(setvar::kHeatTime)) {
    if (!c.Has(kSetHeatTime)) return true;
    c.SetText(kSetHeatTime, text);
    remember({kSetHeatTime});
  } else if (is(setvar::kUsbd)) {
    if (!empty) {
      const qsizetype semi = text.indexOf(QLatin1Char(';'));
      c.SetText(kSetUsbMfg, semi < 0 ? text : text.left(semi));
      c.SetText(kSetUsbModel, semi < 0 ? QString() : text.mid(semi + 1));
    }
    remember({kSetUsbMfg, kSetUsbModel});
  } else if (is(setvar::kDensity) || is(setvar::kSpeed) || is(setvar::kEncode) || is(setvar::kPpl)) {
    SelectByReply(c, is(setvar::kDensity) ? kSetDensity : is(setvar::kSpeed) ? kSetSpeed
                     : is(setvar::kEncode) ? kSetEncode : kSetPpl, text);
  } else if (is(setvar::kMedia)) {
    // Compared as a C string: the answer ends at a NUL.
    c.SetCurrentIndex(kSetMedia, MediaIndexOfReply(std::string_view(std::string(answer).c_str())));
  } else if (is(setvar::kCodePage)) {
    c.SetCurrentIndex(kSetCodePage, CodePageRowOfNumber(NumberOf(text)));
  } else if (is(setvar::kSliceOffset) || is(setvar::kXOffset) || is(setvar::kYOffset) || is(setvar::kLineHeight)) {
    const int id = is(setvar::kSliceOffset) ? kSetSliceOffset : is(setvar::kXOffset) ? kSetXOffset
                   : is(setvar::kYOffset) ? kSetYOffset : kSetLineHeight;
    c.SetText(id, text);
    remember({id});
  } else if (is(setvar::kApp)) {
    c.SetCurrentIndex(kSetApp, IndexOf(NumberOf(text)));
  } else if (is(setvar::kAppStr)) {
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    const QString en = slash < 0 ? text : text.left(slash);
    const QString cn = slash < 0 ? QString() : text.mid(slash + 1);
    if (!en.isEmpty()) c.SetText(kSetAppNameEn, en);
    if (!cn.isEmpty()) c.SetText(kSetAppNameCn, cn);
    remember({kSetAppNameEn, kSetAppNameCn});
  } else if (is(setvar::kWarnFormat)) {
    if (NumberOf(text) != 0) SelectRadio(c, kSetWarnTriple, kSetWarnLoop);
    else SelectRadio(c, kSetWarnLoop, kSetWarnTriple);
  } else if (is(setvar::kCoverAction)) {
    if (NumberOf(text) != 0) SelectRadio(c, kSetCoverNoAction, kSetCoverLocate);
    else SelectRadio(c, kSetCoverLocate, kSetCoverNoAction);
  } else if (is(setvar::kMenuLang)) {
    c.SetCurrentIndex(kSetMenuLang, NumberOf(text) == 1 ? 1 : 0);
  } else if (is(setvar::kMsw)) {
    // Only a 16-byte reply is a digit string; one that holds anything but
    // hexadecimal digits is taken as a broken line.
    if (answer.size() == static_cast<std::size_t>(kMswDigits)) {
      if (!ApplyMswDigits(c, answer)) return false;
      if (readBack) readBack->msw = std::string(answer);
    }
  }
  return true;
}

bool ApplySettingsValues(ControlModel& c, const PageValues& values, int lang, std::uint8_t languageMask,
                         std::string_view modelName, SettingsReadBack* readBack) {
  if (readBack) {
    readBack->values.Clear();
    readBack->msw.clear();
  }
  for (const char* var : SettingsVariables()) {
    const std::string_view name(var);
    if (name == setvar::kApp.name) {
      if (lang != kLangChinese) {
        c.SetCurrentIndex(kSetApp, 0);
        continue;
      }
      FillAppList(c, languageMask, modelName);
    }
    if (name == setvar::kAppStr.name && lang != kLangChinese) continue;
    auto it = values.find(var);
    if (!ApplySettingsAnswer(c, name, it == values.end() ? std::string_view() : std::string_view(it->second), lang,
                             readBack))
      return false;
  }
  return true;
}

namespace {

// Selects the list item whose text is `value`, as a user picks it.
EditResult PickItem(ControlModel& c, int id, const QString& value) {
  const int index = FindItemExact(c, id, value);
  if (index < 0) return {"fits no item", Items(c, id)};
  c.SetCurrentIndex(id, index);
  return {};
}

// Selects the item at the index `value` names.
EditResult PickIndex(ControlModel& c, int id, const QString& value, const QStringList& names) {
  for (int i = 0; i < names.size(); ++i)
    if (names[i] == value) {
      c.SetCurrentIndex(id, i);
      return {};
    }
  return {"fits no item", names};
}

EditResult PickRadio(ControlModel& c, int off0, int on1, const QString& value) {
  if (value == QLatin1String("0")) SelectRadio(c, off0, on1);
  else if (value == QLatin1String("1")) SelectRadio(c, on1, off0);
  else return {"fits no choice", {QStringLiteral("0"), QStringLiteral("1")}};
  return {};
}

QStringList Numbers(int count) {
  QStringList out;
  for (int i = 0; i < count; ++i) out << QString::number(i);
  return out;
}

}  // namespace

EditResult EditSettingsValue(ControlModel& c, std::string_view var, const QString& value, int lang) {
  auto is = [&](const PrinterVar& v) { return var == v.name; };
  auto edit = [&](int id) -> EditResult {
    c.SetText(id, value);
    return {};
  };
  // A value that spans two edits, split where the Read splits it.
  auto pair = [&](int first, int second, QChar at) -> EditResult {
    const qsizetype cut = value.indexOf(at);
    c.SetText(first, cut < 0 ? value : value.left(cut));
    c.SetText(second, cut < 0 ? QString() : value.mid(cut + 1));
    return {};
  };
  if (is(setvar::kModel)) return edit(kSetModel);
  if (is(setvar::kMfg)) return edit(kSetMfg);
  if (is(setvar::kSn)) return edit(kSetSerial);
  if (is(setvar::kUsbd)) return pair(kSetUsbMfg, kSetUsbModel, QLatin1Char(';'));
  if (is(setvar::kHeatSection) || is(setvar::kHeatTime)) {
    const int id = is(setvar::kHeatSection) ? kSetHeatSections : kSetHeatTime;
    if (!c.Has(id)) return {"has no control on this layout (Chinese systems only)", {}};
    return is(setvar::kHeatTime) ? edit(id) : PickItem(c, id, value);
  }
  if (is(setvar::kDensity)) return PickItem(c, kSetDensity, value);
  if (is(setvar::kSpeed)) return PickItem(c, kSetSpeed, value);
  if (is(setvar::kEncode)) return PickItem(c, kSetEncode, value);
  if (is(setvar::kPpl)) return PickItem(c, kSetPpl, value);
  if (is(setvar::kMedia)) {
    QStringList words;
    for (int i = 0; i < c.ItemCount(kSetMedia); ++i) words << QString::fromLatin1(MediaWordOfIndex(i));
    return PickIndex(c, kSetMedia, value, words);
  }
  if (is(setvar::kCodePage)) {
    QStringList numbers;
    for (int i = 0; i < c.ItemCount(kSetCodePage); ++i) numbers << QString::number(CodePageNumberOfRow(i));
    return PickIndex(c, kSetCodePage, value, numbers);
  }
  if (is(setvar::kSliceOffset)) return edit(kSetSliceOffset);
  if (is(setvar::kXOffset)) return edit(kSetXOffset);
  if (is(setvar::kYOffset)) return edit(kSetYOffset);
  if (is(setvar::kLineHeight)) return edit(kSetLineHeight);
  if (is(setvar::kApp) || is(setvar::kAppStr)) {
    if (lang != kLangChinese) return {"is written on Chinese systems only (--lang zh)", {}};
    if (is(setvar::kAppStr)) return pair(kSetAppNameEn, kSetAppNameCn, QLatin1Char('/'));
    return PickIndex(c, kSetApp, value, Numbers(c.ItemCount(kSetApp)));
  }
  if (is(setvar::kWarnFormat)) return PickRadio(c, kSetWarnLoop, kSetWarnTriple, value);
  if (is(setvar::kCoverAction)) return PickRadio(c, kSetCoverLocate, kSetCoverNoAction, value);
  if (is(setvar::kMenuLang)) return PickIndex(c, kSetMenuLang, value, Numbers(c.ItemCount(kSetMenuLang)));
  if (is(setvar::kMsw)) {
    const std::string digits = value.toStdString();
    if (digits.size() != static_cast<std::size_t>(kMswDigits) ||
        digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
      return {"is not 16 hexadecimal digits", {}};
    // The digits the page does not show go out as the printer gave them.
    if (!ApplyMswDigits(c, digits)) return {"is not 16 hexadecimal digits", {}};
    return {};
  }
  return {"is not a settings variable", {}};
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
  if (!ReadFromThisPrinter(ctx)) {
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
