#include "cli/snapshot.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <set>

#include "link/port.h"
#include "protocol/text_codec.h"
#include "sim/printer_sim.h"

namespace deveder::cli {

namespace {

// The model reply of a simulated printer that stands in for `info`.
std::string ModelReplyFor(const PrinterInfo& info, const std::optional<std::string>& name) {
  std::string langs;
  for (auto [bit, word] : {std::pair{kLangCpcl, "CPCL"}, {kLangEscpos, "ESCPOS"}, {kLangTspl, "TSPL"}, {kLangZpl, "ZPL"}})
    if (info.languageMask & bit) langs += std::string(langs.empty() ? "" : ",") + word;
  return (name ? *name : std::string(info.modelName)) + ";" + std::to_string(info.modelNumber) + ";" + langs + ";1";
}

// Stops the support trace while the page talks to a stand-in printer.
class TraceOff {
 public:
  TraceOff() { SetPortTraceHook(counting()); }
  ~TraceOff() { SetPortTraceHook(restore_); }
  long sent = 0;
  void Keep(std::function<void(bool, const char*, int)> restore) { restore_ = std::move(restore); }

 private:
  std::function<void(bool, const char*, int)> counting() {
    return [this](bool out, const char*, int n) {
      if (out) sent += n;
    };
  }
  std::function<void(bool, const char*, int)> restore_;
};

// The variable and value of a named setvar line; false for other lines.
bool ParseSetvar(const std::string& line, std::string& name, std::string& value) {
  static const std::string head = "\x1b\x1b! U1 setvar \"";
  if (line.rfind(head, 0) != 0 || line.size() < head.size() + 3) return false;
  std::size_t close = line.find('"', head.size());
  if (close == std::string::npos || line.compare(close, 3, "\" \"") != 0) return false;
  name = line.substr(head.size(), close - head.size());
  std::size_t end = line.rfind("\"\r\n");
  if (end == std::string::npos || end < close + 3) return false;
  value = line.substr(close + 3, end - close - 3);
  return true;
}

bool IsShownOnly(const PageDef& def, const std::string& name) {
  return std::any_of(def.shownOnly.begin(), def.shownOnly.end(), [&](auto& p) { return name == p.first; });
}

bool IsVar(const PageDef& def, const std::string& name) {
  return std::any_of(def.vars.begin(), def.vars.end(), [&](const char* v) { return name == v; });
}

// Runs one button of the page against a stand-in printer. Returns the
// messages the page showed (kept out of the user's sight).
std::vector<QString> RunAgainst(Session& session, Session::Page& page, int button, sim::PrinterSim& stand,
                                PrinterInfo& info) {
  CliUi quiet;
  quiet.quiet = true;
  LinkChoice link;
  link.portPath = QString::fromStdString(stand.PortPath());
  PageContext ctx{*page.controls, quiet, info, link, session.Lang()};
  const bool serial = SerialPortFlag();
  SetSerialPortFlag(false);
  TraceOff trace;
  trace.Keep(session.TraceHook());
  page.logic->OnControl(button, ControlEvent::Clicked, ctx);
  // The stand-in has handled every byte once its count reaches what was sent.
  stand.WaitFor([&] { return stand.BytesReceived() >= trace.sent; }, 2000);
  SetSerialPortFlag(serial);
  return quiet.shown;
}

}  // namespace

Values CaptureWrite(Session& session, Session::Page& page, const PageDef& def, Values* kept) {
  Values values;
  for (const char* v : def.vars) values[v] = std::nullopt;
  sim::Options o;
  o.modelReply = ModelReplyFor(session.Printer(), std::nullopt);
  sim::PrinterSim stand(o);
  if (!stand.Start()) return values;
  PrinterInfo info = session.Printer();
  info.namedFormFlag = kNamedFormFlag;  // every line then names its variable
  RunAgainst(session, page, def.writeButton, stand, info);
  for (const std::string& line : stand.Lines()) {
    std::string name, value;
    if (ParseSetvar(line, name, value) && values.count(name)) values[name] = value;
  }
  for (auto [name, id] : def.shownOnly)
    values[name] = ToPrinterBytes(page.controls->Text(id), session.Lang());
  if (kept)
    for (const KeptValue& k : page.logic->KeptAtLastWrite()) (*kept)[k.var] = k.bytes;
  return values;
}

bool LoadIntoControls(Session& session, Session::Page& page, const PageDef& def, const Values& values) {
  sim::Options o;
  auto model = values.find("model");
  o.modelReply =
      ModelReplyFor(session.Printer(), model != values.end() ? model->second : std::optional<std::string>());
  sim::PrinterSim stand(o);
  if (!stand.Start()) return false;
  {
    auto lock = stand.Lock();
    for (const auto& [name, value] : values)
      if (name != "model") stand.Store().Set(name, value.value_or(std::string()));
  }
  PrinterInfo info = session.Printer();
  info.namedFormFlag = 0;  // probe the stand-in: its model reply carries the name
  RunAgainst(session, page, def.readButton, stand, info);
  return true;
}

int ReadPage(Session& session, Session::Page& page, const PageDef& def) {
  return session.Press(page, def.readButton);
}

int ApplyValues(Session& session, Session::Page& page, const PageDef& def, const Values& changes, std::string& error) {
  for (const auto& [name, value] : changes) {
    if (!IsVar(def, name)) {
      error = "unknown variable " + name + " for " + def.command;
      return kExitUsage;
    }
    if (IsShownOnly(def, name)) {
      error = name + " is shown only; the printer's value cannot be written";
      return kExitUsage;
    }
  }
  // A value the printer keeps goes to the stand-in as the printer holds it,
  // so that the page reads it as unchanged and the Write leaves it out again.
  Values kept;
  Values desired = CaptureWrite(session, page, def, &kept);
  for (const auto& [name, value] : kept) desired[name] = value;
  for (const auto& [name, value] : changes) desired[name] = value;
  if (!LoadIntoControls(session, page, def, desired)) {
    error = "cannot start the stand-in printer";
    return kExitFailed;
  }
  const Values after = CaptureWrite(session, page, def);
  for (const auto& [name, value] : changes) {
    auto it = after.find(name);
    if (it == after.end() || it->second != value) {
      error = "value \"" + FromPrinterBytes(value.value_or(""), session.Lang()).toStdString() + "\" does not fit " + name;
      return kExitUsage;
    }
  }
  return kExitOk;
}

std::string ValuesJson(const PageDef& def, const Values& values, int lang) {
  QJsonObject obj;
  for (const char* name : def.vars) {
    auto it = values.find(name);
    if (it == values.end() || !it->second) obj.insert(QString::fromLatin1(name), QJsonValue(QJsonValue::Null));
    else obj.insert(QString::fromLatin1(name), FromPrinterBytes(*it->second, lang));
  }
  return QJsonDocument(obj).toJson(QJsonDocument::Indented).toStdString();
}

std::string ValuesText(const PageDef& def, const Values& values, int lang) {
  std::size_t width = 0;
  for (const char* name : def.vars) width = std::max(width, std::string(name).size());
  std::string out;
  for (const char* name : def.vars) {
    auto it = values.find(name);
    std::string shown = (it == values.end() || !it->second)
                            ? "(not sent)"
                            : FromPrinterBytes(*it->second, lang).toStdString();
    out += name;
    out += std::string(width - std::string(name).size() + 2, ' ');
    out += shown + "\n";
  }
  return out;
}

}  // namespace deveder::cli
