// deveder-cli: every page action from the command line, over the same page
// logic as the window.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "cli/cli_args.h"
#include "cli/cli_commands.h"
#include "pages/backup/backup_pages.h"
#include "pages/core/printable.h"
#include "link/link.h"
#include "link/std_streams_posix.h"
#include "link/port_walk.h"
#include "pages/core/port_cause.h"
#include "protocol/command_line.h"
#include "protocol/printer_info.h"
#include "protocol/text_codec.h"
#include "resources/strings.h"
#include "resources/version.h"

namespace deveder::cli {

namespace {

const char kHelp[] =
    "usage: deveder-cli [OPTIONS] COMMAND ... (options may stand anywhere on the line)\n"
    "\n"
    "commands:\n"
    "  ports                                   the port walk's paths, one a line (USB mode, or serial with --serial)\n"
    "  probe                                   the model probe; prints model name, model number, language mask, form\n"
    "  settings read [--json] [--replies]      --replies: each request and the printer's answer as received\n"
    "  settings write NAME=VALUE ...\n"
    "  wifi read [--json] [--replies]  | wifi write NAME=VALUE ...\n"
    "  bt read [--json] [--replies]    | bt write NAME=VALUE ...\n"
    "  test testpage|bluetooth|demo|hexdump|raw|mark|calibrate\n"
    "  test factory-default [--yes]            asks on a terminal; needs --yes otherwise\n"
    "  font download [--kind standard|extended|demo] FILE\n"
    "  firmware download FILE\n"
    "  backup FILE                             settings, WiFi and Bluetooth Reads into one JSON file\n"
    "  restore [--with-identity] FILE          check the file, then Read, apply its values, Write, Read again\n"
    "  verify FILE                             Read and compare with a backup; exit 1 with the differences listed\n"
    "  doctor [--port PATH] [--probe] [--json] [--root DIR]\n"
    "                                          check groups, ports, drivers and services; probe the --port given,\n"
    "                                          or with --probe every port of the walk\n"
    "                                          (--root: read /sys, /dev, /proc, /etc and /run below DIR)\n"
    "  names settings|wifi|bt                  the page's variable names, one a line\n"
    "\n"
    "options:\n"
    "  --port PORT    device path or network address (HOST, HOST:PORT, [V6]:PORT, tcp://HOST[:PORT]; port 9100\n"
    "                 when none); default: the first entry of the port walk in the chosen mode\n"
    "  --serial       the port is a serial port (serial walk, pauses, XOR firmware framing)\n"
    "  --baud N       serial speed of every action on a serial port, and the firmware download's first\n"
    "                 (default: the port's own speed; the firmware download's first is 9600)\n"
    "  --lang zh|en   act as a Chinese (2052) or other (1033) system (default: from the locale)\n"
    "  --reply-wait MS  how long a printer may take to start each answer, 50 to 10000 (default 1000):\n"
    "                 longer for a printer that is slow to wake, shorter to scan many printers quickly\n"
    "  --trace FILE   write every byte sent and received, with times, as text\n"
    "  --all          probe, PAGE read, backup DIR, restore FILE, verify FILE on every printer in turn: each\n"
    "                 --port given, or every port of the walk; a summary line per port; exit 1 if any failed\n"
    "  --ports FILE   with --all: the ports (device paths or network addresses) listed in FILE, one a line;\n"
    "                 blank lines and lines starting with # are skipped\n"
    "\n"
    "  --version      print the version and exit\n"
    "  --help         this text; after a command, that command's\n"
    "\n"
    "exit status: 0 the action did all it exists for, 1 it failed or stopped part-way (doctor: a check\n"
    "failed), 2 usage (found before any port is looked up or opened)\n";

// One command's help.
struct CommandHelp {
  const char* command;
  const char* text;
};

const CommandHelp kCommandHelp[] = {
    {"ports", "usage: deveder-cli ports [--serial]\nThe port walk's paths, one a line.\n"},
    {"probe", "usage: deveder-cli probe [--port PATH]\nSends the model probe; prints model name, model number,\n"
              "language mask and line form. Exit 1 when the printer gives no answer.\n"},
    {"settings", "usage: deveder-cli settings read [--json] [--replies]\n       deveder-cli settings write NAME=VALUE ...\n"
                 "read: the values the page's Write would send after a Read.\n"
                 "write: Read, change exactly the named controls, then send what the window's Write sends.\n"
                 "An empty value empties an edit (mfg= is sent empty; sn= is not sent). A list takes one of its\n"
                 "items, a choice 0 or 1. Names: deveder-cli names settings.\n"},
    {"wifi", "usage: deveder-cli wifi read [--json] [--replies]\n       deveder-cli wifi write NAME=VALUE ...\n"
             "wlan.mode 1|2|3, wlan.dhcp 0|1, wlan.apac 0|1, wlan.ap and wlan.sta up to five comma-separated\n"
             "fields (SSID,password,address,mask,gateway). wlan.mac and wlan.lip are shown only.\n"},
    {"bt", "usage: deveder-cli bt read [--json] [--replies]\n       deveder-cli bt write NAME=VALUE ...\n"
           "Every value must be non-empty; bluetooth.baud and bluetooth.cod take one of their list's items.\n"},
    {"test", "usage: deveder-cli test testpage|bluetooth|demo|hexdump|raw|mark|calibrate\n"
             "       deveder-cli test factory-default [--yes]\n"
             "factory-default asks for confirmation on a terminal and needs --yes otherwise.\n"},
    {"font", "usage: deveder-cli font download [--kind standard|extended|demo] FILE\n"},
    {"firmware", "usage: deveder-cli firmware download FILE\n"},
    {"backup", "usage: deveder-cli backup FILE\nReads settings, WiFi and Bluetooth into one JSON file (mode 0600).\n"},
    {"restore", "usage: deveder-cli restore [--with-identity] FILE\n"
                "Checks the whole file, then Reads, applies the file's values and Writes each page, and Reads\n"
                "again; what differs is listed. sn and bluetooth.address only with --with-identity.\n"},
    {"verify", "usage: deveder-cli verify [--all] FILE\nReads the pages the backup FILE holds and compares them\n"
               "with it: exit 0 when equal, 1 with each difference on standard output.\n"},
    {"doctor", "usage: deveder-cli doctor [--port PATH] [--probe] [--json] [--root DIR]\n"
               "Only the --port given, or with --probe every port of the walk, is opened and asked for its model.\n"},
    {"names", "usage: deveder-cli names settings|wifi|bt\n"},
};

}  // namespace

int CmdProbe(Session& session, const Args& args) {
  if (!args.empty()) return Usage("probe takes no arguments");
  if (int rc = session.RequirePort()) return rc;
  OpenResult port = OpenLink(session.Port(), session.Link().Options());
  if (!port.ok()) {
    std::fprintf(stderr, "probe: %s\n%s\n", LoadString(kStrUnconnectPrinter, session.Lang()).toUtf8().constData(),
                 Shown(OpenFailureReason(port, session.Port(), session.Lang())).c_str());
    return kExitFailed;
  }
  char buffer[kLineBufferSize];
  PrinterInfo& info = session.Printer();
  if (ProbePrinterModel(*port.link, buffer, sizeof buffer, info) < 0) {
    std::fprintf(stderr, "probe: %s\n", kMsgConnectionLost.toUtf8().constData());
    return kExitFailed;
  }
  if (info.modelName[0] == '\0') {
    std::fprintf(stderr, "probe: no answer to the model probe on %s\n", Shown(session.Port()).c_str());
    return kExitFailed;
  }
  std::string languages;
  for (auto [bit, word] : {std::pair{kLangCpcl, "CPCL"}, {kLangEscpos, "ESCPOS"}, {kLangTspl, "TSPL"}, {kLangZpl, "ZPL"}})
    if (info.languageMask & bit) languages += std::string(languages.empty() ? "" : ",") + word;
  std::printf("model name    %s\n", ModelNameShown(session).c_str());
  std::printf("model number  %d\n", info.modelNumber);
  std::printf("languages     0x%02X %s\n", info.languageMask, languages.c_str());
  std::printf("form          %s\n", info.named() ? "named" : "numbered");
  return kExitOk;
}

int CmdNames(const Args& args) {
  if (args.size() != 1) return Usage("names takes one page: settings, wifi or bt");
  for (const PageDef* def : {&SettingsDef(), &WifiDef(), &BluetoothDef()}) {
    if (args[0] != def->command) continue;
    for (const char* name : def->vars) std::printf("%s\n", name);
    return kExitOk;
  }
  return Usage("names: unknown page " + args[0]);
}

using Handler = int (*)(Session&, const Args&);

// A run whose standard output could not be written in full has failed.
int FinishOutput(int rc) {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return rc;
  std::fprintf(stderr, "deveder-cli: standard output could not be written in full\n");
  return rc == kExitOk ? kExitFailed : rc;
}

// Runs one command on every printer in turn: each port given with --port,
// or else every port of the walk. One failing does not stop the others; a
// summary line per port ends the run.
int RunOnAll(const Options& options, std::vector<std::string> ports, const std::string& command, Handler handler,
             const Args& args) {
  const bool allowed = command == "probe" || command == "backup" || command == "restore" || command == "verify" ||
                       ((command == "settings" || command == "wifi" || command == "bt") && !args.empty() &&
                        args[0] == "read");
  if (!allowed) return Usage("--all runs probe, PAGE read, backup DIR, restore FILE and verify FILE");
  if (!options.traceFile.empty()) return Usage("--trace follows one printer; it cannot be used with --all");
  struct stat st {};
  if (command == "backup" && (args.size() != 1 || ::lstat(args[0].c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
    return Usage("backup --all needs a directory (not a link to one), where each printer gets a file named after its port");
  if (ports.empty()) {
    auto source = MakeSystemDeviceSource();
    PortTable table;
    ListPrinterPorts(table, *source, options.serial);
    for (int i = 0; i < table.count; ++i) ports.push_back(table.paths[static_cast<std::size_t>(i)]);
  }
  if (ports.empty()) {
    std::fprintf(stderr, "deveder-cli: no port found%s\n", options.serial ? " in serial mode" : "; try --serial or --port");
    return kExitFailed;
  }
  struct Result {
    std::string port, model;
    int rc;
  };
  std::vector<Result> results;
  std::set<std::string> written;  // the backup files of this run
  for (const std::string& port : ports) {
    Options one = options;
    one.port = port;
    Args theseArgs = args;
    std::printf("== %s\n", Shown(port).c_str());
    std::fflush(stdout);
    if (command == "backup") {
      theseArgs[0] = args[0] + "/" + BackupFileName(port);
      // The same port twice, or two spellings of it: the second would
      // replace the first's file.
      if (!written.insert(theseArgs[0]).second) {
        std::fprintf(stderr, "backup: %s was written earlier in this run; not replaced\n", Shown(theseArgs[0]).c_str());
        results.push_back({port, {}, kExitFailed});
        continue;
      }
    }
    Session session(one);
    const int rc = handler(session, theseArgs);
    // A usage error is the same on every printer: there is no use going on.
    if (rc == kExitUsage) return rc;
    results.push_back({port, ModelNameShown(session), rc});
  }
  int failed = 0;
  for (const Result& r : results) {
    std::printf("%s  %s  %s\n", Shown(r.port).c_str(), r.model.empty() ? "(no model)" : r.model.c_str(),
                r.rc == kExitOk ? "OK" : "FAILED");
    failed += r.rc == kExitOk ? 0 : 1;
  }
  if (std::fflush(stdout) != 0) return kExitFailed;
  return failed ? kExitFailed : kExitOk;
}

}  // namespace deveder::cli

int main(int argc, char** argv) {
  using namespace deveder::cli;
  // Whether descriptor 1 was closed when the run began, before it is filled.
  const bool stdoutClosed = fcntl(STDOUT_FILENO, F_GETFD) == -1 && errno == EBADF;
  // Before anything is opened: the port must never become stdout or stderr.
  deveder::EnsureStandardStreams();
  CommandLine line;
  if (std::string error = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), ReadPortListFile, line);
      !error.empty())
    return Usage(error);
  if (stdoutClosed && PrintsValues(line)) {
    std::fprintf(stderr, "deveder-cli: standard output is closed: what this command prints would be lost\n");
    return kExitFailed;
  }
  if (line.version) {
    std::printf("deveder-cli %s\n", deveder::kProgramVersion);
    return FinishOutput(kExitOk);
  }
  if (line.help) {
    const CommandHelp* help = nullptr;
    for (const CommandHelp& h : kCommandHelp)
      if (!line.words.empty() && line.words[0] == h.command) help = &h;
    std::fputs(help ? help->text : kHelp, stdout);
    return FinishOutput(kExitOk);
  }
  if (std::string error = CheckCommandLine(line); !error.empty()) return Usage(error);
  const Options& options = line.options;
  const std::string command = line.words[0];
  const Args args(line.words.begin() + 1, line.words.end());
  if (command == "ports") {
    if (!args.empty()) return Usage("ports takes no arguments");
    return FinishOutput(CmdPorts(options));
  }
  if (command == "doctor") return FinishOutput(CmdDoctor(options, args));
  if (command == "names") return FinishOutput(CmdNames(args));
  const std::pair<const char*, Handler> table[] = {
      {"probe", CmdProbe},     {"settings", CmdSettings}, {"wifi", CmdWifi},         {"bt", CmdBluetooth},
      {"test", CmdTest},       {"font", CmdFont},         {"firmware", CmdFirmware}, {"backup", CmdBackup},
      {"restore", CmdRestore}, {"verify", CmdVerify},
  };
  for (const auto& [name, handler] : table) {
    if (command != name) continue;
    if (line.all) return FinishOutput(RunOnAll(options, line.ports, command, handler, args));
    if (std::string error = TraceProblem(options); !error.empty()) return Usage(error);
    Session session(options);
    // Each command checks its arguments, then asks the session for the
    // port, which opens the trace.
    int rc = handler(session, args);
    std::string error;
    if (!session.FinishTrace(error)) {
      std::fprintf(stderr, "deveder-cli: the trace could not be written in full: %s\n", deveder::Shown(error).c_str());
      rc = rc == kExitOk ? kExitFailed : rc;
    }
    return FinishOutput(rc);
  }
  return Usage("unknown command " + command);
}
