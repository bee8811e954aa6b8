// settings / wifi / bt: read and write through the pages' own logic;
// backup and restore of all three.
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

#include "cli/cli_commands.h"
#include "cli/snapshot.h"
#include "pages/core/write_values.h"
#include "protocol/line_value.h"
#include "protocol/text_codec.h"

namespace deveder::cli {

namespace {

// A value that cannot travel in a command line exactly as given: the
// window's message, and a usage error before the printer is touched.
int Refuse(const ValueRefusal& refusal, int lang) {
  std::fprintf(stderr, "%s\n", ValueRefusalMessage(refusal, lang).toUtf8().constData());
  return kExitUsage;
}

// A value as printer bytes in the session's code page; nullopt (and
// `refusal` set) when it cannot travel exactly.
std::optional<std::string> ValueBytes(const std::string& name, const QString& text, int lang,
                                      std::optional<ValueRefusal>& refusal) {
  LineValue v = TextToLineValue(text, lang);
  refusal = RefusalOf(QString::fromStdString(name), v);
  if (refusal) return std::nullopt;
  return std::move(v.bytes);
}

// NAME=VALUE arguments as printer bytes in the session's code page.
// kExitOk, or the exit code of a usage error already reported.
int ParseAssignments(const Args& args, int lang, Values& out) {
  for (const std::string& a : args) {
    std::size_t eq = a.find('=');
    if (eq == std::string::npos || eq == 0) return Usage("expected NAME=VALUE, got " + a);
    const std::string name = a.substr(0, eq);
    std::optional<ValueRefusal> refusal;
    const std::optional<std::string> bytes = ValueBytes(name, QString::fromUtf8(a.substr(eq + 1)), lang, refusal);
    if (!bytes) return Refuse(*refusal, lang);
    out[name] = *bytes;
  }
  return kExitOk;
}

int PageCommand(Session& session, const PageDef& def, const Args& args) {
  if (args.empty()) return Usage(std::string(def.command) + " needs read or write");
  const std::string& verb = args[0];
  if (verb == "read") {
    bool json = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
      if (args[i] == "--json") json = true;
      else return Usage("unknown argument " + args[i]);
    }
    auto page = session.Open(def.make());
    int rc = ReadPage(session, *page, def);
    if (rc != kExitOk) return rc;
    const Values values = CaptureWrite(session, *page, def);
    std::fputs((json ? ValuesJson(def, values, session.Lang()) : ValuesText(def, values, session.Lang())).c_str(),
               stdout);
    return kExitOk;
  }
  if (verb == "write") {
    Values changes;
    std::string error;
    if (args.size() < 2) return Usage(std::string(def.command) + " write needs NAME=VALUE ...");
    if (int rc = ParseAssignments(Args(args.begin() + 1, args.end()), session.Lang(), changes); rc != kExitOk)
      return rc;
    // Names are checked before the printer is touched.
    for (const auto& [name, value] : changes) {
      bool known = false;
      for (const char* v : def.vars) known = known || name == v;
      if (!known) return Usage("unknown variable " + name + " for " + def.command);
    }
    auto page = session.Open(def.make());
    int rc = ReadPage(session, *page, def);
    if (rc != kExitOk) return rc;
    rc = ApplyValues(session, *page, def, changes, error);
    if (rc == kExitUsage) return Usage(error);
    if (rc != kExitOk) {
      std::fprintf(stderr, "deveder-cli: %s\n", error.c_str());
      return rc;
    }
    return session.Press(*page, def.writeButton);
  }
  return Usage("unknown verb " + verb + " (read or write)");
}

const PageDef* const kAllPages[] = {&SettingsDef(), &WifiDef(), &BluetoothDef()};

// Identity values stay unless asked for: a backup of one printer must not
// clone its serial number or Bluetooth address onto another.
bool IsIdentity(const std::string& name) { return name == "sn" || name == "bluetooth.address"; }

}  // namespace

