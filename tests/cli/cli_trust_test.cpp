// deveder-cli through its binary with input meant to break it: words that
// once aborted it, output paths that are links or the port, backups with
// values a Write would refuse, printer text that drives a terminal, and
// runs that must not say OK.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <fstream>
#include <sstream>

#include "cli/cli_args.h"
#include "cli/cli_support.h"
#include "pages/bluetooth/bluetooth_page.h"
#include "protocol/command_line.h"
#include "resources/strings.h"
#include "sim/printer_sim.h"
#include "test_support.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

std::string Content(const QString& path) {
  std::stringstream s;
  s << std::ifstream(path.toStdString(), std::ios::binary).rdbuf();
  return s.str();
}

unsigned Mode(const QString& path) {
  struct stat st {};
  return stat(path.toLocal8Bit().constData(), &st) == 0 ? st.st_mode & 0777 : 0;
}

QString Path(const sim::PrinterSim& printer) { return QString::fromStdString(printer.PortPath()); }

struct Case {
  QStringList args;
  int exit;
  const char* says;
};

void RunCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    const CliRun r = RunCli(QStringList{"--lang", "en"} + c.args);
    const std::string where = c.args.join(' ').toStdString() + ": " + r.err.toStdString();
    EXPECT_TRUE(r.finished) << where;
    EXPECT_EQ(r.exitCode, c.exit) << where;
    EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.says))) << where;
  }
}

}  // namespace

TEST(CliTrust, EveryWordIsCheckedAndNoneAborts) {
  auto printer = StartPrinter();
  QTemporaryDir dir;
  const QString list = WriteFile(dir, "ports.txt", "/dev/usb/lp0\n\x1b[2A\n");
  RunCases({
      {{"--port", Path(*printer), "test", "--yes", "factory-default"}, 0, "test: factory-default sent"},
      {{"--port", "", "probe"}, 2, "--port: an empty port"},
      {{"--all", "--ports", list, "probe"}, 2, "line 2: a port with a control character"},
      {{"--baud", "1", "names", "bt"}, 0, ""},
      {{"--baud", "0", "names", "bt"}, 2, "bad --baud value: 0"},
      {{"--baud", "4000000", "names", "bt"}, 0, ""},
      {{"--baud", "4000001", "names", "bt"}, 2, "bad --baud value: 4000001"},
      {{"names", "bt", "--trace"}, 2, "--trace needs a value"},
      {{"doctor", "--root"}, 2, "doctor: --root needs a value"},
  });
}

TEST(CliTrust, AllBackupGivesEveryPortItsOwnFile) {
  const std::pair<const char*, const char*> names[] = {
      {"/dev/usb/lp0", "usb_lp0.json"}, {"/x/a_b", "_x_a%5Fb.json"}, {"/x/a/b", "_x_a_b.json"}, {":", "%3A.json"}};
  for (const auto& [port, file] : names) EXPECT_EQ(cli::BackupFileName(port), file) << port;

  auto printer = StartPrinter();
  QTemporaryDir dir;
  const CliRun r = RunCli({"--lang", "en", "--all", "--port", ":", "--port", Path(*printer), "--port", Path(*printer),
                           "backup", dir.path()});
  EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
  const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
  ASSERT_GE(lines.size(), 3) << r.out.toStdString();
  EXPECT_EQ(lines.mid(lines.size() - 3),
            (QStringList{":  (no model)  FAILED", Path(*printer) + "  TQ250L  OK", Path(*printer) + "  (no model)  FAILED"}));
  EXPECT_TRUE(r.err.contains("was written earlier in this run; not replaced")) << r.err.toStdString();
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
            QStringList{QString::fromStdString(cli::BackupFileName(printer->PortPath()))});
}

