// deveder-cli: every page action from the command line, over the same page
// logic as the window.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/cli_commands.h"
#include "cli/snapshot.h"
#include "link/port.h"
#include "link/std_streams_posix.h"
#include "pages/core/port_cause.h"
#include "protocol/command_line.h"
#include "protocol/printer_info.h"
#include "protocol/text_codec.h"
#include "resources/strings.h"
#include "resources/version.h"

namespace deveder::cli {

namespace {

const char kHelp[] =
    "usage: deveder-cli [--port PATH] [--serial] [--baud N] [--lang zh|en] [--trace FILE] COMMAND ...\n"
    "\n"
    "commands:\n"
    "  ports                                   the port walk's paths, one a line (USB mode, or serial with --serial)\n"
    "  probe                                   the model probe; prints model name, model number, language mask, form\n"
    "  settings read [--json]\n"
    "  settings write NAME=VALUE ...\n"
    "  wifi read [--json]      | wifi write NAME=VALUE ...\n"
    "  bt read [--json]        | bt write NAME=VALUE ...\n"
    "  test testpage|bluetooth|demo|hexdump|raw|mark|calibrate|factory-default\n"
    "  font download [--kind standard|extended|demo] FILE\n"
    "  firmware download FILE\n"
    "  backup FILE                             settings, WiFi and Bluetooth Reads into one JSON file\n"
    "  restore [--with-identity] FILE          Read, apply the file's values, Write, Read again; report what differs\n"
    "  doctor [--port PATH] [--json] [--root DIR]\n"
    "                                          check groups, ports, drivers and services; probe each port that opens\n"
    "                                          (--root: read /sys, /dev, /proc, /etc and /run below DIR)\n"
    "  names settings|wifi|bt                  the page's variable names, one a line\n"
    "\n"
    "options:\n"
    "  --port PATH    device to open (default: the first entry of the port walk in the chosen mode)\n"
    "  --serial       the port is a serial port (serial walk, pauses, XOR firmware framing)\n"
    "  --baud N       serial speed for the firmware download (default 9600)\n"
    "  --lang zh|en   act as a Chinese (2052) or other (1033) system (default: from the locale)\n"
    "  --trace FILE   write every byte sent and received, with times, as text\n"
    "\n"
    "  --version      print the version and exit\n"
    "\n"
    "exit status: 0 success, 1 the action failed (doctor: a check failed), 2 usage\n";

}  // namespace

int Usage(const std::string& message) {
  std::fprintf(stderr, "deveder-cli: %s\n(deveder-cli --help for usage)\n", message.c_str());
  return kExitUsage;
}

int CmdProbe(Session& session, const Args& args) {
  if (!args.empty()) return Usage("probe takes no arguments");
  ScopedPort port(OpenPrinterPort(session.Port()));
  if (!port.valid()) {
    std::fprintf(stderr, "%s\n%s\n", LoadString(kStrUnconnectPrinter, session.Lang()).toUtf8().constData(),
                 LastOpenFailureReason(session.Port(), session.Lang()).toUtf8().constData());
    return kExitFailed;
  }
  char buffer[kLineBufferSize];
  PrinterInfo& info = session.Printer();
  if (ProbePrinterModel(port.get(), buffer, sizeof buffer, info) < 0) {
    std::fprintf(stderr, "%s\n", kMsgConnectionLost.toUtf8().constData());
    return kExitFailed;
  }
  std::string languages;
  for (auto [bit, word] : {std::pair{kLangCpcl, "CPCL"}, {kLangEscpos, "ESCPOS"}, {kLangTspl, "TSPL"}, {kLangZpl, "ZPL"}})
    if (info.languageMask & bit) languages += std::string(languages.empty() ? "" : ",") + word;
  std::printf("model name    %s\n", info.modelName);
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

}  // namespace deveder::cli

int main(int argc, char** argv) {
  // Before anything is opened: the port must never become stdout or stderr.
  deveder::EnsureStandardStreams();
  using namespace deveder::cli;
  Options options;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](const char* what) -> const char* {
      if (i + 1 >= argc) {
        Usage(std::string(what) + " needs a value");
        std::exit(kExitUsage);
      }
      return argv[++i];
    };
    if (a == "--help" || a == "-h") {
      std::fputs(kHelp, stdout);
      return kExitOk;
    } else if (a == "--version") {
      std::printf("deveder-cli %s\n", deveder::kProgramVersion);
      return kExitOk;
    } else if (a == "--port") options.port = value("--port");
    else if (a == "--serial") options.serial = true;
    else if (a == "--baud") {
      const char* v = value("--baud");
      char* end = nullptr;
      long b = std::strtol(v, &end, 10);
      if (!*v || *end || b <= 0 || b > 4000000) return Usage(std::string("bad --baud value: ") + v);
      options.baud = static_cast<int>(b);
    } else if (a == "--lang") {
      const std::string v = value("--lang");
      if (v == "zh") options.lang = deveder::kLangChinese;
      else if (v == "en") options.lang = deveder::kLangEnglish;
      else return Usage("--lang takes zh or en");
    } else if (a == "--trace") options.traceFile = value("--trace");
    else if (a.rfind("--", 0) == 0) return Usage("unknown option " + a);
    else break;
  }
  if (i >= argc) return Usage("no command");
  const std::string command = argv[i++];
  Args args(argv + i, argv + argc);
  if (command == "ports") {
    if (!args.empty()) return Usage("ports takes no arguments");
    return CmdPorts(options);
  }
  if (command == "doctor") return CmdDoctor(options, args);
  if (command == "names") return CmdNames(args);
  using Handler = int (*)(Session&, const Args&);
  const std::pair<const char*, Handler> table[] = {
      {"probe", CmdProbe},     {"settings", CmdSettings}, {"wifi", CmdWifi},         {"bt", CmdBluetooth},
      {"test", CmdTest},       {"font", CmdFont},         {"firmware", CmdFirmware}, {"backup", CmdBackup},
      {"restore", CmdRestore},
  };
  for (const auto& [name, handler] : table) {
    if (command != name) continue;
    Session session(options);
    if (!session.ResolvePort()) {
      std::fprintf(stderr, "%s (no port found%s)\n%s\n",
                   deveder::LoadString(deveder::kStrUnconnectPrinter, session.Lang()).toUtf8().constData(),
                   options.serial ? " in serial mode" : "; try --serial or --port",
                   deveder::OpenFailureReason("", ENOENT, session.Lang()).toUtf8().constData());
      return kExitFailed;
    }
    return handler(session, args);
  }
  return Usage("unknown command " + command);
}
