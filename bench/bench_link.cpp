// Round trips of command lines against the instantly answering simulator.
#include <memory>

#include "bench/bench_util.h"
#include "link/link.h"
#include "protocol/command_line.h"
#include "sim/printer_sim.h"

namespace deveder::bench {

void BenchLink() {
  sim::PrinterSim printer;
  if (!printer.Start()) return;
  char buf[kLineBufferSize];
  const std::string line = GetvarLine({"density", 0, 31}, LineForm::Named);
  for (bool serial : {false, true}) {
    OpenResult port = OpenLink(printer.PortPath(), {serial, std::nullopt});
    if (!port.ok()) return;
    auto roundTrip = [&] {
      port.link->SendLine(line);
      port.link->ReadReply(buf, sizeof buf - 1);
    };
    const char* mode = serial ? "serial" : "USB";
    Row(std::string("getvar round trip, ") + mode, MedianMs(50, roundTrip), "ms",
        serial ? "includes the 5 ms write pause and the 25 ms of silence that ends a reply" : "");
    Row(std::string("23-line exchange, ") + mode, MedianMs(10, [&] {
          for (int i = 0; i < 23; ++i) roundTrip();
        }),
        "ms");
  }
}

}  // namespace deveder::bench
