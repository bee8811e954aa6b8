// deveder-cli on a network printer: the address forms of --port, and a
// failed connection named with its address and reason.
#include <gtest/gtest.h>

#include "cli/cli_support.h"
#include "sim/printer_sim.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

TEST(CliNetwork, ReadsAndWritesANetworkPrinterByItsAddress) {
  sim::Options o;
  o.tcp = true;
  sim::PrinterSim printer(o);
  ASSERT_TRUE(printer.Start());
  const std::string port = printer.PortPath().substr(printer.PortPath().rfind(':') + 1);
  for (const std::string& address : {printer.PortPath(), "tcp://127.0.0.1:" + port}) {
    CliRun r = RunCli({"--port", QString::fromStdString(address), "--lang", "en", "settings", "write", "density=5"});
    EXPECT_EQ(r.exitCode, 0) << address << r.err.toStdString();
  }
  EXPECT_EQ(SimVar(printer, "density"), "5");
  CliRun probe = RunCli(PortArgs(printer) + "probe");
  EXPECT_EQ(probe.exitCode, 0);
  EXPECT_TRUE(probe.out.contains(QStringLiteral("TQ250L")));

  CliRun doctor = RunCli({"--port", QString::fromStdString(printer.PortPath()), "doctor"});
  EXPECT_EQ(doctor.exitCode, 0) << doctor.out.toStdString();
  EXPECT_TRUE(doctor.out.contains(QStringLiteral("network printer, connects"))) << doctor.out.toStdString();
  EXPECT_TRUE(doctor.out.contains(QStringLiteral("TQ250L, model number 250"))) << doctor.out.toStdString();

  printer.Unplug();  // switched off: nothing listens any more
  CliRun gone = RunCli(PortArgs(printer) + "probe");
  EXPECT_EQ(gone.exitCode, 1);
  EXPECT_TRUE(gone.err.contains(QStringLiteral("Unconnect Printer")));
  EXPECT_TRUE(gone.err.contains(QString::fromStdString("Cannot connect to " + printer.PortPath() +
                                                       ": connection refused")))
      << gone.err.toStdString();
}

}  // namespace
