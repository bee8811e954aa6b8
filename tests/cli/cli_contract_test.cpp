// deveder-cli through its binary: what a script may rely on. Edits that
// empty a field, values that fit nothing, exit status that tells the truth,
// usage errors found before any port is touched, options anywhere, help
// per command, and a tool that needs no pseudo-terminal of its own.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>

#include "cli/cli_support.h"
#include "resources/version.h"
#include "sim/printer_sim.h"
#include "test_support.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

bool HasLine(const std::vector<std::string>& lines, const std::string& part) {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; });
}

TEST(CliContract, EmptyEditsAreSentAsTheWindowSendsThem) {
  auto printer = StartPrinter();
  CliRun r = RunCli(PortArgs(*printer) + "settings" + "write" + "density=5" + "mfg=" + "sn=" + "xoffset=16");
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  const std::vector<std::string> lines = SetvarLines(SettledLines(*printer));
  // An empty manufacturer is sent empty; an empty serial number not at all.
  EXPECT_TRUE(HasLine(lines, "setvar \"mfg\" \"\"\r\n"));
  EXPECT_FALSE(HasLine(lines, "setvar \"sn\""));
  EXPECT_TRUE(HasLine(lines, "setvar \"xoffset\" \"16\""));
  EXPECT_TRUE(HasLine(lines, "setvar \"density\" \"5\""));
  EXPECT_EQ(SimVar(*printer, "mfg"), "");
  EXPECT_EQ(SimVar(*printer, "sn"), "ZV2026120900417");
  EXPECT_TRUE(r.err.contains(QStringLiteral("settings: Read OK"))) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains(QStringLiteral("settings: Write OK"))) << r.err.toStdString();
}

TEST(CliContract, AValueThatFitsNothingListsWhatFitsAndSendsNothing) {
  auto printer = StartPrinter();
  struct Case {
    const char* page;
    QStringList edits;
    const char* fits;
  };
  const Case cases[] = {
      {"settings", {"mfg=Acme", "density=99"}, "values that fit: 0, 1, 2, 3, 4, 5, 6"},
      {"settings", {"warn_format=2"}, "values that fit: 0, 1"},
      {"wifi", {"wlan.mode=4", "wlan.sta=a,b"}, "values that fit: 1, 2, 3"},
      {"wifi", {"wlan.mac=00:11:22:33:44:55"}, "shown only"},
      {"bt", {"bluetooth.baud=7"}, "115200"},
      {"bt", {"bluetooth.friendly_name="}, "cannot be empty"},
      {"settings", {"nosuch=1"}, "unknown variable nosuch"},
  };
  for (const Case& c : cases) {
    CliRun r = RunCli(PortArgs(*printer) + c.page + "write" + c.edits);
    EXPECT_EQ(r.exitCode, 2) << c.edits.join(' ').toStdString();
    EXPECT_TRUE(r.err.contains(QString::fromLatin1(c.fits))) << r.err.toStdString();
  }
  // Found before the port was opened: the printer heard nothing at all.
  EXPECT_EQ(printer->BytesReceived(), 0);
}

TEST(CliContract, AWriteThatStopsBeforeItsLastLineFails) {
  auto printer = StartPrinter();
  // A 15-digit "msw" selects none of the ESC/POS choices: the page's Write
  // ends after "menu_lang" without a word.
  SetSimVar(*printer, "msw", "246000000000000");
  CliRun r = RunCli(PortArgs(*printer) + "settings" + "write" + "density=5");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains(QStringLiteral("msw"))) << r.err.toStdString();
  const std::vector<std::string> lines = SetvarLines(SettledLines(*printer));
  EXPECT_TRUE(HasLine(lines, "setvar \"menu_lang\""));
  EXPECT_FALSE(HasLine(lines, "setvar \"msw\""));
}

