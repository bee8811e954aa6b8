// deveder-cli through its binary with input that must not hurt the printer,
// the port or the user's files: a port in use, values and file names a line
// cannot carry, paths that are no device, closed standard streams.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <fstream>
#include <sstream>

#include "cli/cli_support.h"
#include "pages/core/write_values.h"
#include "pages/font/font_page.h"
#include "protocol/text_codec.h"
#include "resources/strings.h"
#include "sim/printer_sim.h"
#include "test_support.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

const QString kUnconnect = QStringLiteral("Unconnect Printer");

// Runs the tool with some standard streams closed (">&-", "2>&-", "<&-").
CliRun RunCliClosed(const char* redirect, const QStringList& args) {
  return RunProgram(QStringLiteral("/bin/sh"),
                    QStringList{QStringLiteral("-c"), QStringLiteral("exec \"$0\" \"$@\" ") + QString::fromLatin1(redirect),
                                QStringLiteral(DEVEDER_CLI_PATH)} +
                        args);
}

std::string FileContent(const std::string& path) {
  std::stringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

// The characters a value must not carry, as a user types them.
const char* const kBadValues[] = {"a\rb", "a\nb", "\x1b\x1b! U1 do \"factory_default\"", "a\x7f", "Counter \"2\"",
                                  "a\xF0\x9F\x98\x80" "b"};

TEST(CliSafety, ASecondUserOfThePortIsRefusedAndTheFirstsDownloadCompletesIntact) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("fw.bin"));
  std::string image(16 * 1024, '\0');
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 31 + 7);
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(image.data(), static_cast<qint64>(image.size()));
  }
  sim::Options o;
  o.paceBaud = 115200;  // the download takes a second or two
  sim::PrinterSim printer(o);
  ASSERT_TRUE(printer.Start());
  QProcess first;
  first.start(QStringLiteral(DEVEDER_CLI_PATH), PortArgs(printer) + "firmware" + "download" << file);
  ASSERT_TRUE(first.waitForStarted(5000));
  ASSERT_TRUE(printer.WaitFor([&] { return printer.BytesReceived() > 0; }, 5000));
  const QString holder = QStringLiteral("Busy: %1 is in use by deveder-cli (pid %2). Fix: close that program and try again.")
                             .arg(QString::fromStdString(printer.PortPath()))
                             .arg(first.processId());
  for (const QStringList& second : {PortArgs(printer) + "settings" + "write" + "density=6", PortArgs(printer) + "probe"}) {
    const CliRun r = RunCli(second);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(kUnconnect + QLatin1Char('\n') + holder)) << r.err.toStdString();
  }
  ASSERT_TRUE(first.waitForFinished(30000));
  EXPECT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();
  ASSERT_TRUE(printer.WaitFor([&] { return !printer.Firmware().empty() && printer.Firmware().back().complete; }, 5000));
  EXPECT_EQ(printer.Firmware().back().size, image.size());
  EXPECT_EQ(printer.Firmware().back().hash, sim::Fnv1a64(image.data(), image.size()));
  EXPECT_TRUE(SetvarLines(printer.Lines()).empty());
  EXPECT_TRUE(printer.FaultyLines().empty());
  // Once the first has closed the port, the next user is admitted.
  EXPECT_EQ(RunCli(PortArgs(printer) + "probe").exitCode, 0);
}

TEST(CliSafety, AFileNameThatCarriesACommandIsRefusedWithNothingSent) {
  QTemporaryDir dir;
  const std::string name = "inj\r\n\x1b\x1b! U1 do \"factory_default\"\r\n.ttf";
  const std::string path = dir.path().toStdString() + "/" + name;
  std::ofstream(path) << "font data";
  auto printer = StartPrinter();
  const CliRun r = RunCli(PortArgs(*printer) + "font" + "download" + "--kind" + "extended" << QString::fromStdString(path));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(r.err.contains(
      ValueRefusalMessage({FontFileNameField(kLangEnglish), ValueFault::ControlCharacter, 0x0D}, kLangEnglish)))
      << r.err.toStdString();
  EXPECT_EQ(printer->BytesReceived(), 0);
  EXPECT_TRUE(printer->Log().empty());
}

