// deveder-cli through its binary: backup and restore files. A restore checks
// the whole file before it sends anything; only regular files of a backup's
// size are read; every output that cannot be written fails the run.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "cli/cli_support.h"
#include "sim/printer_sim.h"
#include "test_support.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

TEST(CliFiles, RestoreRefusesAFileWithAnyUnusableKeyAndSendsNothing) {
  auto printer = StartPrinter();
  QTemporaryDir dir;
  struct Case {
    const char* json;
    const char* named;
  };
  const Case cases[] = {
      {R"({"settings":{"density":5}})", "settings.density is not text"},
      {R"({"settings":{"densty":"5"}})", "unknown variable settings.densty"},
      {R"({"setings":{"density":"5"}})", "unknown page setings"},
      {R"({})", "no value to restore"},
      {R"({"settings":{"density":"5"},"wifi":{"wlan.sta":"a,b"},"bluetooth":{"bluetooth.baud":"7"}})",
       "bluetooth.baud=7"},
      {R"({"settings":{"density":"99","mfg":"X"}})", "density=99"},
      {R"([1,2])", "is not a backup"},
  };
  for (const Case& c : cases) {
    const QString file = WriteFile(dir, "backup.json", c.json);
    CliRun r = RunCli(PortArgs(*printer) + "restore" << file);
    EXPECT_EQ(r.exitCode, 2) << c.json << ": " << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QString::fromLatin1(c.named))) << c.json << ": " << r.err.toStdString();
  }
  EXPECT_EQ(printer->BytesReceived(), 0);
}

TEST(CliFiles, RestoreReadsOnlySmallRegularFiles) {
  auto printer = StartPrinter();
  QTemporaryDir dir;
  const QString fifo = dir.filePath(QStringLiteral("fifo"));
  ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
  const QString big = WriteFile(dir, "big.json", QByteArray(2 << 20, ' '));
  for (const QString& file : {QStringLiteral("/dev/zero"), fifo, big}) {
    CliRun r = RunCli(PortArgs(*printer) + "restore" << file, 5000);
    EXPECT_TRUE(r.finished) << file.toStdString();
    EXPECT_EQ(r.exitCode, 2) << file.toStdString() << ": " << r.err.toStdString();
  }
  EXPECT_EQ(printer->BytesReceived(), 0);
}

TEST(CliFiles, BackupIsTheOwnersAloneAndRestoresOntoThePrinter) {
  auto printer = StartPrinter();
  SetSimVar(*printer, "density", "5");
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("backup.json"));
  CliRun b = RunCli(PortArgs(*printer) + "backup" << file);
  ASSERT_EQ(b.exitCode, 0) << b.err.toStdString();
  struct stat st {};
  ASSERT_EQ(stat(file.toLocal8Bit().constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  for (const char* page : {"settings: Read OK", "wifi: Read OK", "bt: Read OK"})
    EXPECT_TRUE(b.err.contains(QString::fromLatin1(page))) << b.err.toStdString();

  SetSimVar(*printer, "density", "2");
  CliRun r = RunCli(PortArgs(*printer) + "restore" << file);
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_EQ(SimVar(*printer, "density"), "5");
  // The values that name one printer or are shown only are named, not written.
  EXPECT_TRUE(r.err.contains(QStringLiteral("settings.sn not written"))) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains(QStringLiteral("wifi.wlan.mac not written"))) << r.err.toStdString();
}

TEST(CliFiles, AnOutputThatCannotBeWrittenFailsTheRun) {
  auto printer = StartPrinter();
  CliRun b = RunCli(PortArgs(*printer) + "backup" + "/dev/full");
  EXPECT_EQ(b.exitCode, 1) << b.err.toStdString();

  for (const QStringList& command : {QStringList{QStringLiteral("settings"), QStringLiteral("read")},
                                     QStringList{QStringLiteral("probe")}}) {
    QProcess p;
    p.setStandardOutputFile(QStringLiteral("/dev/full"));
    p.start(QStringLiteral(DEVEDER_CLI_PATH), PortArgs(*printer) + command);
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 1) << command.join(' ').toStdString() << ": " << p.readAllStandardError().toStdString();
  }
  // The trace too: a device that takes nothing fails the run.
  CliRun trace = RunCli(QStringList{QStringLiteral("--trace"), QStringLiteral("/dev/full")} + PortArgs(*printer) + "probe");
  EXPECT_EQ(trace.exitCode, 1) << trace.err.toStdString();
  EXPECT_TRUE(trace.err.contains(QStringLiteral("trace"))) << trace.err.toStdString();
}

}  // namespace