TEST(CliContract, SilentPrinterFailsEveryReadAndTheProbe) {
  sim::Options o;
  o.faults.silent = true;
  sim::PrinterSim printer(o);
  ASSERT_TRUE(printer.Start());
  for (const char* page : {"settings", "wifi", "bt"}) {
    CliRun r = RunCli(PortArgs(printer) + "--reply-wait" + "50" + page + "read" + "--json");
    EXPECT_EQ(r.exitCode, 1) << page << ": " << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty()) << page;
  }
  // The wait is the user's within its bounds, and refused just outside them.
  for (const char* wait : {"49", "10001", "-5", "1e3", ""}) {
    CliRun r = RunCli(PortArgs(printer) + "--reply-wait" + wait + "probe");
    EXPECT_EQ(r.exitCode, 2) << wait;
    EXPECT_TRUE(r.err.contains(QStringLiteral("--reply-wait"))) << r.err.toStdString();
  }
  CliRun probe = RunCli(PortArgs(printer) + "probe");
  EXPECT_EQ(probe.exitCode, 1);
  EXPECT_TRUE(probe.err.contains(QStringLiteral("no answer"))) << probe.err.toStdString();
}

// --reply-wait is how long each answer may take to start: a printer 300 ms
// late is read within the usual wait and not within 150 ms.
TEST(CliContract, TheReplyWaitIsTheUsers) {
  sim::Options o;
  o.faults.replyDelayMs = 300;
  sim::PrinterSim printer(o);
  ASSERT_TRUE(printer.Start());
  EXPECT_EQ(RunCli(PortArgs(printer) + "probe").exitCode, 0);
  EXPECT_EQ(RunCli(PortArgs(printer) + "--reply-wait" + "150" + "probe").exitCode, 1);
}

TEST(CliContract, OptionsAnywhereVersionAndHelpPerCommand) {
  auto printer = StartPrinter();
  SetSimVar(*printer, "density", "5");
  CliRun r = RunCli(QStringList{QStringLiteral("settings"), QStringLiteral("read"), QStringLiteral("--json")} +
                    PortArgs(*printer));
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_EQ(QJsonDocument::fromJson(r.out.toUtf8()).object().value(QStringLiteral("density")).toString(),
            QStringLiteral("5"));
  EXPECT_EQ(RunCli({QStringLiteral("ports"), QStringLiteral("--serial")}).exitCode, 0);

  CliRun version = RunCli({QStringLiteral("probe"), QStringLiteral("--version")});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.trimmed(), QStringLiteral("deveder-cli ") + QString::fromLatin1(kProgramVersion));

  for (const char* command : {"settings", "wifi", "bt", "test", "restore", "backup", "probe"}) {
    CliRun help = RunCli({QString::fromLatin1(command), QStringLiteral("write"), QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0) << command;
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("usage: deveder-cli ") + QString::fromLatin1(command)))
        << help.out.toStdString();
  }
}

TEST(CliContract, UsageErrorsComeBeforeAnyPortIsLookedUpOrOpened) {
  auto printer = StartPrinter();
  // No --port: the port walk would find nothing here, so any mention of a
  // port means the arguments were checked too late.
  for (const QStringList& bad :
       {QStringList{QStringLiteral("probe"), QStringLiteral("extra")},
        QStringList{QStringLiteral("settings"), QStringLiteral("write"), QStringLiteral("density=99")},
        QStringList{QStringLiteral("settings"), QStringLiteral("read"), QStringLiteral("--xml")},
        QStringList{QStringLiteral("test"), QStringLiteral("factory-default")},
        QStringList{QStringLiteral("firmware"), QStringLiteral("download")}}) {
    CliRun r = RunCli(bad);
    EXPECT_EQ(r.exitCode, 2) << bad.join(' ').toStdString() << ": " << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("no port found"))) << r.err.toStdString();
  }
  // A trace that cannot be written is a usage error, and the printer
  // hears nothing.
  CliRun trace = RunCli(QStringList{QStringLiteral("--trace"), QStringLiteral("/nonexistent/dir/trace.txt")} +
                        PortArgs(*printer) + "probe");
  EXPECT_EQ(trace.exitCode, 2);
  EXPECT_TRUE(trace.err.contains(QStringLiteral("/nonexistent/dir/trace.txt"))) << trace.err.toStdString();
  EXPECT_EQ(printer->BytesReceived(), 0);
}

