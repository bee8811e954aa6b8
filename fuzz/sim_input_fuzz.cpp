// The simulator's input side: command lines, download data, firmware packets
// and raw jobs, as any byte stream a tool could send.
#include <cstdint>
#include <string>

#include "sim/interpreter.h"
#include "sim/printer_sim.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Not started: replies go nowhere, parsing and state still run.
  static deveder::sim::PrinterSim printer;
  static const std::string model = printer.ModelReply();
  // Each input starts from the same printer.
  printer.SetModelReply(model);
  deveder::sim::Interpreter interpreter(printer);
  interpreter.Feed(reinterpret_cast<const char*>(data), size);
  interpreter.Quiet();
  printer.ClearLog();
  return 0;
}
