// deveder-cli doctor: the usual reasons a printer "does not work" on Linux,
// each checked and explained with a verdict and a fix: the user's groups,
// each port's node and who holds it, the usblp driver, CUPS and ipp-usb
// taking a USB printer, ModemManager probing ttyACM ports, and a model probe
// of every port that opens.
//
// Everything is read below a set of roots (sysfs, /dev, /proc, /etc, /run),
// so that `--root DIR` runs the checks over a prepared tree.
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "cli/cli_commands.h"
#include "pages/core/printable.h"
#include "link/link.h"
#include "link/tcp_connect.h"
#include "link/port_access.h"
#include "link/sys_files.h"
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

// The system's small files are read by the port layer's reader (a FIFO or a
// device in a prepared tree gives nothing rather than blocking or growing);
// a folder's names in order, so that the findings come in the same order.
std::vector<std::string> SortedEntries(const std::string& dir) {
  std::vector<std::string> names;
  for (std::string& name : Entries(dir))
    if (name[0] != '.') names.push_back(std::move(name));
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

  // `port` alone when given; else the ports of the walk, opened and asked
  // for their model only with `probe` (a modem or another device may be on
  // a serial port, and opening one raises its modem lines).
  void Run(const std::string& port, bool probe) {
    std::vector<std::string> ports;
    if (!port.empty()) ports.push_back(port);
    else ports = CandidatePorts();
    probe_ = probe || !port.empty();
    CheckGroups(ports);
    const std::vector<UsbPrinter> usb = UsbPrinters();
    CheckUsblp(usb);
    for (const UsbPrinter& p : usb) CheckUsbPrinter(p);
    if (ports.empty()) {
      Fail("ports", "", "No printer port was found: no USB printer with a /dev/usb/lp node, no serial or parallel port.",
           "plug the printer in and switch it on; with a USB printer see the usblp and usb-printer checks above.");
    } else if (!probe_) {
      Pass("ports", "", "found " + Join(ports, ", ") +
                            "; judged by their owner, group and mode and not opened (--probe opens each and asks "
                            "for its model, --port PATH checks one)");
    } else if (port.empty()) {
      Pass("ports", "", "found " + Join(ports, ", ") + "; --probe: each is opened and asked for its model");
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
  // The group that opens `port`: its node's group when the node lets its
  // group in and not everyone; else the Debian group of its kind. None for
  // a network printer, a port anyone may open, or one only root may.
  std::string GroupFor(const std::string& port) const {
    if (LooksLikeTcpAddress(port)) return {};
    const NodeInfo node = InspectNode(roots_, port);
    if (node.exists) {
      if ((node.mode & 06) == 06 || (node.mode & 060) != 060 || node.gid == 0) return {};
      return node.group;
    }
    return StartsWith(port, "/dev/tty") ? "dialout" : StartsWith(port, "/dev/usb/lp") || StartsWith(port, "/dev/lp") ? "lp" : "";
  }

  void CheckGroups(const std::vector<std::string>& ports) {
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
    std::vector<std::string> needed;
    for (const std::string& port : ports)
      if (const std::string g = GroupFor(port); !g.empty() && std::find(needed.begin(), needed.end(), g) == needed.end())
        needed.push_back(g);
    if (needed.empty()) {
      Pass("groups", who.user, "no port checked needs a group (" + detail + ")");
      return;
    }
    std::vector<std::string> missing, stale;
    for (const std::string& name : needed) {
      const GroupEntry* g = FindGroup(groups, name);
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
    for (const std::string& name : SortedEntries(devices)) {
      if (name.find(':') == std::string::npos) continue;
      const std::string iface = devices + "/" + name;
      if (ReadFirstLine(iface + "/bInterfaceClass") != "07") continue;
      UsbPrinter p;
      p.interface = name;
      p.driver = LinkTarget(iface + "/driver");
      p.ippUsb = ReadFirstLine(iface + "/bInterfaceProtocol") == "04";
      for (const std::string& lp : SortedEntries(iface + "/usbmisc"))
        if (StartsWith(lp, "lp")) p.node = "/dev/usb/" + lp;
      const std::string dev = devices + "/" + name.substr(0, name.find(':'));
      std::string label = ReadFirstLine(dev + "/manufacturer");
      const std::string product = ReadFirstLine(dev + "/product");
      if (!product.empty()) label += (label.empty() ? "" : " ") + product;
      p.name = label.empty() ? "USB printer " + name : label + " (" + name + ")";
      const std::string bus = ReadFirstLine(dev + "/busnum"), num = ReadFirstLine(dev + "/devnum");
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
    for (const std::string& lp : SortedEntries(roots_.sys + "/class/usbmisc"))
      if (StartsWith(lp, "lp")) ports.push_back("/dev/usb/" + lp);
    const std::string tty = roots_.sys + "/class/tty";
    for (const std::string& name : SortedEntries(tty)) {
      if (!StartsWith(name, "tty") || !Exists(tty + "/" + name + "/device")) continue;
      if (StartsWith(name, "ttyS")) {
        const std::string type = ReadFirstLine(tty + "/" + name + "/type");
        if (type.empty() || type == "0") continue;
      }
      ports.push_back("/dev/" + name);
    }
    for (const std::string& lp : SortedEntries(roots_.sys + "/class/printer"))
      if (StartsWith(lp, "lp")) ports.push_back("/dev/" + lp);
    return ports;
  }

  // A port only root may open: the rule that gives it to the group of its
  // kind, to put in a file of its own.
  static std::string UdevRuleFix(const std::string& path) {
    const std::string name = path.substr(path.rfind('/') + 1);
    const bool tty = StartsWith(path, "/dev/tty");
    const std::string subsystem =
        tty ? "" : StartsWith(path, "/dev/usb/") ? "SUBSYSTEM==\"usbmisc\", " : "SUBSYSTEM==\"printer\", ";
    const std::string rule =
        subsystem + "KERNEL==\"" + name + "\", GROUP=\"" + (tty ? "dialout" : "lp") + "\", MODE=\"0660\"";
    return "a udev rule gives the port to its group: echo '" + rule + "' | sudo tee /etc/udev/rules.d/70-deveder-" +
           name + ".rules; sudo udevadm control --reload; sudo udevadm trigger; then add yourself to the group";
  }

  Finding& FailOpen(const std::string& path, const OpenDiagnosis& d, const NodeInfo& node) {
    Finding& f = FailWith("port", path, d);
    f.detail += " [" + node.Describe() + "]";
    if (d.cause == OpenCause::PermissionOther && node.exists && node.gid == 0) f.fix = UdevRuleFix(path);
    return f;
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
    if (node.charDevice && probe_) {
      OpenResult port = OpenLink(roots_.Node(path));
      if (!port.ok()) {
        const OpenDiagnosis d = DiagnoseOpenFailure(roots_, path, port.err);
        FailOpen(path, d, node);
        busyReported = d.cause == OpenCause::Busy;
      } else {
        Pass("port", path, node.Describe() + ", opens");
        Probe(path, *port.link);
      }
    } else if (node.charDevice || !roots_.IsMachine()) {
      // Not to be opened, or a prepared tree's plain file: judged by its
      // owner, group and mode alone.
      if (MayOpen(ReadIdentity(roots_), node)) {
        Pass("port", path, node.Describe() + ", opens by its permissions");
      } else {
        FailOpen(path, DiagnoseOpenFailure(roots_, path, EACCES), node);
      }
    } else {
      Fail("port", path, node.Describe() + ": not a character device", "choose the printer's device node");
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
    // A silent serial printer may be set to another speed: the usual ones
    // are tried in turn (the port's own settings come back when it closes).
    std::uint32_t foundAt = 0;
    if (info.modelName[0] == '\0' && port.Kind() == LinkKind::Terminal) {
      const std::uint32_t was = port.LineSpeed();
      // A printer at the right speed answers at once; each wrong one costs
      // a short wait only.
      ReplyTiming trial = port.Timing();
      trial.firstByte = std::min<microseconds>(trial.firstByte, milliseconds(300));
      port.SetTiming(trial);
      for (std::uint32_t baud : {9600u, 19200u, 38400u, 57600u, 115200u}) {
        if (baud == was || !port.Configure(baud).ok()) continue;
        if (ProbePrinterModel(port, buffer, sizeof buffer, info) < 0) break;
        if (info.modelName[0] != '\0') {
          foundAt = baud;
          break;
        }
      }
    }
    if (info.modelName[0] == '\0') {
      Fail("probe", path, "no answer to getvar \"model\"",
           port.Kind() == LinkKind::Terminal
               ? "switch the printer on; none of 9600, 19200, 38400, 57600 and 115200 bit/s got an answer: check "
                 "the cable and that the printer uses 8 data bits, no parity"
               : "switch the printer on and check the cable");
      return;
    }
    if (foundAt != 0) {
      Finding& speed = Fail("speed", path,
                            "the printer answers at " + std::to_string(foundAt) + " bit/s, not at the port's speed",
                            "choose " + std::to_string(foundAt) + " in the BaudRate box, or give --baud " +
                                std::to_string(foundAt));
      speed.data.insert("baud", static_cast<qint64>(foundAt));
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
      const std::string devnum = ReadFirstLine(cls + "/dev");
      const std::string udev = "\n" + ReadSmallFile(roots_.run + "/udev/data/c" + devnum, 64 * 1024) + "\n";
      const bool ignored = udev.find("\nE:ID_MM_DEVICE_IGNORE=1\n") != std::string::npos;
      if (ignored) {
        Pass("modemmanager", p, "ModemManager is running and leaves " + p + " alone (ID_MM_DEVICE_IGNORE=1)");
        continue;
      }
      // The USB device is the parent of the tty's interface.
      std::string vendor = ReadFirstLine(cls + "/device/../idVendor");
      std::string product = ReadFirstLine(cls + "/device/../idProduct");
      // Four hex digits each, as sysfs gives them; anything else would not
      // be a rule udev can take.
      auto hex4 = [](const std::string& id) {
        return id.size() == 4 && std::all_of(id.begin(), id.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
      };
      if (!hex4(vendor)) vendor = "VVVV";
      if (!hex4(product)) product = "PPPP";
      // One file per printer model: a second printer's fix leaves the
      // first's in place.
      Fail("modemmanager", p,
           "ModemManager (pid " + std::to_string(mm.front()) + ") is running and probes " + p +
               " with AT commands for the first seconds after it appears",
           "echo 'ATTRS{idVendor}==\"" + vendor + "\", ATTRS{idProduct}==\"" + product +
               "\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"' | sudo tee /etc/udev/rules.d/99-deveder-mm-" + vendor + "-" +
               product + ".rules; sudo udevadm control --reload; then unplug and replug the printer");
    }
  }

  SystemRoots roots_;
  int lang_;
  bool probe_ = false;
  std::vector<Finding> findings_;
};

const char* VerdictWord(Verdict v) { return v == Verdict::Pass ? "pass" : "fail"; }

}  // namespace

int CmdDoctor(const Options& options, const Args& args) {
  std::string port = options.port;
  std::string root;
  bool json = false, probe = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") json = true;
    else if (a == "--probe") probe = true;
    else if ((a == "--port" || a == "--root") && (i + 1 >= args.size() || args[i + 1].empty()))
      return Usage("doctor: " + a + " needs a value");
    else if (a == "--port" || a == "--root") (a == "--port" ? port : root) = args[++i];
    else return Usage("doctor: unknown argument " + a);
  }
  const int lang = options.lang ? options.lang : SystemDefaultLangId();
  Doctor doctor(root.empty() ? SystemRoots{} : SystemRoots::Under(root), lang);
  doctor.Run(port, probe);

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
      // Details carry process names, model names and paths of the system.
      std::printf("%s %s%s%s: %s\n", ok ? "[ ok ]" : "[FAIL]", f.check.c_str(), f.subject.empty() ? "" : " ",
                  Shown(f.subject).c_str(), Shown(f.detail).c_str());
      if (!f.fix.empty()) std::printf("       fix: %s\n", Shown(f.fix).c_str());
    }
    std::printf("%d checks: %d passed, %d failed\n", static_cast<int>(findings.size()),
                static_cast<int>(findings.size()) - failed, failed);
  }
  return doctor.AllPassed() ? kExitOk : kExitFailed;
}

}  // namespace deveder::cli
