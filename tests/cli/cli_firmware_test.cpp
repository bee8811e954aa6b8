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
