// The three pages the command-line tool reads and writes, by their buttons
// and their own mapping functions.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "cli/page_map.h"
#include "cli/printable.h"
#include "pages/bluetooth/bluetooth_page.h"
#include "pages/settings/settings_page.h"
#include "pages/settings/settings_tables.h"
#include "pages/wifi/wifi_page.h"
#include "protocol/text_codec.h"

namespace deveder::cli {

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

Values CurrentValues(Session& session, Session::Page& page, const PageDef& def) {
  Values values;
  for (const char* v : def.vars) values[v] = std::nullopt;
  // The named form: every line names its variable.
  for (const std::string& line : def.plan(*page.logic, *page.controls, LineForm::Named, session.Lang()).lines) {
    std::string name, value;
    if (ParseNamedSetvar(line, name, value) && values.count(name)) values[name] = value;
  }
  for (auto [name, id] : def.shownOnly) values[name] = ToPrinterBytes(page.controls->Text(id), session.Lang());
  return values;
}

Values ReadValues(Session& session, Session::Page& page, const PageDef& def, std::set<std::string>& left) {
  Values values = CurrentValues(session, page, def);
  const ReadBack& got = def.readBack(*page.logic);
  for (auto& [name, value] : values) {
    const std::optional<ReadBack::Untouched> came = got.WhatCame(name);
    if (!came) continue;
    if (came->got == ReadBack::Got::Unanswered) value = std::nullopt;
    else value = came->bytes;
    if (came->got != ReadBack::Got::Answered) left.insert(name);
  }
  return values;
}

std::string ApplyEdits(const PageDef& def, Session::Page& page, const std::map<std::string, QString>& edits,
                       int lang) {
  std::string errors;
  for (const auto& [name, value] : edits) {
    const EditResult r = def.edit(*page.controls, name, value, lang);
    if (r.ok()) continue;
    errors += name + "=" + Shown(value, true) + ": " + def.command + " " + name + " " + r.error;
    if (!r.fits.isEmpty()) errors += "; values that fit: " + Shown(r.fits.join(QStringLiteral(", ")));
    errors += "\n";
  }
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

}  // namespace deveder::cli
