// deveder-cli through its binary: verify against a backup, and one action
// over several printers with --all.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "cli/cli_support.h"
#include "sim/printer_sim.h"
#include "test_support.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

TEST(CliMany, VerifyIsQuietWhenEqualAndListsEachDifference) {
  auto printer = StartPrinter();
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("backup.json"));
  ASSERT_EQ(RunCli(PortArgs(*printer) + "backup" << file).exitCode, 0);

  CliRun same = RunCli(PortArgs(*printer) + "verify" << file);
  EXPECT_EQ(same.exitCode, 0) << same.err.toStdString();
  EXPECT_TRUE(same.out.isEmpty()) << same.out.toStdString();

  SetSimVar(*printer, "density", "2");
  SetSimVar(*printer, "wlan.apac", "0");
  CliRun differs = RunCli(PortArgs(*printer) + "verify" << file);
  EXPECT_EQ(differs.exitCode, 1);
  const QStringList lines = differs.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  EXPECT_EQ(lines, (QStringList{QStringLiteral("settings.density: file \"3\", printer \"2\""),
                                QStringLiteral("wifi.wlan.apac: file \"1\", printer \"0\"")}))
      << differs.out.toStdString();
  // A file it cannot use is a usage error, before the printer is asked.
  const long before = printer->BytesReceived();
  QFile bad(dir.filePath(QStringLiteral("bad.json")));
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
  bad.write(R"({"settings":{"densty":"3"}})");
  bad.close();
  EXPECT_EQ(RunCli(PortArgs(*printer) + "verify" << bad.fileName()).exitCode, 2);
  EXPECT_EQ(printer->BytesReceived(), before);
}

TEST(CliMany, AllRunsOnEveryPrinterAndOneUnpluggedDoesNotStopTheOthers) {
  auto first = StartPrinter();
  sim::Options o;
  o.modelReply = "TQ80;80;ESCPOS;1";
  o.faults.hangUpAfterBytes = 300;  // unplugged during its settings Read
  sim::PrinterSim second(o);
  ASSERT_TRUE(second.Start());
  auto third = StartPrinter("TQ110;110;CPCL,TSPL;1");
  QTemporaryDir dir;
  const QStringList ports{QStringLiteral("--port"), QString::fromStdString(first->PortPath()),
                          QStringLiteral("--port"), QString::fromStdString(second.PortPath()),
                          QStringLiteral("--port"), QString::fromStdString(third->PortPath())};
  CliRun r = RunCli(ports + "--lang" + "en" + "backup" << dir.path() << QStringLiteral("--all"));
  EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
  const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_GE(lines.size(), 3) << r.out.toStdString();
  const QStringList summary = lines.mid(lines.size() - 3);
  EXPECT_EQ(summary[0], QString::fromStdString(first->PortPath()) + "  TQ250L  OK");
  EXPECT_TRUE(summary[1].startsWith(QString::fromStdString(second.PortPath()) + "  ")) << summary[1].toStdString();
  EXPECT_TRUE(summary[1].endsWith(QStringLiteral("FAILED"))) << summary[1].toStdString();
  EXPECT_EQ(summary[2], QString::fromStdString(third->PortPath()) + "  TQ110  OK");
  // The two that answered have their backups.
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2) << QDir(dir.path()).entryList(QDir::Files).join(' ').toStdString();

  // More than one --port without --all is a usage error.
  EXPECT_EQ(RunCli(ports + "probe").exitCode, 2);
}

// Network printers listed in a file, a device beside them.
TEST(CliMany, AllTakesItsPortsFromAFileOfAddresses) {
  sim::Options net;
  net.tcp = true;
  sim::PrinterSim a(net), b(net);
  ASSERT_TRUE(a.Start());
  ASSERT_TRUE(b.Start());
  auto pty = StartPrinter("TQ110;110;CPCL,TSPL;1");
  QTemporaryDir dir;
  const QString list = dir.filePath(QStringLiteral("ports.txt"));
  {
    QFile f(list);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(("# the shop floor\n" + a.PortPath() + "\n\ntcp://" + b.PortPath() + "\n" + pty->PortPath() + "\n").c_str());
  }
  CliRun r = RunCli({"--lang", "en", "--all", "--ports", list, "probe"});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_GE(lines.size(), 3) << r.out.toStdString();
  const QStringList summary = lines.mid(lines.size() - 3);
  EXPECT_EQ(summary[0], QString::fromStdString(a.PortPath()) + "  TQ250L  OK");
  EXPECT_EQ(summary[1], QString::fromStdString("tcp://" + b.PortPath()) + "  TQ250L  OK");
  EXPECT_EQ(summary[2], QString::fromStdString(pty->PortPath()) + "  TQ110  OK");
  // Without --all, and from no regular file: usage errors.
  EXPECT_EQ(RunCli({"--ports", list, "probe"}).exitCode, 2);
  EXPECT_EQ(RunCli({"--all", "--ports", dir.path(), "probe"}).exitCode, 2);
}

}  // namespace
