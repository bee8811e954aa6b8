#include "pages/backup/backup_pages.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "pages/core/memory_controls.h"
#include "pages/core/printable.h"
#include "pages/core/write_values.h"
#include "protocol/line_value.h"
#include "pages/bluetooth/bluetooth_page.h"
#include "pages/settings/settings_page.h"
#include "pages/settings/settings_tables.h"
#include "pages/wifi/wifi_page.h"
#include "protocol/text_codec.h"

namespace deveder {

namespace {

// A plan's lines, or why it sends none: a value no line can carry, or one
// too long for its line (a refused plan holds no line).
WriteLines Stopped(const WritePlan& plan, int lang) {
  WriteLines out;
  out.refused = plan.refused();
  if (plan.refusal) out.stop = ValueRefusalMessage(*plan.refusal, lang).toStdString();
  else if (plan.tooLong) out.stop = std::string("the value of ") + plan.tooLong + " is too long for one line";
  else out.lines = plan.lines;
  return out;
}

}  // namespace

const PageDef& SettingsDef() {
  static const PageDef def{
      "settings",
      "settings",
      kSetReadButton,
      kSetWriteButton,
      SettingsVariables(),
      {},
      [] { return std::unique_ptr<PageLogic>(std::make_unique<SettingsPage>()); },
      {"app"},
      [](const PageLogic& logic, const ControlModel& c, LineForm form, int lang) {
        const auto& page = static_cast<const SettingsPage&>(logic);
        SettingsWritePlan plan = BuildSettingsWrite(c, form, lang, &page.LastRead());
        WriteLines out = Stopped(plan, lang);
        if (!plan.refused() && !plan.complete)
          out.stop = "msw is not sent: a pair of the ESC/POS choices has no button selected";
        return out;
      },
      [](ControlModel& c, std::string_view var, const QString& value, int lang) {
        return EditSettingsValue(c, var, value, lang);
      },
      [](const PageLogic& logic) -> const ReadBack& { return static_cast<const SettingsPage&>(logic).LastRead().values; }};
  return def;
}

const PageDef& WifiDef() {
  static const PageDef def{
      "wifi",
      "wifi",
      wifi::kReadButton,
      wifi::kWriteButton,
      WifiVariables(),
      {{"wlan.mac", wifi::kMacBox}, {"wlan.lip", wifi::kLocalIp}},
      [] { return std::unique_ptr<PageLogic>(std::make_unique<WifiPage>()); },
      {},
      [](const PageLogic& logic, const ControlModel& c, LineForm form, int lang) {
        const auto& page = static_cast<const WifiPage&>(logic);
        return Stopped(BuildWifiWrite(c, form, lang, &page.LastRead()), lang);
      },
      [](ControlModel& c, std::string_view var, const QString& value, int) { return EditWifiValue(c, var, value); },
      [](const PageLogic& logic) -> const ReadBack& { return static_cast<const WifiPage&>(logic).LastRead(); }};
  return def;
}

const PageDef& BluetoothDef() {
  static const PageDef def{
      "bt",
      "bluetooth",
      bluetooth::kReadButton,
      bluetooth::kUpdateButton,
      BluetoothVariables(),
      {},
      [] { return std::unique_ptr<PageLogic>(std::make_unique<BluetoothPage>()); },
      {},
      [](const PageLogic& logic, const ControlModel& c, LineForm form, int lang) {
        const auto& page = static_cast<const BluetoothPage&>(logic);
        BluetoothWritePlan plan = BuildBluetoothWrite(c, form, lang, &page.LastRead());
        WriteLines out = Stopped(plan, lang);
        if (!plan.refused() && plan.missing) out.stop = plan.missing;
        return out;
      },
      [](ControlModel& c, std::string_view var, const QString& value, int) {
        return EditBluetoothValue(c, var, value);
      },
      [](const PageLogic& logic) -> const ReadBack& { return static_cast<const BluetoothPage&>(logic).LastRead(); }};
  return def;
}

const std::vector<const PageDef*>& AllPages() {
  static const std::vector<const PageDef*> pages = {&SettingsDef(), &WifiDef(), &BluetoothDef()};
  return pages;
}

bool IsShownOnly(const PageDef& def, const std::string& name) {
  return std::any_of(def.shownOnly.begin(), def.shownOnly.end(), [&](auto& p) { return name == p.first; });
}

bool IsVar(const PageDef& def, const std::string& name) {
  return std::any_of(def.vars.begin(), def.vars.end(), [&](const char* v) { return name == v; });
}

Values CurrentValues(const PageDef& def, const PageLogic& logic, const ControlModel& controls, int lang) {
  Values values;
  for (const char* v : def.vars) values[v] = std::nullopt;
  // The named form: every line names its variable.
  for (const std::string& line : def.plan(logic, controls, LineForm::Named, lang).lines) {
    std::string name, value;
    if (ParseNamedSetvar(line, name, value) && values.count(name)) values[name] = value;
  }
  for (auto [name, id] : def.shownOnly) values[name] = ToPrinterBytes(controls.Text(id), lang);
  return values;
}

Values AnsweredValues(const PageDef& def, const PageLogic& logic, const ControlModel& controls, int lang,
                      std::set<std::string>& left) {
  Values values = CurrentValues(def, logic, controls, lang);
  const ReadBack& got = def.readBack(logic);
  for (auto& [name, value] : values) {
    const std::optional<ReadBack::Untouched> came = got.WhatCame(name);
    if (!came) continue;
    if (came->got == ReadBack::Got::Unanswered) value = std::nullopt;
    else value = came->bytes;
    if (came->got != ReadBack::Got::Answered) left.insert(name);
  }
  return values;
}

std::string ApplyEdits(const PageDef& def, ControlModel& controls, const Edits& edits, int lang) {
  std::string errors;
  for (const auto& [name, value] : edits) {
    const EditResult r = def.edit(controls, name, value, lang);
    if (r.ok()) continue;
    errors += name + "=" + Shown(value, true) + ": " + def.command + " " + name + " " + r.error;
    if (!r.fits.isEmpty()) errors += "; values that fit: " + Shown(r.fits.join(QStringLiteral(", ")));
    errors += "\n";
  }
  return errors;
}

namespace {

// Messages of a page nobody sees: the scratch pages below.
class SilentUi : public Ui {
 public:
  void ShowMessage(const QString&) override {}
  void ShowTimedMessage(const QString&, const QString&) override {}
  std::optional<QString> ChooseOpenFile(const QString&, const QString&) override { return std::nullopt; }
};

// A page as the window creates it, over in-memory controls, that never
// reaches a port.
struct ScratchPage {
  ScratchPage(const PageDef& def, int lang) : logic(def.make()), controls(FindDialogTemplate(logic->DialogId(), lang)) {
    PageContext ctx{controls, ui, printer, LinkChoice{}, lang, nullptr};
    logic->OnCreate(ctx);
  }
  std::unique_ptr<PageLogic> logic;
  MemoryControls controls;
  SilentUi ui;
  PrinterInfo printer;
};

}  // namespace

std::string CheckEdits(const PageDef& def, const Edits& edits, int lang) {
  std::string errors;
  Edits known;
  for (const auto& [name, value] : edits) {
    // A value the command language cannot carry exactly (a control
    // character, a quote, a character the code page lacks) is refused with
    // the window's message.
    const std::optional<ValueRefusal> refusal = RefusalOf(QString::fromStdString(name), TextToLineValue(value, lang));
    if (!IsVar(def, name)) errors += "unknown variable " + Shown(name) + " for " + def.command + "\n";
    else if (IsShownOnly(def, name)) errors += name + " is shown only; the printer's value cannot be written\n";
    else if (refusal) errors += Shown(ValueRefusalMessage(*refusal, lang)) + "\n";
    else known[name] = value;
  }
  // On a page as the window creates it; a list the Read fills (the
  // application list) is checked once the printer has been read.
  ScratchPage scratch(def, lang);
  for (const auto& [name, value] : known) {
    const EditResult r = def.edit(scratch.controls, name, value, lang);
    const bool later = std::find(def.filledByRead.begin(), def.filledByRead.end(), name) != def.filledByRead.end();
    if (r.ok() || (later && r.error.rfind("fits no", 0) == 0)) continue;
    errors += ApplyEdits(def, scratch.controls, {{name, value}}, lang);
  }
  if (!errors.empty()) return errors;
  // The Write's own lines over the edits, in the longer (named) form. The
  // printer's other values are not known yet: a one-digit stand-in takes
  // the place of each, so that only the values given are judged.
  ScratchPage lines(def, lang);
  for (const char* var : def.vars)
    if (!known.count(var) && !IsShownOnly(def, var)) def.edit(lines.controls, var, QStringLiteral("0"), lang);
  ApplyEdits(def, lines.controls, known, lang);
  const WriteLines planned = def.plan(*lines.logic, lines.controls, LineForm::Named, lang);
  if (planned.refused) errors += Shown(planned.stop) + "\n";
  return errors;
}

std::string ValuesJson(const PageDef& def, const Values& values, int lang, const std::set<std::string>& left) {
  QJsonObject obj;
  if (!left.empty()) {
    QJsonArray names;
    for (const std::string& name : left) names.append(QString::fromStdString(name));
    obj.insert(QString::fromLatin1(kLeftWithPrinterKey), names);
  }
  for (const char* name : def.vars) {
    auto it = values.find(name);
    if (it == values.end() || !it->second) obj.insert(QString::fromLatin1(name), QJsonValue(QJsonValue::Null));
    else obj.insert(QString::fromLatin1(name), FromPrinterBytes(*it->second, lang));
  }
  return QJsonDocument(obj).toJson(QJsonDocument::Indented).toStdString();
}

std::string ValuesText(const PageDef& def, const Values& values, int lang, const std::set<std::string>& left) {
  std::size_t width = 0;
  for (const char* name : def.vars) width = std::max(width, std::string(name).size());
  std::string out;
  for (const char* name : def.vars) {
    auto it = values.find(name);
    std::string shown =
        (it == values.end() || !it->second) ? "(no answer)" : Shown(FromPrinterBytes(*it->second, lang), true);
    out += name;
    out += std::string(width - std::string(name).size() + 2, ' ');
    out += shown;
    if (left.count(name)) out += "  (left with the printer)";
    out += "\n";
  }
  return out;
}

}  // namespace deveder
