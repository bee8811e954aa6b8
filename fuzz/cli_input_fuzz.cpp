// What deveder-cli reads from its user: the command line (words split at
// NUL bytes, a --ports file holding the same bytes), a --ports file, a
// backup for restore and verify, and text to be printed. The first byte
// chooses which; none may abort, and each keeps its promises.
#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "pages/core/printable.h"
#include "pages/backup/backup_file.h"
#include "protocol/text_codec.h"

using namespace deveder::cli;

namespace {

void CommandLineWords(const std::string& bytes) {
  std::vector<std::string> argv;
  std::string word;
  for (char c : bytes) {
    if (c == '\0') {
      argv.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  argv.push_back(word);
  CommandLine line;
  const auto reader = [&](const std::string&, std::vector<std::string>& ports) {
    return ParsePortList(QByteArray::fromStdString(bytes), ports);
  };
  if (ParseCommandLine(argv, reader, line).empty()) {
    CheckCommandLine(line);
    PrintsValues(line);
    for (const std::string& port : line.ports)
      if (!PortTextProblem(port).empty()) __builtin_trap();
  }
}

void PortList(const std::string& bytes) {
  std::vector<std::string> ports;
  ParsePortList(QByteArray::fromStdString(bytes), ports);
  // Different ports never share a backup file, and a file name is one.
  std::set<std::string> ports_seen, names;
  for (const std::string& port : ports) {
    if (!PortTextProblem(port).empty()) __builtin_trap();
    const std::string name = BackupFileName(port);
    if (name.find('/') != std::string::npos || name == ".json") __builtin_trap();
    if (ports_seen.insert(port).second && !names.insert(name).second) {
      // Only "/dev/X" and "X" may meet, by the rule that drops /dev/.
      const bool devSpelling = std::any_of(ports.begin(), ports.end(), [&](const std::string& p) {
        return p != port && BackupFileName(p) == name && ("/dev/" + p == port || "/dev/" + port == p);
      });
      if (!devSpelling) __builtin_trap();
    }
  }
}

void Backup(const std::string& bytes, bool withIdentity) {
  QJsonObject top;
  if (!deveder::ParseBackup(QByteArray::fromStdString(bytes), top).empty()) return;
  deveder::RestorePlan plan;
  const std::string errors = deveder::PlanRestore(top, withIdentity, deveder::kLangEnglish, plan);
  if (errors.empty() && plan.pages.empty()) __builtin_trap();
  deveder::CheckVerifyFile(top);
}

void Printed(const std::string& bytes) {
  for (bool value : {false, true}) {
    const std::string shown = deveder::Shown(QString::fromUtf8(bytes), value);
    for (std::size_t i = 0; i < shown.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(shown[i]);
      const bool allowed = !value && (c == '\n' || c == '\t');
      if ((c < 0x20 && !allowed) || c == 0x7F) __builtin_trap();
      // C1 controls (U+0080..U+009F) in UTF-8.
      if (c == 0xC2 && i + 1 < shown.size() && static_cast<unsigned char>(shown[i + 1]) < 0xA0) __builtin_trap();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 4) {
    case 0: CommandLineWords(rest); break;
    case 1: PortList(rest); break;
    case 2: Backup(rest, data[0] & 0x10); break;
    default: Printed(rest); break;
  }
  return 0;
}