int CmdSettings(Session& session, const Args& args) { return PageCommand(session, SettingsDef(), args); }
int CmdWifi(Session& session, const Args& args) { return PageCommand(session, WifiDef(), args); }
int CmdBluetooth(Session& session, const Args& args) { return PageCommand(session, BluetoothDef(), args); }

int CmdBackup(Session& session, const Args& args) {
  if (args.size() != 1) return Usage("backup needs FILE");
  QJsonObject all;
  for (const PageDef* def : kAllPages) {
    auto page = session.Open(def->make());
    int rc = ReadPage(session, *page, *def);
    if (rc != kExitOk) return rc;
    const Values values = CaptureWrite(session, *page, *def);
    all.insert(QString::fromLatin1(def->jsonKey),
               QJsonDocument::fromJson(QByteArray::fromStdString(ValuesJson(*def, values, session.Lang()))).object());
  }
  QFile out(QString::fromStdString(args[0]));
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    std::fprintf(stderr, "deveder-cli: cannot write %s\n", args[0].c_str());
    return kExitFailed;
  }
  out.write(QJsonDocument(all).toJson(QJsonDocument::Indented));
  return out.error() == QFileDevice::NoError ? kExitOk : kExitFailed;
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
  QFile in(QString::fromStdString(file));
  if (!in.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "deveder-cli: cannot read %s\n", file.c_str());
    return kExitFailed;
  }
  QJsonParseError perr{};
  const QJsonDocument doc = QJsonDocument::fromJson(in.readAll(), &perr);
  if (perr.error != QJsonParseError::NoError || !doc.isObject()) return Usage(file + " is not a backup (JSON object)");
  // Every value of the file is checked before the first page is read: a
  // value that cannot travel exactly refuses the whole restore.
  std::vector<std::pair<const PageDef*, Values>> pages;
  for (const PageDef* def : kAllPages) {
    const QJsonObject saved = doc.object().value(QString::fromLatin1(def->jsonKey)).toObject();
    if (saved.isEmpty()) continue;
    Values changes;
    for (const char* name : def->vars) {
      const QJsonValue v = saved.value(QString::fromLatin1(name));
      bool shownOnly = false;
      for (auto [n, id] : def->shownOnly) shownOnly = shownOnly || std::string(n) == name;
      if (!v.isString() || shownOnly || (IsIdentity(name) && !withIdentity)) continue;
      std::optional<ValueRefusal> refusal;
      const std::optional<std::string> bytes = ValueBytes(name, v.toString(), session.Lang(), refusal);
      if (!bytes) return Refuse(*refusal, session.Lang());
      changes[name] = *bytes;
    }
    pages.emplace_back(def, std::move(changes));
  }
  int result = kExitOk;
  for (const auto& [def, changes] : pages) {
    auto page = session.Open(def->make());
    int rc = ReadPage(session, *page, *def);
    if (rc != kExitOk) return rc;
    std::string error;
    rc = ApplyValues(session, *page, *def, changes, error);
    if (rc != kExitOk) {
      std::fprintf(stderr, "deveder-cli: %s: %s\n", def->command, error.c_str());
      return rc == kExitUsage ? kExitFailed : rc;
    }
    rc = session.Press(*page, def->writeButton);
    if (rc != kExitOk) return rc;
    // Read again and compare with the file.
    auto check = session.Open(def->make());
    rc = ReadPage(session, *check, *def);
    if (rc != kExitOk) return rc;
    const Values now = CaptureWrite(session, *check, *def);
    for (const auto& [name, value] : changes) {
      auto it = now.find(name);
      if (it == now.end() || it->second != value) {
        std::fprintf(stderr, "differs: %s: file \"%s\", printer \"%s\"\n", name.c_str(),
                     FromPrinterBytes(value.value_or(""), session.Lang()).toUtf8().constData(),
                     it == now.end() || !it->second ? "(nothing)"
                                                    : FromPrinterBytes(*it->second, session.Lang()).toUtf8().constData());
        result = kExitFailed;
      }
    }
  }
  return result;
}

}  // namespace deveder::cli
