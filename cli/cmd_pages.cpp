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
#include "pages/backup/output_file.h"
#include "pages/backup/backup_run.h"
#include "pages/core/printable.h"
#include "pages/core/write_values.h"
#include "protocol/line_value.h"
#include "protocol/text_codec.h"
#include "resources/strings.h"

namespace deveder::cli {

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

// A page of the run, as backup, restore and verify press it.
class RunPage : public BackupPage {
 public:
  RunPage(Session& session, const PageDef& def)
      : session_(session), def_(def), page_(session.Open(def.make(), def.command)) {}
  PageLogic& Logic() override { return *page_->logic; }
  ControlModel& Controls() override { return *page_->controls; }
  bool Press(int button, bool sayOk) override {
    if (!sayOk) return session_.Press(*page_, button) == kExitOk;
    return PressAndSay(session_, *page_, button, button == def_.readButton ? kStrReadOk : kStrWriteOk) == kExitOk;
  }

 private:
  Session& session_;
  const PageDef& def_;
  std::unique_ptr<Session::Page> page_;
};

// The run as the backup steps see it. A Ctrl-C or SIGTERM ends it between
// pages as in every wait.
class RunHost : public BackupHost {
 public:
  explicit RunHost(Session& session) : session_(session) {}
  int Lang() const override { return session_.Lang(); }
  LineForm Form() const override { return FormForFlag(session_.Printer().namedFormFlag); }
  std::unique_ptr<BackupPage> Open(const PageDef& def) override { return std::make_unique<RunPage>(session_, def); }
  void BeforePage() override { session_.CheckSignals(); }

 private:
  Session& session_;
};

// The Write's result as the run tells it: exit 1 when it stopped before
// its last line.
int WriteExit(const PageDef& def, const WriteOutcome& write) {
  if (!write.stop.empty())
    std::fprintf(stderr, "%s: Write stopped after %zu lines: %s\n", def.command, write.linesBeforeStop,
                 write.stop.c_str());
  return write.ok ? kExitOk : kExitFailed;
}

// Reads a backup file into `top`: a regular file of at most 1 MiB holding
// one JSON object. kExitOk, or the exit code with the reason shown.
int LoadBackup(const std::string& file, QJsonObject& top) {
  // A device or a pipe is never read.
  std::string why;
  const std::optional<std::string> bytes = ReadRegularFile(file, kMaxBackupBytes, &why);
  if (!bytes) return Usage(file + " is no regular file of at most 1 MiB (" + why + ")");
  if (std::string error = ParseBackup(QByteArray::fromStdString(*bytes), top); !error.empty())
    return Usage(file + " " + error);
  return kExitOk;
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
    RunHost host(session);
    RunPage page(session, def);
    const std::optional<PageRead> read = ReadValues(host, page, def);
    if (!read) return kExitFailed;
    const int lang = session.Lang();
    std::string text = json ? ValuesJson(def, read->values, lang, read->left) : ValuesText(def, read->values, lang, read->left);
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
    error = CheckEdits(def, edits, session.Lang());
    if (!error.empty()) return Usage(error.substr(0, error.size() - 1));
    if (int rc = session.RequirePort()) return rc;
    RunHost host(session);
    RunPage page(session, def);
    if (!ReadValues(host, page, def)) return kExitFailed;
    // Nothing is sent unless every edit fits.
    error = ApplyEdits(def, page.Controls(), edits, session.Lang());
    if (!error.empty()) return Usage(error.substr(0, error.size() - 1));
    return WriteExit(def, WritePage(host, page, def));
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
  RunHost host(session);
  const std::optional<std::string> text = TakeBackup(host);
  if (!text) return kExitFailed;
  // Whole or not at all, and the owner's alone: the file holds WiFi
  // passwords and the Bluetooth PIN.
  std::string error;
  if (!WriteWholeFile(args[0], *text, error)) {
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
  const std::string errors = PlanRestore(top, withIdentity, session.Lang(), restore);
  if (!errors.empty()) return Usage(file + ": " + errors.substr(0, errors.size() - 1));
  for (const std::string& line : restore.notWritten)
    std::fprintf(stderr, "restore: %s%s\n", line.c_str(),
                 line.ends_with("names one printer") ? " (--with-identity writes it)" : "");
  if (int rc = session.RequirePort()) return rc;
  // What a stop part-way leaves: the pages written so far.
  std::vector<std::string> written;
  std::vector<std::string> left;
  for (const auto& plan : restore.pages) left.push_back(plan.first->jsonKey);
  session.CatchSignals([&] {
    auto join = [](const std::vector<std::string>& v) {
      std::string out;
      for (const std::string& s : v) out += (out.empty() ? "" : ", ") + s;
      return out.empty() ? std::string("none") : out;
    };
    return "Pages written: " + join(written) + "; not written (the one under way may be in part): " + join(left) +
           ".";
  });
  RunHost host(session);
  const RestoreOutcome done = RestoreBackup(host, restore, [&](const PageDef& def) {
    written.push_back(def.jsonKey);
    left.erase(left.begin());
  });
  for (const Difference& d : done.differs)
    std::fprintf(stderr, "differs: %s: file \"%s\", printer \"%s\"\n", d.name.c_str(),
                 Shown(d.file.value_or(QString()), true).c_str(),
                 d.printer ? Shown(*d.printer, true).c_str() : "(nothing)");
  switch (done.ending) {
    case RestoreOutcome::Ending::Done:
      break;
    case RestoreOutcome::Ending::ReadFailed:
      return kExitFailed;
    case RestoreOutcome::Ending::EditRefused:
      std::fprintf(stderr, "deveder-cli: %s", done.error.c_str());
      return kExitFailed;
    case RestoreOutcome::Ending::WriteFailed:
      return WriteExit(*done.page, done.write);
  }
  return done.ok() ? kExitOk : kExitFailed;
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
  RunHost host(session);
  const std::optional<std::vector<Difference>> differences = VerifyBackup(host, top);
  if (!differences) return kExitFailed;
  auto quoted = [](const std::optional<QString>& v) { return v ? "\"" + Shown(*v, true) + "\"" : std::string("(no answer)"); };
  for (const Difference& d : *differences)
    std::printf("%s.%s: file %s, printer %s\n", d.page->jsonKey, d.name.c_str(), quoted(d.file).c_str(),
                quoted(d.printer).c_str());
  if (std::fflush(stdout) != 0) {
    std::fprintf(stderr, "deveder-cli: cannot write the differences to standard output\n");
    return kExitFailed;
  }
  const std::size_t n = differences->size();
  if (n == 0) {
    std::fprintf(stderr, "verify: the printer holds what %s holds\n", args[0].c_str());
    return kExitOk;
  }
  std::fprintf(stderr, "verify: %zu value%s differ%s from %s\n", n, n == 1 ? "" : "s", n == 1 ? "s" : "",
               args[0].c_str());
  return kExitFailed;
}

}  // namespace deveder::cli
