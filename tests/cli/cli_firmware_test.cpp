// deveder-cli through its binary: the firmware download.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>

#include "cli/cli_support.h"
#include "protocol/text_codec.h"
#include "resources/strings.h"
#include "sim/printer_sim.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

// Off a terminal, progress comes as plain percentages: one line per tenth
// at most, rising, and ending at 100 % when the download went through.
void ExpectProgressLines(const QString& err) {
  QStringList percents;
  for (const QString& line : err.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
    if (line.endsWith(QLatin1Char('%'))) percents << line;
  ASSERT_FALSE(percents.isEmpty()) << err.toStdString();
  EXPECT_LE(percents.size(), 11) << err.toStdString();
  EXPECT_EQ(percents.back(), QStringLiteral("100%")) << err.toStdString();
  for (qsizetype i = 1; i < percents.size(); ++i) EXPECT_GT(percents[i].chopped(1).toInt(), percents[i - 1].chopped(1).toInt());
}

TEST(CliFirmware, DownloadsAndAHangUpFailsWithinASecond) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("fw.bin"));
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    QByteArray image(40000, '\0');
    for (int i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 13 + 1);
    f.write(image);
  }
  auto printer = StartPrinter();
  CliRun ok = RunCli(PortArgs(*printer) + "firmware" + "download" << file);
  ASSERT_EQ(ok.exitCode, 0) << ok.err.toStdString();
  ExpectProgressLines(ok.err);
  ASSERT_TRUE(printer->WaitFor([&] { return !printer->Firmware().empty(); }, 2000));
  EXPECT_EQ(printer->Firmware().back().size, 40000u);

  // A serial port: XOR framing, starting at the speed asked for.
  auto serial = StartPrinter();
  CliRun x = RunCli(PortArgs(*serial) + "--serial" + "--baud" + "19200" + "firmware" + "download" << file);
  ASSERT_EQ(x.exitCode, 0) << x.err.toStdString();
  ExpectProgressLines(x.err);
  ASSERT_TRUE(
      serial->WaitFor([&] { return !serial->Firmware().empty() && serial->Firmware().back().complete; }, 2000));
  EXPECT_EQ(serial->Firmware().back().framing, "xor");
  const auto log = serial->Log();
  const auto first =
      std::find_if(log.begin(), log.end(), [](const sim::LogEntry& e) { return e.kind == sim::LogEntry::XorPacket; });
  ASSERT_NE(first, log.end());
  EXPECT_EQ(first->note, "baud 19200");

  auto lost = StartPrinter();
  sim::Faults f;
  f.hangUpAfterBytes = 20000;
  lost->SetFaults(f);
  CliRun r = RunCli(PortArgs(*lost) + "firmware" + "download" << file);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains(LoadString(kStrCommunicateFail, kLangEnglish))) << r.err.toStdString();
  EXPECT_LT(r.ms, 2500);  // about a second, and the process start
}

}  // namespace

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <QProcess>

namespace {

// The line settings of a terminal, compared field by field.
bool SameLine(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
         cfgetospeed(&a) == cfgetospeed(&b);
}

TEST(CliFirmware, CtrlCDuringADownloadClosesThePortAndSaysWhereItStopped) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("fw.bin"));
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(40000, '\x5A'));
  }
  for (int signo : {SIGINT, SIGTERM}) {
    sim::Options o;
    o.paceBaud = 9600;  // about 40 s for the whole image: the signal comes long before its end
    sim::PrinterSim printer(o);
    ASSERT_TRUE(printer.Start());
    const int fd = ::open(printer.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios before{};
    ASSERT_EQ(tcgetattr(fd, &before), 0);

    QProcess p;
    p.start(QStringLiteral(DEVEDER_CLI_PATH), PortArgs(printer) + "--serial" + "firmware" + "download" << file);
    ASSERT_TRUE(p.waitForStarted(5000));
    ASSERT_TRUE(printer.WaitFor([&] { return printer.BytesReceived() > 2000; }, 10000));
    ::kill(static_cast<pid_t>(p.processId()), signo);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 128 + signo);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("the port is closed and its line settings given back"))) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("mid-download"))) << err.toStdString();
    termios after{};
    ASSERT_EQ(tcgetattr(fd, &after), 0);
    EXPECT_TRUE(SameLine(before, after));
    ::close(fd);
  }
}

// Every other action on the port stops the same way: a Read of a slow
// printer, a backup.
TEST(CliSignals, CtrlCDuringAReadOrABackupClosesThePortAndSaysSo) {
  QTemporaryDir dir;
  const QStringList actions[] = {{"settings", "read"}, {"backup", dir.filePath(QStringLiteral("b.json"))}};
  for (const QStringList& action : actions) {
    sim::Options o;
    o.faults.replyDelayMs = 300;
    sim::PrinterSim printer(o);
    ASSERT_TRUE(printer.Start());
    const int fd = ::open(printer.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios before{};
    ASSERT_EQ(tcgetattr(fd, &before), 0);
    QProcess p;
    p.start(QStringLiteral(DEVEDER_CLI_PATH), PortArgs(printer) + "--serial" + action);
    ASSERT_TRUE(p.waitForStarted(5000));
    ASSERT_TRUE(printer.WaitFor([&] { return printer.BytesReceived() > 30; }, 10000));
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(2000)) << action.join(' ').toStdString();
    EXPECT_EQ(p.exitCode(), 130);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("the port is closed and its line settings given back"))) << err.toStdString();
    EXPECT_FALSE(err.contains(kMsgConnectionLost)) << "the stop is the news, not a lost printer";
    termios after{};
    ASSERT_EQ(tcgetattr(fd, &after), 0);
    EXPECT_TRUE(SameLine(before, after));
    ::close(fd);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("b.json"))));
  }
}

}  // namespace
