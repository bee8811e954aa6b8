#include "cli/cli_args.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "cli/input_file.h"
#include "pages/core/printable.h"
#include "protocol/text_codec.h"

namespace deveder::cli {

namespace {

// Longer than any device path or host name with its port.
constexpr std::size_t kLongestPort = 4096;
constexpr std::size_t kLongestPortList = 64 * 1024;

}  // namespace

int Usage(const std::string& message) {
  // A message may quote a word the user gave, which could hold anything.
  std::fprintf(stderr, "deveder-cli: %s\n(deveder-cli --help for usage)\n", Shown(message).c_str());
  return kExitUsage;
}

std::string PortTextProblem(const std::string& port) {
  if (port.empty()) return "an empty port";
  if (port.size() > kLongestPort) return "a port longer than " + std::to_string(kLongestPort) + " bytes";
  if (std::any_of(port.begin(), port.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
    return "a port with a control character in it";
  return {};
}

std::string ParsePortList(const QByteArray& bytes, std::vector<std::string>& ports) {
  int number = 0;
  for (const QByteArray& raw : bytes.split('\n')) {
    ++number;
    const QByteArray line = raw.trimmed();
    if (line.isEmpty() || line.startsWith('#')) continue;
    const std::string port = line.toStdString();
    if (const std::string problem = PortTextProblem(port); !problem.empty())
      return "line " + std::to_string(number) + ": " + problem;
    ports.push_back(port);
  }
  return {};
}

std::string ReadPortListFile(const std::string& file, std::vector<std::string>& ports) {
  std::string why;
  const std::optional<std::string> bytes = ReadRegularFile(file, kLongestPortList, &why);
  if (!bytes) return "--ports: " + file + " is no regular file of at most 64 KiB (" + why + ")";
  const std::string problem = ParsePortList(QByteArray::fromStdString(*bytes), ports);
  return problem.empty() ? problem : "--ports: " + file + ", " + problem;
}

std::string ParseCommandLine(const std::vector<std::string>& argv, const PortListReader& readList, CommandLine& out) {
  for (std::size_t i = 0; i < argv.size(); ++i) {
    const std::string& a = argv[i];
    if (a == "--") {
      out.words.insert(out.words.end(), argv.begin() + static_cast<std::ptrdiff_t>(i) + 1, argv.end());
      break;
    }
    const bool takesValue =
        a == "--port" || a == "--ports" || a == "--baud" || a == "--lang" || a == "--trace" || a == "--reply-wait";
    if (takesValue && i + 1 >= argv.size()) return a + (a == "--ports" ? " needs a file" : " needs a value");
    const std::string v = takesValue ? argv[++i] : std::string();
    if (a == "--help" || a == "-h") {
      out.help = true;
    } else if (a == "--version") {
      out.version = true;
      return {};
    } else if (a == "--ports") {
      if (v.empty()) return "--ports needs a file";
      if (std::string error = readList(v, out.ports); !error.empty()) return error;
      out.portList = true;
    } else if (a == "--port") {
      if (const std::string problem = PortTextProblem(v); !problem.empty()) return "--port: " + problem;
      out.ports.push_back(v);
    } else if (a == "--trace") {
      if (v.empty()) return "--trace needs a file";
      out.options.traceFile = v;
    } else if (a == "--baud") {
      char* end = nullptr;
      const long b = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end || b <= 0 || b > 4000000) return "bad --baud value: " + v;
      out.options.baud = static_cast<int>(b);
      out.options.baudGiven = true;
    } else if (a == "--reply-wait") {
      char* end = nullptr;
      const long ms = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end || ms < kShortestReplyWaitMs || ms > kLongestReplyWaitMs)
        return "bad --reply-wait value (50 to 10000 ms): " + v;
      out.options.replyWaitMs = static_cast<int>(ms);
    } else if (a == "--lang") {
      if (v == "zh") out.options.lang = kLangChinese;
      else if (v == "en") out.options.lang = kLangEnglish;
      else return "--lang takes zh or en";
    } else if (a == "--serial") {
      out.options.serial = true;
    } else if (a == "--all") {
      out.all = true;
    } else {
      out.words.push_back(a);
    }
  }
  if (!out.ports.empty()) out.options.port = out.ports.front();
  return {};
}

std::string CheckCommandLine(const CommandLine& line) {
  if (line.words.empty()) return "no command";
  if (line.portList && !line.all) return "--ports lists printers for --all";
  if (line.portList && line.ports.empty()) return "--ports: the file lists no port";
  if (line.ports.size() > 1 && !line.all) return "--port given more than once (with --all, each is a printer)";
  return {};
}

std::string BackupFileName(const std::string& port) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string rest = port;
  if (rest.rfind("/dev/", 0) == 0 && rest.size() > 5) rest = rest.substr(5);
  std::string name;
  for (unsigned char c : rest) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
    if (plain) name += static_cast<char>(c);
    else if (c == '/') name += '_';
    else name += {'%', kHex[c >> 4], kHex[c & 15]};
  }
  return name + ".json";
}

bool PrintsValues(const CommandLine& line) {
  if (line.help || line.version || line.words.empty()) return true;
  const std::string& command = line.words[0];
  const std::string verb = line.words.size() > 1 ? line.words[1] : std::string();
  if (command == "settings" || command == "wifi" || command == "bt") return verb == "read" || line.all;
  return line.all || command == "ports" || command == "probe" || command == "names" || command == "doctor" ||
         command == "verify";
}

}  // namespace deveder::cli
