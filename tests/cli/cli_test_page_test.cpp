// deveder-cli through its binary: the test page's buttons and the sample print.
#include <gtest/gtest.h>

#include "cli/cli_support.h"
#include "resources/strings.h"
#include "sim/printer_sim.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

TEST(CliTest, EveryButtonOnce) {
  auto printer = StartPrinter();
  for (const char* what : {"testpage", "bluetooth", "hexdump", "raw", "mark", "calibrate", "factory-default"}) {
    printer->ClearLog();
    // Off a terminal the factory default is sent only with --yes.
    CliRun r = RunCli(PortArgs(*printer) + "test" + what + "--yes");
    EXPECT_EQ(r.exitCode, 0) << what << ": " << r.err.toStdString();
    const std::vector<std::string> lines = SettledLines(*printer);
    bool sentDo = false;
    for (const std::string& l : lines) sentDo = sentDo || l.find(" do ") != std::string::npos;
    EXPECT_TRUE(sentDo) << what;
  }
  // Without --yes and off a terminal, a usage error before the port is
  // opened: the printer hears nothing.
  printer->ClearLog();
  CliRun unasked = RunCli(PortArgs(*printer) + "test" + "factory-default");
  EXPECT_EQ(unasked.exitCode, 2);
  EXPECT_TRUE(unasked.err.contains(QStringLiteral("--yes"))) << unasked.err.toStdString();
  EXPECT_TRUE(SettledLines(*printer).empty());

  CliRun demo = RunCli(PortArgs(*printer) + "test" + "demo");
  EXPECT_EQ(demo.exitCode, 0) << demo.err.toStdString();
  EXPECT_TRUE(printer->WaitFor([&] { return !printer->Jobs().empty(); }, 2000));

  auto escpos = StartPrinter("TQ80;80;ESCPOS;1");
  CliRun none = RunCli(PortArgs(*escpos) + "test" + "demo");
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_TRUE(none.err.contains(kMsgNoTemplate));
}

}  // namespace
