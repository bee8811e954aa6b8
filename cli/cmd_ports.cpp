#include <cstdio>

#include "cli/cli_commands.h"
#include "link/port_walk.h"

namespace deveder::cli {

int CmdPorts(const Options& options) {
  auto source = MakeSystemDeviceSource();
  PortTable table;
  ListPrinterPorts(table, *source, options.serial);
  for (int i = 0; i < table.count; ++i) std::printf("%s\n", table.paths[static_cast<std::size_t>(i)].c_str());
  return kExitOk;
}

}  // namespace deveder::cli