TEST(CliSafety, ValuesALineCannotCarryAreRefusedOnEveryPageWithNothingSent) {
  auto printer = StartPrinter();
  const std::pair<const char*, const char*> fields[] = {
      {"settings", "mfg"}, {"settings", "usbd"}, {"wifi", "wlan.sta"}, {"bt", "bluetooth.friendly_name"}};
  for (const auto& [page, var] : fields) {
    for (const char* bad : kBadValues) {
      const QString value = QString::fromUtf8(bad);
      const CliRun r = RunCli(PortArgs(*printer) + page + "write" << QString::fromLatin1(var) + QLatin1Char('=') + value);
      EXPECT_EQ(r.exitCode, 2) << var;
      const LineValue v = TextToLineValue(value, kLangEnglish);
      ASSERT_FALSE(v.ok());
      EXPECT_TRUE(r.err.contains(ValueRefusalMessage({QString::fromLatin1(var), v.fault, v.character}, kLangEnglish)))
          << r.err.toStdString();
    }
  }
  // In the interface language.
  const CliRun zh = RunCli(PortArgs(*printer, "zh") + "bt" + "write" + "bluetooth.bluetooth_pin=12\"34");
  EXPECT_EQ(zh.exitCode, 2);
  EXPECT_TRUE(zh.err.contains(QStringLiteral("无法发送 bluetooth.bluetooth_pin："))) << zh.err.toStdString();
  EXPECT_EQ(printer->BytesReceived(), 0);
}

TEST(CliSafety, ARestoreFileWithAValueALineCannotCarryIsRefusedBeforeAnyPageIsRead) {
  QTemporaryDir dir;
  auto printer = StartPrinter();
  const std::vector<std::pair<const char*, const char*>> fields = {
      {"settings", "mfg"}, {"wifi", "wlan.ap"}, {"bluetooth", "bluetooth.friendly_name"}};
  std::vector<QString> values;
  for (const char* bad : kBadValues) values.push_back(QString::fromUtf8(bad));
  values.push_back(QStringLiteral("a") + QChar(0) + QStringLiteral("b"));  // NUL, which no argument holds
  for (const auto& [key, var] : fields) {
    for (const QString& value : values) {
      // A clean settings page first: the restore must not write it either.
      QJsonObject all{{QStringLiteral("settings"), QJsonObject{{QStringLiteral("density"), QStringLiteral("4")}}}};
      QJsonObject page = all.value(QString::fromLatin1(key)).toObject();
      page.insert(QString::fromLatin1(var), value);
      all.insert(QString::fromLatin1(key), page);
      const QString file = dir.filePath(QStringLiteral("backup.json"));
      QFile f(file);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
      f.write(QJsonDocument(all).toJson());
      f.close();
      const CliRun r = RunCli(PortArgs(*printer) + "restore" << file);
      EXPECT_EQ(r.exitCode, 2) << var;
      const LineValue v = TextToLineValue(value, kLangEnglish);
      EXPECT_TRUE(r.err.contains(ValueRefusalMessage({QString::fromLatin1(var), v.fault, v.character}, kLangEnglish)))
          << r.err.toStdString();
    }
  }
  EXPECT_EQ(printer->BytesReceived(), 0);
}

TEST(CliSafety, ChineseTextOnAChineseSystemGoesInGbk) {
  auto printer = StartPrinter();
  const CliRun zh = RunCli(PortArgs(*printer, "zh") + "settings" + "write" + "mfg=收银台打印机");
  ASSERT_EQ(zh.exitCode, 0) << zh.err.toStdString();
  SettledLines(*printer);
  EXPECT_EQ(SimVar(*printer, "mfg"), "\xCA\xD5\xD2\xF8\xCC\xA8\xB4\xF2\xD3\xA1\xBB\xFA");
  const CliRun en = RunCli(PortArgs(*printer, "en") + "settings" + "write" + "mfg=收银台");
  EXPECT_EQ(en.exitCode, 2);
  EXPECT_TRUE(en.err.contains(QStringLiteral("code page 1252 has no character 收 (U+6536)"))) << en.err.toStdString();
  EXPECT_TRUE(printer->FaultyLines().empty());
}