// Runs deveder-cli where no pseudo-terminal can be opened: both multiplexer
// nodes are covered by an empty file in a mount namespace of its own (the
// simulated printer's own terminal, opened already, stays reachable).
// nullopt where this machine allows no private mount namespace.
std::optional<CliRun> RunWithoutPtys(const QStringList& args) {
  QTemporaryDir dir;
  const QString empty = dir.filePath(QStringLiteral("empty"));
  QFile f(empty);
  if (!f.open(QIODevice::WriteOnly)) return std::nullopt;
  f.close();
  QStringList script{QStringLiteral("-m"), QStringLiteral("--propagation"), QStringLiteral("private"),
                     QStringLiteral("sh"), QStringLiteral("-c"),
                     QStringLiteral("mount --bind \"$0\" /dev/ptmx && { [ ! -e /dev/pts/ptmx ] || "
                                    "mount --bind \"$0\" /dev/pts/ptmx; } || exit 99; exec \"$@\""),
                     empty, QStringLiteral(DEVEDER_CLI_PATH)};
  QProcess p;
  p.start(QStringLiteral("unshare"), script + args);
  if (!p.waitForStarted(5000) || !p.waitForFinished(20000)) {
    p.kill();
    p.waitForFinished(2000);
    return std::nullopt;
  }
  if (p.exitStatus() != QProcess::NormalExit || p.exitCode() == 99) return std::nullopt;
  CliRun run;
  run.finished = true;
  run.exitCode = p.exitCode();
  run.out = QString::fromUtf8(p.readAllStandardOutput());
  run.err = QString::fromUtf8(p.readAllStandardError());
  return run;
}

TEST(CliContract, ReadsAndWritesWithNoPseudoTerminalAvailable) {
  auto printer = StartPrinter();
  SetSimVar(*printer, "density", "5");
  const std::optional<CliRun> read = RunWithoutPtys(PortArgs(*printer) + "settings" + "read" + "--json");
  if (!read) GTEST_SKIP() << "no private mount namespace here";
  ASSERT_EQ(read->exitCode, 0) << read->err.toStdString();
  const QJsonObject values = QJsonDocument::fromJson(read->out.toUtf8()).object();
  EXPECT_EQ(values.value(QStringLiteral("density")).toString(), QStringLiteral("5"));
  EXPECT_EQ(values.value(QStringLiteral("mfg")).toString(), QStringLiteral("Zivuvo"));
  const std::optional<CliRun> write = RunWithoutPtys(PortArgs(*printer) + "wifi" + "write" + "wlan.apac=0");
  ASSERT_TRUE(write);
  EXPECT_EQ(write->exitCode, 0) << write->err.toStdString();
  EXPECT_EQ(SimVar(*printer, "wlan.apac"), "0");
}

}  // namespace

namespace {

TEST(CliContract, RepliesShowTheAnswersAsReceivedBesideTheValues) {
  auto printer = StartPrinter();
  SetSimVar(*printer, "bluetooth.friendly_name", "Desk\x01" "3");
  CliRun r = RunCli(PortArgs(*printer) + "bt" + "read" + "--replies");
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.contains(QStringLiteral("bluetooth.baud           115200"))) << r.out.toStdString();
  // Each request goes out with the getvar "model" that proves its answer
  // complete; the answer is what came before the model reply.
  EXPECT_TRUE(r.out.contains(QStringLiteral("getvar \\\"bluetooth.friendly_name\\\"\\r\\n\\x1B\\x1B! U1 getvar "
                                            "\\\"model\\\"\\r\\n\" -> \"Desk\\x013TQ250L;250;CPCL,ESCPOS,TSPL;1\"")))
      << r.out.toStdString();

  CliRun json = RunCli(PortArgs(*printer) + "bt" + "read" + "--replies" + "--json");
  ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
  const QJsonObject all = QJsonDocument::fromJson(json.out.toUtf8()).object();
  EXPECT_EQ(all.value(QStringLiteral("values")).toObject().value(QStringLiteral("bluetooth.baud")).toString(),
            QStringLiteral("115200"));
  EXPECT_GE(all.value(QStringLiteral("replies")).toArray().size(), 5);
}

}  // namespace
