#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "cli/cli_commands.h"
#include "pages/core/printable.h"
#include "link/port_access.h"
#include "link/port_walk.h"
#include "pages/core/port_cause.h"
#include "protocol/text_codec.h"

namespace deveder::cli {

int CmdPorts(const Options& options) {
  auto source = MakeSystemDeviceSource();
  PortTable table;
  ListPrinterPorts(table, *source, options.serial);
  const int lang = options.lang ? options.lang : SystemDefaultLangId();
  const SystemRoots roots;
  // Standard output lists the ports that can be used; a port that exists
  // but could not be opened goes to standard error with its reason. Telling
  // needs no open: a serial port raises its modem lines when opened.
  for (int i = 0; i < table.count; ++i) {
    const std::string& path = table.paths[static_cast<std::size_t>(i)];
    if (access(path.c_str(), R_OK | W_OK) != 0) {
      std::fprintf(stderr, "%s: %s\n", Shown(path).c_str(), Shown(OpenFailureReason(path, errno, lang, roots)).c_str());
      continue;
    }
    OpenDiagnosis held;
    held.cause = OpenCause::Busy;
    held.path = path;
    held.holders = FindHolders(roots, path);
    if (!held.holders.empty()) {
      // The holder's name is another program's own choice.
      std::fprintf(stderr, "%s: %s\n", Shown(path).c_str(), Shown(OpenFailureReason(held, lang)).c_str());
      continue;
    }
    std::printf("%s\n", Shown(path).c_str());
  }
  return kExitOk;
}

}  // namespace deveder::cli