// The printer's own value that no line can carry back is left with it; the
// values asked for are written, and the tool says which it left.
TEST(CliSafety, APrintersUnsendableValueStaysWithItWhileOthersAreWritten) {
  auto printer = StartPrinter();
  const std::string odd = "Shop \"A\"\x1b[1m";
  SetSimVar(*printer, "mfg", odd);
  const CliRun r = RunCli(PortArgs(*printer) + "settings" + "write" + "density=6");
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  SettledLines(*printer);
  EXPECT_EQ(SimVar(*printer, "density"), "6");
  EXPECT_EQ(SimVar(*printer, "mfg"), odd);
  EXPECT_TRUE(r.err.contains(KeptValuesMessage({{"mfg", odd}}, kLangEnglish))) << r.err.toStdString();
  EXPECT_TRUE(printer->FaultyLines().empty());
}

TEST(CliSafety, APathThatIsNoDeviceIsRefusedAndLeftAsItWas) {
  QTemporaryDir dir;
  const std::string file = dir.path().toStdString() + "/notes.txt";
  const std::string content = "twenty-three bytes and more that must stay\n";
  std::ofstream(file) << content;
  const std::string fifo = dir.path().toStdString() + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    std::string path;
    const char* kind;
  };
  const Case cases[] = {{file, "a regular file"}, {dir.path().toStdString(), "a directory"}, {fifo, "a FIFO"}};
  for (const Case& c : cases) {
    for (const char* command : {"probe", "settings"}) {
      QStringList args{QStringLiteral("--port"), QString::fromStdString(c.path), QStringLiteral("--lang"),
                       QStringLiteral("en"), QString::fromLatin1(command)};
      if (std::string(command) == "settings") args << QStringLiteral("write") << QStringLiteral("density=5");
      const CliRun r = RunCli(args);
      EXPECT_EQ(r.exitCode, 1) << c.path;
      EXPECT_TRUE(r.err.contains(kUnconnect + QStringLiteral("\nThe port path is not a device (%1)").arg(QLatin1String(c.kind))))
          << r.err.toStdString();
    }
  }
  EXPECT_EQ(FileContent(file), content);
  // A FIFO with a reader: the reader sees no byte, and no writer come and go.
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const CliRun r = RunCli(QStringList{QStringLiteral("--port"), QString::fromStdString(fifo), QStringLiteral("probe")});
  EXPECT_EQ(r.exitCode, 1);
  pollfd p{reader, POLLIN, 0};
  EXPECT_EQ(poll(&p, 1, 50), 0) << p.revents;
  close(reader);
}

TEST(CliSafety, ClosedStandardStreamsNeverBecomeThePort) {
  auto printer = StartPrinter();
  for (const char* redirect : {">&-", "2>&-", ">&- 2>&-", "<&- >&-"}) {
    printer->ClearLog();
    const long before = printer->BytesReceived();
    const CliRun r = RunCliClosed(redirect, PortArgs(*printer) + "probe");
    // A probe with no standard output would print its findings nowhere: it
    // fails before the port is opened.
    if ((" " + std::string(redirect)).find(" >&-") != std::string::npos) {
      EXPECT_EQ(r.exitCode, 1) << redirect;
      EXPECT_EQ(printer->BytesReceived(), before) << redirect;
      continue;
    }
    EXPECT_EQ(r.exitCode, 0) << redirect;
    // Whatever the tool wrote is in the line by now; give the printer time
    // to take it and to end a print job (30 ms of quiet).
    printer->WaitFor([] { return false; }, 100);
    EXPECT_EQ(printer->BytesReceived() - before, static_cast<long>(ModelRequestLine().size())) << redirect;
    EXPECT_EQ(printer->Lines(), std::vector<std::string>{ModelRequestLine()}) << redirect;
    EXPECT_TRUE(printer->Jobs().empty()) << redirect;
  }
  // A failure message with stderr closed goes nowhere, not to the printer.
  printer->ClearLog();
  const CliRun bad = RunCliClosed("2>&-", PortArgs(*printer) + "settings" + "write" + "mfg=a\"b");
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_TRUE(printer->Log().empty());
}

}  // namespace
