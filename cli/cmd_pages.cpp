// settings / wifi / bt: read and write through the pages' own logic and
// mapping; backup and restore of all three.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/cli_commands.h"
#include "cli/input_file.h"
#include "cli/output_file.h"
#include "cli/page_map.h"
#include "cli/printable.h"
#include "cli/restore_file.h"
#include "pages/core/write_values.h"
#include "protocol/line_value.h"
#include "protocol/text_codec.h"
#include "resources/strings.h"

namespace deveder::cli {

std::string CheckEdits(Session& session, const PageDef& def, const Edits& edits) {
  std::string errors;
  Edits known;
  for (const auto& [name, value] : edits) {
    // A value the command language cannot carry exactly (a control
    // character, a quote, a character the code page lacks) is refused with
    // the window's message.
    const std::optional<ValueRefusal> refusal =
        RefusalOf(QString::fromStdString(name), TextToLineValue(value, session.Lang()));
    if (!IsVar(def, name)) errors += "unknown variable " + Shown(name) + " for " + def.command + "\n";
    else if (IsShownOnly(def, name)) errors += name + " is shown only; the printer's value cannot be written\n";
    else if (refusal) errors += Shown(ValueRefusalMessage(*refusal, session.Lang())) + "\n";
    else known[name] = value;
  }
  // On a page as the window creates it; a list the Read fills (the
  // application list) is checked once the printer has been read.
  auto scratch = session.Open(def.make());
  for (const auto& [name, value] : known) {
    const EditResult r = def.edit(*scratch->controls, name, value, session.Lang());
    const bool later = std::find(def.filledByRead.begin(), def.filledByRead.end(), name) != def.filledByRead.end();
    if (r.ok() || (later && r.error.rfind("fits no", 0) == 0)) continue;
    errors += ApplyEdits(def, *scratch, {{name, value}}, session.Lang());
  }
  if (!errors.empty()) return errors;
  // The Write's own lines over the edits, in the longer (named) form. The
  // printer's other values are not known yet: a one-digit stand-in takes
  // the place of each, so that only the values given are judged.
  auto lines = session.Open(def.make());
  for (const char* var : def.vars)
    if (!known.count(var) && !IsShownOnly(def, var)) def.edit(*lines->controls, var, QStringLiteral("0"), session.Lang());
  ApplyEdits(def, *lines, known, session.Lang());
  const WriteLines planned = def.plan(*lines->logic, *lines->controls, LineForm::Named, session.Lang());
  if (planned.refused) errors += Shown(planned.stop) + "\n";
  return errors;
}

namespace {

// NAME=VALUE arguments as typed.
bool ParseAssignments(const Args& args, Edits& out, std::string& error) {
  for (const std::string& a : args) {
    std::size_t eq = a.find('=');
    if (eq == std::string::npos || eq == 0) {
      error = "expected NAME=VALUE, got " + a;
      return false;
    }
    out[a.substr(0, eq)] = QString::fromUtf8(a.substr(eq + 1));
  }
  return true;
}

// Runs one button of the page. A page that shows nothing on success gets
// its line here, so every action ends with one.
int PressAndSay(Session& session, Session::Page& page, int button, int okString) {
  const int rc = session.Press(page, button);
  if (rc == kExitOk && page.last && page.last->message.isEmpty())
    page.ui.ShowTimedMessage(LoadString(okString, session.Lang()), {});
  return rc;
}

// The values, and beside them each request of the Read as sent and the
// printer's answer as it came (for a support ticket).
std::string WithReplies(const std::string& values, bool json, const std::vector<Session::Exchange>& exchanges) {
  if (json) {
    QJsonArray list;
    for (const Session::Exchange& x : exchanges)
      list.append(QJsonObject{{QStringLiteral("sent"), QString::fromStdString(EscapedBytes(x.sent))},
                              {QStringLiteral("received"), QString::fromStdString(EscapedBytes(x.received))}});
    QJsonObject all{{QStringLiteral("values"), QJsonDocument::fromJson(QByteArray::fromStdString(values)).object()},
                    {QStringLiteral("replies"), list}};
    return QJsonDocument(all).toJson(QJsonDocument::Indented).toStdString();
  }
  std::string out = values + "\nreplies (sent -> received):\n";
  for (const Session::Exchange& x : exchanges) out += EscapedBytes(x.sent) + " -> " + EscapedBytes(x.received) + "\n";
  return out;
}

// Reads the page; on success `page` holds what the printer answered.
int ReadPage(Session& session, Session::Page& page, const PageDef& def) {
  return PressAndSay(session, page, def.readButton, kStrReadOk);
}

// The page's Write after `edits`; exit 1 when the Write stops before its
// last line.
int WritePage(Session& session, Session::Page& page, const PageDef& def) {
  const WriteLines planned = def.plan(*page.logic, *page.controls, FormForFlag(session.Printer().namedFormFlag),
                                      session.Lang());
  if (!planned.stop.empty()) {
    // The window's Write sends the lines before the stop; so does this one,
    // and the run fails whatever the port said.
    session.Press(page, def.writeButton);
    std::fprintf(stderr, "%s: Write stopped after %zu lines: %s\n", def.command, planned.lines.size(),
                 planned.stop.c_str());
    return kExitFailed;
  }
  return PressAndSay(session, page, def.writeButton, kStrWriteOk);
}

int PageCommand(Session& session, const PageDef& def, const Args& args) {
  if (args.empty()) return Usage(std::string(def.command) + " needs read or write");
  const std::string& verb = args[0];
  if (verb == "read") {
    bool json = false, replies = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
      if (args[i] == "--json") json = true;
      else if (args[i] == "--replies") replies = true;
      else return Usage("unknown argument " + args[i]);
    }
    if (int rc = session.RequirePort()) return rc;
    if (replies) session.RecordExchanges();
    auto page = session.Open(def.make(), def.command);
    int rc = ReadPage(session, *page, def);
    if (rc != kExitOk) return rc;
    std::set<std::string> left;
    const Values values = ReadValues(session, *page, def, left);
    std::string text =
        json ? ValuesJson(def, values, session.Lang(), left) : ValuesText(def, values, session.Lang(), left);
    if (replies) text = WithReplies(text, json, session.Exchanges());
    if (std::fputs(text.c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
      std::fprintf(stderr, "deveder-cli: cannot write the values to standard output\n");
      return kExitFailed;
    }
    return kExitOk;
  }
  if (verb == "write") {
    Edits edits;
    std::string error;
    if (args.size() < 2) return Usage(std::string(def.command) + " write needs NAME=VALUE ...");
    if (!ParseAssignments(Args(args.begin() + 1, args.end()), edits, error)) return Usage(error);
    // The Write leaves out a station list whose five fields are empty: such
    // an edit would say "Write OK" with the printer's SSID and password as
    // they were.
    const auto sta = edits.find("wlan.sta");
    if (&def == &WifiDef() && sta != edits.end() &&
        sta->second.split(QLatin1Char(',')).join(QString()).isEmpty())
      return Usage("wlan.sta=" + Shown(sta->second, true) +
                   ": every field is empty, and the Write sends no station list without one, so the printer "
                   "would keep its SSID and password; give SSID,password,...");
    error = CheckEdits(session, def, edits);
    if (!error.empty()) return Usage(error.substr(0, error.size() - 1));
    if (int rc = session.RequirePort()) return rc;
    auto page = session.Open(def.make(), def.command);
    int rc = ReadPage(session, *page, def);
    if (rc != kExitOk) return rc;
    // Nothing is sent unless every edit fits.
    error = ApplyEdits(def, *page, edits, session.Lang());
    if (!error.empty()) return Usage(error.substr(0, error.size() - 1));
    return WritePage(session, *page, def);
  }
  return Usage("unknown verb " + verb + " (read or write)");
}

}  // namespace

int CmdSettings(Session& session, const Args& args) { return PageCommand(session, SettingsDef(), args); }
int CmdWifi(Session& session, const Args& args) { return PageCommand(session, WifiDef(), args); }
int CmdBluetooth(Session& session, const Args& args) { return PageCommand(session, BluetoothDef(), args); }

int CmdBackup(Session& session, const Args& args) {
  if (args.size() != 1) return Usage("backup needs FILE");
  if (std::string problem = OutputPathProblem(args[0]); !problem.empty()) return Usage("backup: " + problem);
  if (int rc = session.RequirePort()) return rc;
  QJsonObject all;
  for (const PageDef* def : AllPages()) {
    auto page = session.Open(def->make(), def->command);
    int rc = ReadPage(session, *page, *def);
    if (rc != kExitOk) return rc;
    std::set<std::string> left;
    const Values values = ReadValues(session, *page, *def, left);
    all.insert(
        QString::fromLatin1(def->jsonKey),
        QJsonDocument::fromJson(QByteArray::fromStdString(ValuesJson(*def, values, session.Lang(), left))).object());
  }
  // Whole or not at all, and the owner's alone: the file holds WiFi
  // passwords and the Bluetooth PIN.
  std::string error;
  if (!WriteWholeFile(args[0], QJsonDocument(all).toJson(QJsonDocument::Indented).toStdString(), error)) {
    std::fprintf(stderr, "deveder-cli: cannot write the backup %s\n", Shown(error).c_str());
    return kExitFailed;
  }
  return kExitOk;
}

int CmdRestore(Session& session, const Args& args) {
  bool withIdentity = false;
  std::string file;
  for (const std::string& a : args) {
    if (a == "--with-identity") withIdentity = true;
    else if (file.empty()) file = a;
    else return Usage("restore takes one FILE");
  }
  if (file.empty()) return Usage("restore needs FILE");
  QJsonObject top;
  if (int rc = LoadBackup(file, top)) return rc;
  // The whole file is checked before anything is sent: each key that
  // cannot be used is named.
  RestorePlan restore;
  const std::string errors = PlanRestore(session, top, withIdentity, restore);
  if (!errors.empty()) return Usage(file + ": " + errors.substr(0, errors.size() - 1));
  for (const std::string& line : restore.notWritten) std::fprintf(stderr, "restore: %s\n", line.c_str());
  const auto& plans = restore.pages;
  if (int rc = session.RequirePort()) return rc;
  // What a stop part-way leaves: the pages written so far.
  std::vector<std::string> written;
  std::vector<std::string> left;
  for (const auto& plan : plans) left.push_back(plan.first->jsonKey);
  session.CatchSignals([&] {
    auto join = [](const std::vector<std::string>& v) {
      std::string out;
      for (const std::string& s : v) out += (out.empty() ? "" : ", ") + s;
      return out.empty() ? std::string("none") : out;
    };
    return "Pages written: " + join(written) + "; not written (the one under way may be in part): " + join(left) +
           ".";
  });
  int result = kExitOk;
  for (const auto& [def, edits] : plans) {
    session.CheckSignals();
    auto page = session.Open(def->make(), def->command);
    int rc = ReadPage(session, *page, *def);
    if (rc != kExitOk) return rc;
    const std::string error = ApplyEdits(*def, *page, edits, session.Lang());
    if (!error.empty()) {
      std::fprintf(stderr, "deveder-cli: %s", error.c_str());
      return kExitFailed;
    }
    rc = WritePage(session, *page, *def);
    if (rc != kExitOk) return rc;
    written.push_back(def->jsonKey);
    left.erase(left.begin());
    // Read again and compare with the file.
    const Values wanted = CurrentValues(session, *page, *def);
    auto check = session.Open(def->make(), def->command);
    rc = ReadPage(session, *check, *def);
    if (rc != kExitOk) return rc;
    const Values now = CurrentValues(session, *check, *def);
    for (const auto& [name, value] : edits) {
      const auto want = wanted.find(name);
      const auto it = now.find(name);
      if (want == wanted.end() || it == now.end() || it->second == want->second) continue;
      std::fprintf(stderr, "differs: %s: file \"%s\", printer \"%s\"\n", name.c_str(), Shown(value, true).c_str(),
                   !it->second ? "(nothing)" : Shown(FromPrinterBytes(*it->second, session.Lang()), true).c_str());
      result = kExitFailed;
    }
  }
  return result;
}

}  // namespace deveder::cli

