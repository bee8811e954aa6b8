// deveder-cli through its binary: usage, probe, the WiFi and Bluetooth pages,
// the trace and the font download.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "cli/cli_support.h"
#include "pages/bluetooth/bluetooth_page.h"
#include "pages/core/memory_controls.h"
#include "pages/wifi/wifi_page.h"
#include "protocol/text_codec.h"
#include "resources/dialogs.h"
#include "resources/strings.h"
#include "sim/printer_sim.h"
#include "test_support.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

// The setvar lines that the window's page sends for a Write right after a
// Read of `printer` (which is then cleared).
std::vector<std::string> GuiWriteLines(sim::PrinterSim& printer, PageLogic& page, const DialogTemplate& dialog,
                                       int read, int write) {
  MemoryControls controls(dialog);
  RecordingUi ui;
  PrinterInfo info;
  PageContext ctx{controls, ui, info, {QString::fromStdString(printer.PortPath())}, kLangEnglish};
  page.OnCreate(ctx);
  page.OnControl(read, ControlEvent::Clicked, ctx);
  printer.ClearLog();
  page.OnControl(write, ControlEvent::Clicked, ctx);
  return SetvarLines(SettledLines(printer));
}

TEST(CliUsage, HelpUsageErrorsAndExitCodes) {
  CliRun help = RunCli({QStringLiteral("--help")});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(help.out.contains(QStringLiteral("backup FILE")));
  EXPECT_TRUE(help.out.contains(QStringLiteral("firmware download FILE")));
  for (const QStringList& bad : {QStringList{}, QStringList{QStringLiteral("frobnicate")},
                                 QStringList{QStringLiteral("--lang"), QStringLiteral("fr"), QStringLiteral("probe")},
                                 QStringList{QStringLiteral("--baud"), QStringLiteral("fast"), QStringLiteral("probe")},
                                 QStringList{QStringLiteral("--baud"), QStringLiteral("9600bd"), QStringLiteral("probe")},
                                 QStringList{QStringLiteral("wifi")}, QStringList{QStringLiteral("test"), QStringLiteral("selfdestruct")}}) {
    CliRun r = RunCli(QStringList{QStringLiteral("--port"), QStringLiteral("/nonexistent")} + bad);
    EXPECT_EQ(r.exitCode, 2) << bad.join(' ').toStdString();
    EXPECT_FALSE(r.err.isEmpty());
  }
  // A port that does not open: the page's own message, exit 1.
  CliRun none = RunCli({QStringLiteral("--port"), QStringLiteral("/nonexistent"), QStringLiteral("--lang"),
                        QStringLiteral("en"), QStringLiteral("bt"), QStringLiteral("read")});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_TRUE(none.err.contains(LoadString(kStrUnconnectPrinter, kLangEnglish))) << none.err.toStdString();
  CliRun ports = RunCli({QStringLiteral("ports")});
  EXPECT_EQ(ports.exitCode, 0);
}

TEST(CliProbe, PrintsWhatTheModelReplySays) {
  auto printer = StartPrinter("TQ80;80;ESCPOS");
  CliRun r = RunCli(PortArgs(*printer) + "probe");
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.contains(QStringLiteral("model name    TQ80")));
  EXPECT_TRUE(r.out.contains(QStringLiteral("model number  80")));
  EXPECT_TRUE(r.out.contains(QStringLiteral("ESCPOS")));
  EXPECT_TRUE(r.out.contains(QStringLiteral("numbered")));
}

TEST(CliProbe, PrinterGoneDuringTheProbeIsAFailure) {
  auto printer = StartPrinter();
  sim::Faults f;
  f.hangUpAfterBytes = 5;
  printer->SetFaults(f);
  CliRun r = RunCli(PortArgs(*printer) + "probe");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_FALSE(r.out.contains(QStringLiteral("model name")));
  EXPECT_TRUE(r.err.contains(kMsgConnectionLost)) << r.err.toStdString();
}

TEST(CliBluetooth, JsonReadWrittenBackSendsWhatTheWindowWould) {
  auto printer = StartPrinter();
  {
    auto lock = printer->Lock();
    printer->Store().Set("bluetooth.friendly_name", "Counter 3");
    printer->Store().Set("bluetooth.baud", "57600");
  }
  CliRun read = RunCli(PortArgs(*printer) + "bt" + "read" + "--json");
  ASSERT_EQ(read.exitCode, 0) << read.err.toStdString();
  const QJsonObject obj = QJsonDocument::fromJson(read.out.toUtf8()).object();
  EXPECT_EQ(obj.value(QStringLiteral("bluetooth.friendly_name")).toString(), QStringLiteral("Counter 3"));
  EXPECT_EQ(obj.value(QStringLiteral("bluetooth.baud")).toString(), QStringLiteral("57600"));
  EXPECT_EQ(obj.size(), 5);

  QStringList write = PortArgs(*printer) + "bt" + "write";
  for (auto it = obj.begin(); it != obj.end(); ++it) write << it.key() + QLatin1Char('=') + it.value().toString();
  printer->ClearLog();
  CliRun w = RunCli(write);
  ASSERT_EQ(w.exitCode, 0) << w.err.toStdString();
  const std::vector<std::string> cliLines = SetvarLines(SettledLines(*printer));

  BluetoothPage gui;
  const std::vector<std::string> guiLines =
      GuiWriteLines(*printer, gui, Dialog132(kLangEnglish), bluetooth::kReadButton, bluetooth::kUpdateButton);
  EXPECT_EQ(cliLines.size(), 5u);
  EXPECT_EQ(cliLines, guiLines);
}