TEST(CliTrust, OutputFilesAreWholeTheOwnersAndNeverWrittenThroughALink) {
  auto printer = StartPrinter();
  QTemporaryDir dir;
  const QString target = WriteFile(dir, "target.txt", "keep");
  const QString link = dir.filePath("link.json");
  ASSERT_EQ(symlink(target.toLocal8Bit().constData(), link.toLocal8Bit().constData()), 0);
  const QString trace = WriteFile(dir, "trace.txt", "earlier");
  RunCases({
      {PortArgs(*printer) + "backup" << link, 2, "link.json is a symbolic link"},
      {QStringList{"--trace", link} + PortArgs(*printer) + "probe", 2, "link.json is a symbolic link"},
      // A trace is started only once the command line has been checked.
      {QStringList{"--trace", trace} + PortArgs(*printer) + "settings" + "write" + "densty=5", 2, "densty"},
      {QStringList{"--trace", QFileInfo(Path(*printer)).canonicalFilePath()} + PortArgs(*printer) + "probe", 2,
       "the trace would be sent to the printer"},
  });
  EXPECT_EQ(Content(target), "keep");
  EXPECT_EQ(Content(trace), "earlier");
  EXPECT_EQ(printer->BytesReceived(), 0);

  // A backup takes its name by a rename: another name of the old file
  // keeps the old bytes, and no temporary file stays behind.
  const QString backup = WriteFile(dir, "backup.json", "old");
  ASSERT_EQ(::link(backup.toLocal8Bit().constData(), dir.filePath("old.json").toLocal8Bit().constData()), 0);
  ASSERT_EQ(RunCli(PortArgs(*printer) + "backup" << backup).exitCode, 0);
  EXPECT_EQ(Content(backup).front(), '{');
  EXPECT_EQ(Mode(backup), 0600u);
  EXPECT_EQ(Content(dir.filePath("old.json")), "old");
  const CliRun traced = RunCli(QStringList{"--trace", trace} + PortArgs(*printer) + "probe");
  ASSERT_EQ(traced.exitCode, 0) << traced.err.toStdString();
  EXPECT_EQ(Content(trace).rfind("# deveder-cli", 0), 0u);
  EXPECT_EQ(Mode(trace), 0600u);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 5);
}

// The longest name a named line carries is restored; one byte more is
// refused before the first line of any page goes out.
TEST(CliTrust, RestoreChecksEveryValueAsTheWriteWouldBeforeSendingAny) {
  std::size_t longest = 0;
  while (SetvarTextLine(bluetooth::kVarName, LineForm::Named, std::string(longest + 1, 'n'))) ++longest;
  QTemporaryDir dir;
  for (const std::size_t n : {longest, longest + 1}) {
    auto printer = StartPrinter();
    const QJsonObject file{{"settings", QJsonObject{{"density", "5"}}},
                           {"bluetooth", QJsonObject{{"bluetooth.friendly_name", QString(static_cast<int>(n), 'n')}}}};
    const CliRun r = RunCli(PortArgs(*printer) + "restore" << WriteFile(dir, "b.json", QJsonDocument(file).toJson()));
    if (n == longest) {
      EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
      EXPECT_EQ(SimVar(*printer, "bluetooth.friendly_name"), std::string(n, 'n'));
    } else {
      EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
      EXPECT_TRUE(r.err.contains("bluetooth.friendly_name is too long")) << r.err.toStdString();
      EXPECT_EQ(printer->BytesReceived(), 0);
    }
  }
}

TEST(CliTrust, TextFromThePrinterNeverDrivesTheTerminal) {
  auto printer = StartPrinter("TQ\x1b[2A;250;CPCL,ESCPOS,TSPL;1");
  SetSimVar(*printer, "mfg", "Shop\x1b]0;owned\x07");
  QTemporaryDir dir;
  const QString file = WriteFile(dir, "b.json", R"({"settings":{"mfg":"plain"}})");
  const QStringList port = PortArgs(*printer);
  const std::pair<QStringList, bool> runs[] = {{port + "probe", true},          {port + "--all" + "probe", true},
                                               {port + "doctor", true},         {port + "settings" + "read", false},
                                               {port + "verify" << file, false}};
  for (const auto& [args, showsModel] : runs) {
    const CliRun r = RunCli(args);
    const QString all = r.out + r.err;
    EXPECT_FALSE(all.contains(QChar(0x1b)) || all.contains(QChar(0x07))) << args.join(' ').toStdString();
    if (showsModel) {
      EXPECT_TRUE(all.contains("TQ\\x1B[2A")) << all.toStdString();
    }
  }
}

