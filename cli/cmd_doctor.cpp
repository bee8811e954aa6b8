// deveder-cli doctor: the usual reasons a printer "does not work" on Linux,
// each checked and explained with a verdict and a fix: the user's groups,
// each port's node and who holds it, the usblp driver, CUPS and ipp-usb
// taking a USB printer, ModemManager probing ttyACM ports, and a model probe
// of every port that opens.
//
// Everything is read below a set of roots (sysfs, /dev, /proc, /etc, /run),
// so that `--root DIR` runs the checks over a prepared tree.
#include <dirent.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "cli/cli_commands.h"
#include "link/link.h"
#include "link/tcp_connect.h"
#include "link/port_access.h"
#include "pages/core/port_cause.h"
#include "protocol/command_line.h"
#include "protocol/printer_info.h"
#include "protocol/text_codec.h"

namespace deveder::cli {

namespace {

enum class Verdict { Pass, Fail };

struct Finding {
  std::string check;    // "groups", "port", "probe", "holders", "usblp", "usb-printer", "modemmanager", "ports"
  std::string subject;  // user, port path, interface
  Verdict verdict = Verdict::Pass;
  std::string detail;
  std::string fix;
  QJsonObject data;     // measured values (probe)
};

std::string U(const QString& s) { return s.toUtf8().toStdString(); }

std::string FirstLine(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

std::string LinkBase(const std::string& path) {
  char buf[PATH_MAX];
  ssize_t n = readlink(path.c_str(), buf, sizeof buf - 1);
  if (n <= 0) return {};
  buf[n] = '\0';
  std::string target(buf);
  const std::size_t slash = target.rfind('/');
  return slash == std::string::npos ? target : target.substr(slash + 1);
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') names.emplace_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

std::string Join(const std::vector<std::string>& parts, const char* sep) {
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : sep) + p;
  return out;
}

// A USB interface of the printer class (07) as sysfs shows it.
struct UsbPrinter {
  std::string interface;  // "1-2:1.0"
  std::string name;       // manufacturer and product
  std::string driver;     // "usblp", "usbfs", "" for none
  std::string node;       // "/dev/usb/lp0" when usblp made one
  std::string busNode;    // "/dev/bus/usb/001/005"
  bool ippUsb = false;    // IPP over USB (protocol 04)
};

class Doctor {
 public:
  Doctor(SystemRoots roots, int lang) : roots_(std::move(roots)), lang_(lang) {}

  void Run(const std::string& port) {
    CheckGroups();
    const std::vector<UsbPrinter> usb = UsbPrinters();
    CheckUsblp(usb);
    for (const UsbPrinter& p : usb) CheckUsbPrinter(p);
    std::vector<std::string> ports;
    if (!port.empty()) ports.push_back(port);
    else ports = CandidatePorts();
    if (ports.empty()) {
      Fail("ports", "", "No printer port was found: no USB printer with a /dev/usb/lp node, no serial or parallel port.",
           "plug the printer in and switch it on; with a USB printer see the usblp and usb-printer checks above.");
    }
    for (const std::string& p : ports) CheckPort(p);
    CheckModemManager(ports);
  }

  const std::vector<Finding>& Findings() const { return findings_; }
  bool AllPassed() const {
    return std::none_of(findings_.begin(), findings_.end(), [](const Finding& f) { return f.verdict == Verdict::Fail; });
  }

 private:
  Finding& Add(Verdict v, std::string check, std::string subject, std::string detail, std::string fix = {}) {
    findings_.push_back(Finding{std::move(check), std::move(subject), v, std::move(detail), std::move(fix), {}});
    return findings_.back();
  }
  Finding& Pass(std::string check, std::string subject, std::string detail) {
    return Add(Verdict::Pass, std::move(check), std::move(subject), std::move(detail));
  }
  Finding& Fail(std::string check, std::string subject, std::string detail, std::string fix) {
    return Add(Verdict::Fail, std::move(check), std::move(subject), std::move(detail), std::move(fix));
  }
  Finding& FailWith(std::string check, std::string subject, const OpenDiagnosis& d) {
    const FailureText t = DescribeOpenFailure(d, lang_);
    return Fail(std::move(check), std::move(subject), U(t.reason), U(t.fix));
  }

  // The groups that give access to printer ports on Debian: lp for USB and
  // parallel printers, dialout for serial ports. The session's groups are
  // fixed at login: a user added later has them only after logging in again.
  void CheckGroups() {
    const Identity who = ReadIdentity(roots_);
    const std::vector<GroupEntry> groups = ReadGroups(roots_);
    std::vector<std::string> member, session;
    for (const GroupEntry& g : groups) {
      if (IsGroupMember(who, g)) member.push_back(g.name);
      if (who.InSession(g.gid)) session.push_back(g.name);
    }
    const std::string detail = "user " + who.user + " is in " + (member.empty() ? "no group" : Join(member, ", ")) +
                               "; this session has " + (session.empty() ? "no group" : Join(session, ", "));
    if (!who.known) {
      Fail("groups", who.user, "the process's credentials could not be read (" + roots_.proc + "/self/status)", "");
      return;
    }
    if (who.uid == 0) {
      Pass("groups", who.user, "every port opens to root without a group (" + detail + ")");
      return;
    }
    std::vector<std::string> missing, stale;
    for (const char* name : {"lp", "dialout"}) {
      const GroupEntry* g = FindGroup(groups, std::string(name));
      if (!g) continue;
      if (!IsGroupMember(who, *g)) missing.push_back(name);
      else if (!who.InSession(g->gid)) stale.push_back(name);
    }
    if (!missing.empty()) {
      // Logging in again also brings the groups added since the session began.
      Fail("groups", who.user,
           detail + ": not in " + Join(missing, " and ") +
               (stale.empty() ? "" : "; added to " + Join(stale, " and ") + " after this login session began"),
           "sudo usermod -aG " + Join(missing, ",") + " " + who.user + ", then log out and in again");
    } else if (!stale.empty()) {
      Fail("groups", who.user, detail + ": added to " + Join(stale, " and ") + " after this login session began",
           "log out and in again (or run: newgrp " + stale.front() + ")");
    } else {
      Pass("groups", who.user, detail);
    }
  }

  std::vector<UsbPrinter> UsbPrinters() {
    std::vector<UsbPrinter> out;
    const std::string devices = roots_.sys + "/bus/usb/devices";
    for (const std::string& name : Entries(devices)) {
      if (name.find(':') == std::string::npos) continue;
      const std::string iface = devices + "/" + name;
      if (FirstLine(iface + "/bInterfaceClass") != "07") continue;
      UsbPrinter p;
      p.interface = name;
      p.driver = LinkBase(iface + "/driver");
      p.ippUsb = FirstLine(iface + "/bInterfaceProtocol") == "04";
      for (const std::string& lp : Entries(iface + "/usbmisc"))
        if (StartsWith(lp, "lp")) p.node = "/dev/usb/" + lp;
      const std::string dev = devices + "/" + name.substr(0, name.find(':'));
      std::string label = FirstLine(dev + "/manufacturer");
      const std::string product = FirstLine(dev + "/product");
      if (!product.empty()) label += (label.empty() ? "" : " ") + product;
      p.name = label.empty() ? "USB printer " + name : label + " (" + name + ")";
      const std::string bus = FirstLine(dev + "/busnum"), num = FirstLine(dev + "/devnum");
      if (!bus.empty() && !num.empty()) {
        char node[64];
        std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", std::atoi(bus.c_str()), std::atoi(num.c_str()));
        p.busNode = node;
      }
      out.push_back(std::move(p));
    }
    return out;
  }

  bool UsblpLoaded() const { return Exists(roots_.sys + "/module/usblp"); }

  void CheckUsblp(const std::vector<UsbPrinter>& usb) {
    if (UsblpLoaded()) {
      Pass("usblp", "usblp", "the usblp driver is loaded");
      return;
    }
    const bool unbound = std::any_of(usb.begin(), usb.end(), [](const UsbPrinter& p) { return p.driver.empty(); });
    if (unbound) {
      Fail("usblp", "usblp", "the usblp driver is not loaded: a USB printer without it has no /dev/usb/lp node",
           "sudo modprobe usblp (and remove any 'blacklist usblp' line from /etc/modprobe.d/)");
    } else {
      Pass("usblp", "usblp", "the usblp driver is not loaded; it loads when a USB printer is plugged in");
    }
  }

  void CheckUsbPrinter(const UsbPrinter& p) {
    if (p.driver == "usblp") {
      Pass("usb-printer", p.name, "driven by usblp" + (p.node.empty() ? std::string() : " as " + p.node));
      return;
    }
    // A printer taken by ipp-usb or by CUPS's usb backend is claimed through
    // /dev/bus/usb; usblp then lets go of it and there is no lp node.
    std::vector<std::string> holders;
    bool ippUsb = false, cups = false;
    for (const Holder& h : FindHolders(roots_, p.busNode)) {
      holders.push_back(h.name + " (pid " + std::to_string(h.pid) + ")");
      ippUsb = ippUsb || h.name == "ipp-usb";
      cups = cups || h.name == "usb" || h.name == "cupsd";
    }
    if (!ippUsb && p.ippUsb && !FindProcesses(roots_, "ipp-usb").empty()) ippUsb = true;
    const std::string held = holders.empty() ? std::string() : "; held by " + Join(holders, ", ");
    if (ippUsb) {
      Fail("usb-printer", p.name, "taken by ipp-usb: the printer has no /dev/usb/lp node" + held,
           "sudo systemctl stop ipp-usb while this tool is used (sudo systemctl disable --now ipp-usb keeps it off), "
           "then unplug and replug the printer");
    } else if (cups) {
      Fail("usb-printer", p.name, "taken by CUPS's usb backend: the printer has no /dev/usb/lp node" + held,
           "wait for the print job to end, or stop CUPS while this tool is used (sudo systemctl stop cups), "
           "then unplug and replug the printer");
    } else if (p.driver.empty() && !UsblpLoaded()) {
      Fail("usb-printer", p.name, "no driver: usblp is not loaded, so there is no /dev/usb/lp node" + held,
           "sudo modprobe usblp");
    } else {
      Fail("usb-printer", p.name,
           "not driven by usblp (driver: " + (p.driver.empty() ? std::string("none") : p.driver) +
               "): the printer has no /dev/usb/lp node" + held,
           "close the program holding it, then unplug and replug the printer");
    }
  }

  // The ports a printer may be on: USB printers, serial ports with hardware
  // behind them (a legacy ttyS port only when its UART type is known) and
  // parallel ports.
  std::vector<std::string> CandidatePorts() {
    std::vector<std::string> ports;
    for (const std::string& lp : Entries(roots_.sys + "/class/usbmisc"))
      if (StartsWith(lp, "lp")) ports.push_back("/dev/usb/" + lp);
    const std::string tty = roots_.sys + "/class/tty";
    for (const std::string& name : Entries(tty)) {
      if (!StartsWith(name, "tty") || !Exists(tty + "/" + name + "/device")) continue;
      if (StartsWith(name, "ttyS")) {
        const std::string type = FirstLine(tty + "/" + name + "/type");
        if (type.empty() || type == "0") continue;
      }
      ports.push_back("/dev/" + name);
    }
    for (const std::string& lp : Entries(roots_.sys + "/class/printer"))
      if (StartsWith(lp, "lp")) ports.push_back("/dev/" + lp);
    return ports;
  }

  static bool MayOpen(const Identity& who, const NodeInfo& node) {
    if (who.uid == 0) return true;
    if (who.uid == node.uid) return (node.mode & 0600) == 0600;
    if (who.InSession(node.gid)) return (node.mode & 060) == 060;
    return (node.mode & 06) == 06;
  }

  void CheckPort(const std::string& path) {
    // A network printer has no node, owner or holders to look at: it
    // connects or it does not.
    if (LooksLikeTcpAddress(path)) {
      OpenResult port = OpenLink(path);
      if (!port.ok()) {
        Fail("port", path, port.ErrorText(),
             "check the printer's address, and that it is switched on and on the network");
        return;
      }
      Pass("port", path, "network printer, connects");
      Probe(path, *port.link);
      return;
    }
    const NodeInfo node = InspectNode(roots_, path);
    if (!node.exists) {
      OpenDiagnosis d;
      d.cause = OpenCause::NoDevice;
      d.path = path;
      FailWith("port", path, d);
      return;
    }
    bool busyReported = false;
    if (node.charDevice) {
      OpenResult port = OpenLink(roots_.Node(path));
      if (!port.ok()) {
        const OpenDiagnosis d = DiagnoseOpenFailure(roots_, path, port.err);
        FailWith("port", path, d).detail += " [" + node.Describe() + "]";
        busyReported = d.cause == OpenCause::Busy;
      } else {
        Pass("port", path, node.Describe() + ", opens");
        Probe(path, *port.link);
      }
    } else if (roots_.IsMachine()) {
      Fail("port", path, node.Describe() + ": not a character device", "choose the printer's device node");
    } else {
      // A prepared tree holds plain files: they are judged by their
      // owner, group and mode alone.
      if (MayOpen(ReadIdentity(roots_), node)) {
        Pass("port", path, node.Describe() + ", opens by its permissions");
      } else {
        FailWith("port", path, DiagnoseOpenFailure(roots_, path, EACCES)).detail += " [" + node.Describe() + "]";
      }
    }
    if (busyReported) return;
    bool hidden = false;
    OpenDiagnosis held;
    held.cause = OpenCause::Busy;
    held.path = path;
    std::vector<std::string> otherEnd;
    for (const Holder& h : FindHolders(roots_, path, &hidden)) {
      if (h.ptyMaster) otherEnd.push_back(h.name + " (pid " + std::to_string(h.pid) + ")");
      else held.holders.push_back(h);
    }
    if (!held.holders.empty()) {
      Finding& f = FailWith("holders", path, held);
      QJsonArray list;
      for (const Holder& h : held.holders) list.append(QJsonObject{{"pid", h.pid}, {"name", QString::fromStdString(h.name)}});
      f.data.insert("holders", list);
    } else {
      std::string detail = hidden ? "no other program of this user has it open (other users' programs cannot be seen)"
                                  : "no other program has it open";
      if (!otherEnd.empty()) detail += "; the other end of the pseudo-terminal is " + Join(otherEnd, ", ");
      Pass("holders", path, detail);
    }
  }

  // The drain gives a slow printer little time: its answer may still be on
  // the way and would be taken for the probe's. Waits until the line has
  // been quiet for a while (bounded); false when the printer went away.
  static bool AwaitQuiet(Link& link, char* buffer, int size) {
    constexpr milliseconds kQuietSpell{200};
    constexpr milliseconds kQuietBound{2000};
    const Deadline limit = Deadline::After(kQuietBound);
    while (!limit.Passed()) {
      const IoResult r = link.ReadNow(buffer, size, kQuietSpell);
      if (r.lost()) return false;
      if (r.fault == PortFault::TimedOut) return true;
    }
    return true;
  }

  void Probe(const std::string& path, Link& port) {
    // USB printers answer in one transfer; a terminal is a serial line.
    if (port.Kind() == LinkKind::Terminal) port.SetTiming(DefaultReplyTiming(LinkKind::Terminal, true));
    char buffer[kLineBufferSize];
    PrinterInfo info;
    int form = -1;
    double ms = 0;
    if (DrainPort(port, buffer, sizeof buffer) >= 0 && AwaitQuiet(port, buffer, sizeof buffer)) {
      const auto start = std::chrono::steady_clock::now();
      form = ProbePrinterModel(port, buffer, sizeof buffer, info);
      ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }
    if (form < 0) {
      Fail("probe", path, "the printer went away during the model probe", "check the cable and the printer's power");
      return;
    }
    if (info.modelName[0] == '\0') {
      Fail("probe", path, "no answer to getvar \"model\"",
           "switch the printer on; a serial printer must be at the port's speed and use 8 data bits, no parity");
      return;
    }
    std::vector<std::string> langs;
    for (auto [bit, word] : {std::pair{kLangCpcl, "CPCL"}, {kLangEscpos, "ESCPOS"}, {kLangTspl, "TSPL"}, {kLangZpl, "ZPL"}})
      if (info.languageMask & bit) langs.push_back(word);
    char latency[32];
    std::snprintf(latency, sizeof latency, "%.1f", ms);
    Finding& f = Pass("probe", path,
                      std::string(info.modelName) + ", model number " + std::to_string(info.modelNumber) +
                          ", languages " + (langs.empty() ? "none" : Join(langs, ",")) + ", " +
                          (info.named() ? "named" : "numbered") + " form; reply in " + latency + " ms");
    f.data.insert("model", QString::fromLatin1(info.modelName));
    f.data.insert("number", info.modelNumber);
    f.data.insert("languages", QString::fromStdString(Join(langs, ",")));
    f.data.insert("form", info.named() ? "named" : "numbered");
    f.data.insert("latency_ms", ms);
  }

  // ModemManager opens every new ttyACM device and sends AT commands for
  // the first seconds, unless udev marks the device ID_MM_DEVICE_IGNORE.
  void CheckModemManager(const std::vector<std::string>& ports) {
    std::vector<std::string> acm;
    for (const std::string& p : ports)
      if (StartsWith(p, "/dev/ttyACM")) acm.push_back(p);
    if (acm.empty()) return;
    const std::vector<int> mm = FindProcesses(roots_, "ModemManager");
    if (mm.empty()) {
      Pass("modemmanager", "ModemManager", "not running");
      return;
    }
    for (const std::string& p : acm) {
      const std::string name = p.substr(5);
      const std::string cls = roots_.sys + "/class/tty/" + name;
      const std::string devnum = FirstLine(cls + "/dev");
      std::ifstream udev(roots_.run + "/udev/data/c" + devnum);
      bool ignored = false;
      for (std::string line; std::getline(udev, line);) ignored = ignored || line == "E:ID_MM_DEVICE_IGNORE=1";
      if (ignored) {
        Pass("modemmanager", p, "ModemManager is running and leaves " + p + " alone (ID_MM_DEVICE_IGNORE=1)");
        continue;
      }
      // The USB device is the parent of the tty's interface.
      std::string vendor = FirstLine(cls + "/device/../idVendor"), product = FirstLine(cls + "/device/../idProduct");
      if (vendor.empty()) vendor = "VVVV";
      if (product.empty()) product = "PPPP";
      Fail("modemmanager", p,
           "ModemManager (pid " + std::to_string(mm.front()) + ") is running and probes " + p +
               " with AT commands for the first seconds after it appears",
           "echo 'ATTRS{idVendor}==\"" + vendor + "\", ATTRS{idProduct}==\"" + product +
               "\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"' | sudo tee /etc/udev/rules.d/99-deveder-printer.rules; "
               "sudo udevadm control --reload; then unplug and replug the printer");
    }
  }

  SystemRoots roots_;
  int lang_;
  std::vector<Finding> findings_;
};

const char* VerdictWord(Verdict v) { return v == Verdict::Pass ? "pass" : "fail"; }

}  // namespace

int CmdDoctor(const Options& options, const Args& args) {
  std::string port = options.port;
  std::string root;
  bool json = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") json = true;
    else if ((a == "--port" || a == "--root") && i + 1 < args.size()) (a == "--port" ? port : root) = args[++i];
    else return Usage("doctor: unknown argument " + a);
  }
  const int lang = options.lang ? options.lang : SystemDefaultLangId();
  Doctor doctor(root.empty() ? SystemRoots{} : SystemRoots::Under(root), lang);
  doctor.Run(port);