TEST(CliBluetooth, WriteChangesOnlyWhatIsNamedAndRefusesWhatFitsNoItem) {
  auto printer = StartPrinter();
  CliRun w = RunCli(PortArgs(*printer) + "bt" + "write" + "bluetooth.baud=9600" + "bluetooth.friendly_name=Shop 7");
  ASSERT_EQ(w.exitCode, 0) << w.err.toStdString();
  SettledLines(*printer);
  {
    auto lock = printer->Lock();
    EXPECT_EQ(printer->Store().Get("bluetooth.baud"), "9600");
    EXPECT_EQ(printer->Store().Get("bluetooth.friendly_name"), "Shop 7");
    EXPECT_EQ(printer->Store().Get("bluetooth.bluetooth_pin"), "0000");
  }
  // A value no list item has, or an unknown name: usage, and nothing written.
  for (const char* bad : {"bluetooth.baud=12345", "bluetooth.colour=blue", "nonsense"}) {
    printer->ClearLog();
    CliRun r = RunCli(PortArgs(*printer) + "bt" + "write" + bad);
    EXPECT_EQ(r.exitCode, 2) << bad;
    EXPECT_TRUE(SetvarLines(SettledLines(*printer)).empty()) << bad;
  }
}

TEST(CliWifi, ReadShowsEveryVariableAndWriteChangesTheStation) {
  auto printer = StartPrinter();
  CliRun read = RunCli(PortArgs(*printer) + "wifi" + "read");
  ASSERT_EQ(read.exitCode, 0) << read.err.toStdString();
  for (const char* name : {"wlan.mac", "wlan.lip", "wlan.mode", "wlan.dhcp", "wlan.ap", "wlan.sta", "wlan.apac"})
    EXPECT_TRUE(read.out.contains(QString::fromLatin1(name))) << name;

  CliRun w = RunCli(PortArgs(*printer) + "wifi" + "write" + "wlan.sta=Back office,s3cret,10.0.0.9,255.0.0.0,10.0.0.1");
  ASSERT_EQ(w.exitCode, 0) << w.err.toStdString();
  SettledLines(*printer);
  {
    auto lock = printer->Lock();
    EXPECT_EQ(printer->Store().Get("wlan.sta"), "Back office,s3cret,10.0.0.9,255.0.0.0,10.0.0.1");
  }
  // What is only shown cannot be written.
  CliRun mac = RunCli(PortArgs(*printer) + "wifi" + "write" + "wlan.mac=00:11:22:33:44:55");
  EXPECT_EQ(mac.exitCode, 2);
}

TEST(CliTrace, ShowsBothDirectionsWithTimes) {
  auto printer = StartPrinter();
  QTemporaryDir dir;
  const QString trace = dir.filePath(QStringLiteral("trace.txt"));
  CliRun r = RunCli(QStringList{QStringLiteral("--trace"), trace} + PortArgs(*printer) + "probe");
  ASSERT_EQ(r.exitCode, 0);
  QFile f(trace);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  QStringList lines = QString::fromLatin1(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  // The header names the program, the port, the mode, the form, the date
  // and the time unit before the first exchange.
  const QStringList header = lines.filter(QRegularExpression(QStringLiteral("^# ")));
  const QString head = header.join(QLatin1Char('\n'));
  for (const char* word : {"# deveder-cli ", "# port ", "# mode usb", "# form ", "# date ", "# time: milliseconds"})
    EXPECT_TRUE(head.contains(QString::fromLatin1(word))) << word << "\n" << head.toStdString();
  ASSERT_TRUE(lines.mid(0, header.size()) == header) << "the header comes first";
  lines = lines.mid(header.size());
  ASSERT_GE(lines.size(), 2);
  EXPECT_TRUE(lines[0].contains(QStringLiteral(" >> ")));
  EXPECT_TRUE(lines[0].contains(QStringLiteral("getvar \"model\"")));
  EXPECT_TRUE(lines[1].contains(QStringLiteral(" << ")));
  EXPECT_TRUE(lines[1].contains(QStringLiteral("TQ250L;250")));
}

TEST(CliFont, DownloadsWithProgressAndFailsCleanly) {
  auto printer = StartPrinter();
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("f.bin"));
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(20000, 'x'));
  }
  CliRun r = RunCli(PortArgs(*printer) + "font" + "download" + "--kind" + "extended" << file);
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains(QStringLiteral("100%")));  // plain percentages when not on a terminal
  ASSERT_TRUE(printer->WaitFor([&] { return !printer->Downloads().empty() && printer->Downloads().back().complete; }, 2000));
  EXPECT_EQ(printer->Downloads().back().size, 20000u);
  EXPECT_EQ(printer->Downloads().back().kind, "fontext");

  CliRun missing = RunCli(PortArgs(*printer) + "font" + "download" + "/nonexistent/font.bin");
  EXPECT_EQ(missing.exitCode, 1);
  CliRun kind = RunCli(PortArgs(*printer) + "font" + "download" + "--kind" + "huge" << file);
  EXPECT_EQ(kind.exitCode, 2);
}

}  // namespace
