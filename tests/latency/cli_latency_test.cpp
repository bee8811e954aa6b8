// deveder-cli reads printers that answer late or over a slow line exactly
// as it reads an instant one, a named-form printer over USB and a
// numbered-form one on a serial line.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include "cli/cli_support.h"
#include "sim/printer_sim.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

QJsonObject ReadJson(const char* page, bool serial, const sim::Faults& faults, int paceBaud = 0) {
  sim::Options o;
  o.faults = faults;
  o.paceBaud = paceBaud;
  // Both command forms: a printer of the numbered form on the serial line.
  if (serial) o.modelReply = "TQ250L;250;CPCL,ESCPOS,TSPL";
  sim::PrinterSim printer(o);
  EXPECT_TRUE(printer.Start());
  QStringList args = PortArgs(printer, "zh");
  if (serial) args << QStringLiteral("--serial");
  CliRun r = RunCli(args + page + "read" + "--json", 60000);
  EXPECT_EQ(r.exitCode, 0) << page << " " << r.err.toStdString();
  return QJsonDocument::fromJson(r.out.toUtf8()).object();
}

// One delay per page and port kind, spread over the range: the whole range
// is read in-process by the latency tests over the same page code.
TEST(CliLateReplies, EveryPageReadsLikeFromAnInstantPrinter) {
  for (const auto& [page, delay] : {std::pair{"settings", 20}, {"wifi", 250}, {"bt", 500}}) {
    for (bool serial : {false, true}) {
      const QJsonObject instant = ReadJson(page, serial, {});
      ASSERT_FALSE(instant.isEmpty()) << page;
      EXPECT_EQ(ReadJson(page, serial, {.replyDelayMs = delay}), instant) << page << " " << delay << " ms";
      if (serial) {
        EXPECT_EQ(ReadJson(page, serial, {}, 9600), instant) << page << " at 9600 baud";
      }
    }
  }
}

TEST(CliLateReplies, ASilentPrinterFailsTheRead) {
  sim::Options o;
  o.faults.silent = true;
  sim::PrinterSim printer(o);
  ASSERT_TRUE(printer.Start());
  for (const char* page : {"settings", "wifi", "bt"}) {
    CliRun r = RunCli(PortArgs(printer) + page + "read");
    EXPECT_EQ(r.exitCode, 1) << page;
    EXPECT_TRUE(r.err.contains(QStringLiteral("打印机连接断开"))) << r.err.toStdString();
  }
}

}  // namespace