namespace deveder::cli {

int CmdVerify(Session& session, const Args& args) {
  if (args.size() != 1) return Usage("verify needs FILE");
  QJsonObject top;
  if (int rc = LoadBackup(args[0], top)) return rc;
  if (const std::string errors = CheckVerifyFile(top); !errors.empty())
    return Usage(args[0] + ": " + errors.substr(0, errors.size() - 1));
  if (int rc = session.RequirePort()) return rc;
  int differences = 0;
  for (const PageDef* def : AllPages()) {
    if (!top.contains(QString::fromLatin1(def->jsonKey))) continue;
    const QJsonObject saved = top.value(QString::fromLatin1(def->jsonKey)).toObject();
    auto page = session.Open(def->make(), def->command);
    if (int rc = ReadPage(session, *page, *def)) return rc;
    std::set<std::string> left;
    const Values now = ReadValues(session, *page, *def, left);
    for (auto it = saved.begin(); it != saved.end(); ++it) {
      const std::string name = it.key().toStdString();
      if (name == kLeftWithPrinterKey) continue;
      // What the page only shows may change by itself (an address given out
      // by DHCP): it is not compared.
      if (IsShownOnly(*def, name)) continue;
      const std::optional<std::string>& value = now.at(name);
      const std::optional<QString> printer =
          value ? std::optional<QString>(FromPrinterBytes(*value, session.Lang())) : std::nullopt;
      const std::optional<QString> file =
          it.value().isNull() ? std::nullopt : std::optional<QString>(it.value().toString());
      if (printer == file) continue;
      ++differences;
      std::printf("%s.%s: file %s, printer %s\n", def->jsonKey, name.c_str(),
                  file ? ("\"" + Shown(*file, true) + "\"").c_str() : "(no answer)",
                  printer ? ("\"" + Shown(*printer, true) + "\"").c_str() : "(no answer)");
    }
  }
  if (std::fflush(stdout) != 0) {
    std::fprintf(stderr, "deveder-cli: cannot write the differences to standard output\n");
    return kExitFailed;
  }
  if (differences == 0) {
    std::fprintf(stderr, "verify: the printer holds what %s holds\n", args[0].c_str());
    return kExitOk;
  }
  std::fprintf(stderr, "verify: %d value%s differ%s from %s\n", differences, differences == 1 ? "" : "s",
               differences == 1 ? "s" : "", args[0].c_str());
  return kExitFailed;
}

}  // namespace deveder::cli