  const auto& findings = doctor.Findings();
  if (json) {
    QJsonArray checks;
    for (const Finding& f : findings) {
      QJsonObject o = f.data;
      o.insert("check", QString::fromStdString(f.check));
      o.insert("subject", QString::fromStdString(f.subject));
      o.insert("verdict", VerdictWord(f.verdict));
      o.insert("detail", QString::fromStdString(f.detail));
      o.insert("fix", QString::fromStdString(f.fix));
      checks.append(o);
    }
    const QJsonObject top{{"ok", doctor.AllPassed()}, {"checks", checks}};
    std::fputs(QJsonDocument(top).toJson(QJsonDocument::Indented).constData(), stdout);
  } else {
    int failed = 0;
    for (const Finding& f : findings) {
      const bool ok = f.verdict == Verdict::Pass;
      failed += ok ? 0 : 1;
      std::printf("%s %s%s%s: %s\n", ok ? "[ ok ]" : "[FAIL]", f.check.c_str(), f.subject.empty() ? "" : " ",
                  f.subject.c_str(), f.detail.c_str());
      if (!f.fix.empty()) std::printf("       fix: %s\n", f.fix.c_str());
    }
    std::printf("%d checks: %d passed, %d failed\n", static_cast<int>(findings.size()),
                static_cast<int>(findings.size()) - failed, failed);
  }
  return doctor.AllPassed() ? kExitOk : kExitFailed;
}

}  // namespace deveder::cli
