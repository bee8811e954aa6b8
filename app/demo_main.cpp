// deveder-demo before the window exists: starts the simulated printer and
// runs a model probe against it, printing what it learnt.
#include <cstdio>

#include "link/port.h"
#include "protocol/command_line.h"
#include "protocol/printer_info.h"
#include "sim/printer_sim.h"

int main() {
  using namespace deveder;
  sim::PrinterSim printer;
  if (!printer.Start()) {
    std::fprintf(stderr, "deveder-demo: cannot start the simulated printer\n");
    return 1;
  }
  std::printf("simulated printer on %s\n", printer.PortPath().c_str());
  ScopedPort port(OpenPrinterPort(printer.PortPath()));
  if (!port.valid()) {
    std::fprintf(stderr, "deveder-demo: cannot open %s: %s\n", printer.PortPath().c_str(), PortLastErrorText().c_str());
    return 1;
  }
  char buffer[kLineBufferSize];
  PrinterInfo info;
  if (DrainPort(port.get(), buffer, sizeof buffer) != 0 || ProbePrinterModel(port.get(), buffer, sizeof buffer, info) < 0) {
    std::fprintf(stderr, "deveder-demo: the probe could not be sent\n");
    return 1;
  }
  std::printf("model name:     %s\n", info.modelName);
  std::printf("model number:   %d\n", info.modelNumber);
  std::printf("languages:      0x%02X%s%s%s%s\n", info.languageMask, info.languageMask & kLangCpcl ? " CPCL" : "",
              info.languageMask & kLangEscpos ? " ESCPOS" : "", info.languageMask & kLangTspl ? " TSPL" : "",
              info.languageMask & kLangZpl ? " ZPL" : "");
  std::printf("form:           %s\n", info.named() ? "named" : "numbered");
  return 0;
}