TEST(CliTrust, NoRunSaysOkForWhatDidNotHappen) {
  auto printer = StartPrinter();
  QTemporaryDir dir;
  RunCases({
      {PortArgs(*printer) + "wifi" + "write" + "wlan.sta=", 2, "every field is empty"},
      {PortArgs(*printer) + "wifi" + "write" + "wlan.sta=,,,,", 2, "every field is empty"},
      {PortArgs(*printer) + "verify" << WriteFile(dir, "e.json", R"({"settings":{}})"), 2, "no value to compare"},
      {PortArgs(*printer) + "verify" << WriteFile(dir, "m.json", R"({"wifi":{"wlan.mac":"x"}})"), 2, "no value to compare"},
      {PortArgs(*printer) + "test" + "testpage", 0, "test: testpage sent"},
      {{"--port", "/dev/null", "test", "testpage"}, 1, "no printer answered the model probe"},
  });
  EXPECT_TRUE(SetvarLines(SettledLines(*printer)).empty());
  // Values that could only be lost: standard output closed.
  const CliRun closed = RunProgram(
      "/bin/sh", QStringList{"-c", "exec \"$0\" \"$@\" >&-", DEVEDER_CLI_PATH} + PortArgs(*printer) + "settings" + "read");
  EXPECT_EQ(closed.exitCode, 1) << closed.err.toStdString();
}

// On a terminal a download shows its bytes beside the bar; an image cut
// short while it is sent is named as such.
TEST(CliTrust, DownloadsSayHowFarTheyGotAndWhatWentWrong) {
  QTemporaryDir dir;
  std::string image(16 * 1024, '\0');
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 31 + 7);
  const QString file = WriteFile(dir, "fw.bin", QByteArray::fromStdString(image));

  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master) | unlockpt(master), 0);
  const QString terminal = QString::fromLatin1(ptsname(master));
  auto printer = StartPrinter();
  QProcess run;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("T", terminal);
  run.setProcessEnvironment(env);
  run.start("/bin/sh", QStringList{"-c", "exec \"$0\" \"$@\" 2>\"$T\"", DEVEDER_CLI_PATH} + PortArgs(*printer) +
                           "font" + "download" << file);
  ASSERT_TRUE(run.waitForStarted(5000));
  // The terminal is read while the download runs: a full one would stop it.
  QString shown;
  for (bool done = false; !done;) {
    done = run.waitForFinished(0);
    pollfd p{master, POLLIN, 0};
    char buf[4096];
    ssize_t n = 0;
    while (poll(&p, 1, done ? 0 : 50) > 0 && (n = read(master, buf, sizeof buf)) > 0)
      shown += QString::fromUtf8(buf, static_cast<int>(n));
  }
  close(master);
  EXPECT_EQ(run.exitCode(), 0) << shown.toStdString();
  EXPECT_TRUE(shown.contains(QStringLiteral("100%  16384 of 16384 bytes"))) << shown.toStdString();

  sim::Options o;
  o.paceBaud = 115200;  // the download takes a second or two
  sim::PrinterSim slow(o);
  ASSERT_TRUE(slow.Start());
  QProcess cut;
  cut.start(DEVEDER_CLI_PATH, PortArgs(slow) + "firmware" + "download" << file);
  ASSERT_TRUE(cut.waitForStarted(5000));
  ASSERT_TRUE(slow.WaitFor([&] { return slow.BytesReceived() > 0; }, 5000));
  ASSERT_TRUE(QFile::resize(file, 1024));
  ASSERT_TRUE(cut.waitForFinished(30000));
  const QString err = QString::fromUtf8(cut.readAllStandardError());
  EXPECT_EQ(cut.exitCode(), 1) << err.toStdString();
  EXPECT_TRUE(err.contains("fw.bin shrank during the download (16384 bytes at the start, 1024 now)")) << err.toStdString();
}
