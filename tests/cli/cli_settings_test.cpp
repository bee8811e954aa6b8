// deveder-cli through its binary: the settings page, backup and restore.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <string>

#include "cli/cli_support.h"
#include "pages/core/memory_controls.h"
#include "pages/settings/settings_page.h"
#include "protocol/text_codec.h"
#include "resources/dialog_template.h"
#include "resources/strings.h"
#include "sim/printer_sim.h"
#include "test_support.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

void Set(sim::PrinterSim& p, const std::string& name, const std::string& value) { SetSimVar(p, name, value); }
std::string Get(sim::PrinterSim& p, const std::string& name) { return SimVar(p, name); }

QJsonObject ReadJson(sim::PrinterSim& p, const char* page) {
  CliRun r = RunCli(PortArgs(p) + page + "read" + "--json");
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  return QJsonDocument::fromJson(r.out.toUtf8()).object();
}

TEST(CliSettings, JsonReadWrittenBackSendsWhatTheWindowWould) {
  auto printer = StartPrinter();
  Set(*printer, "density", "5");
  Set(*printer, "media", "black");
  const QJsonObject obj = ReadJson(*printer, "settings");
  EXPECT_EQ(obj.size(), 22);
  EXPECT_EQ(obj.value(QStringLiteral("density")).toString(), QStringLiteral("5"));
  EXPECT_EQ(obj.value(QStringLiteral("model")).toString(), QStringLiteral("TQ250L"));

  QStringList write = PortArgs(*printer) + "settings" + "write";
  for (auto it = obj.begin(); it != obj.end(); ++it)
    if (it.value().isString()) write << it.key() + QLatin1Char('=') + it.value().toString();
  printer->ClearLog();
  CliRun w = RunCli(write);
  ASSERT_EQ(w.exitCode, 0) << w.err.toStdString();
  const std::vector<std::string> cliLines = SetvarLines(SettledLines(*printer));

  // The window's page, read and written on the same printer.
  MemoryControls controls(FindDialogTemplate(144, kLangEnglish));
  RecordingUi ui;
  PrinterInfo info;
  PageContext ctx{controls, ui, info, {QString::fromStdString(printer->PortPath())}, kLangEnglish};
  SettingsPage gui;
  gui.OnCreate(ctx);
  gui.OnControl(1016, ControlEvent::Clicked, ctx);
  printer->ClearLog();
  gui.OnControl(1017, ControlEvent::Clicked, ctx);
  const std::vector<std::string> guiLines = SetvarLines(SettledLines(*printer));
  EXPECT_FALSE(cliLines.empty());
  EXPECT_EQ(cliLines, guiLines);
}

TEST(CliSettings, WriteChangesWhatIsNamedAndUsageErrorsWriteNothing) {
  auto printer = StartPrinter();
  CliRun w = RunCli(PortArgs(*printer) + "settings" + "write" + "density=6" + "media=black");
  ASSERT_EQ(w.exitCode, 0) << w.err.toStdString();
  SettledLines(*printer);
  EXPECT_EQ(Get(*printer, "density"), "6");
  EXPECT_EQ(Get(*printer, "media"), "black");
  for (const char* bad : {"media=sideways", "colour=red", "density"}) {
    printer->ClearLog();
    CliRun r = RunCli(PortArgs(*printer) + "settings" + "write" + bad);
    EXPECT_EQ(r.exitCode, 2) << bad;
    EXPECT_TRUE(SetvarLines(SettledLines(*printer)).empty()) << bad;
  }
}

TEST(CliBackup, RestoreOntoAnotherPrinterKeepsItsIdentity) {
  auto a = StartPrinter();
  Set(*a, "density", "1");
  Set(*a, "bluetooth.friendly_name", "Front desk");
  Set(*a, "wlan.sta", "Office,pa55,10.1.1.5,255.255.0.0,10.1.0.1");
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("a.json"));
  CliRun backup = RunCli(PortArgs(*a) + "backup" << file);
  ASSERT_EQ(backup.exitCode, 0) << backup.err.toStdString();

  auto b = StartPrinter();
  Set(*b, "sn", "OTHER0001");
  Set(*b, "bluetooth.address", "11:22:33:44:55:66");
  CliRun restore = RunCli(PortArgs(*b) + "restore" << file);
  ASSERT_EQ(restore.exitCode, 0) << restore.err.toStdString();
  SettledLines(*b);
  EXPECT_EQ(Get(*b, "density"), "1");
  EXPECT_EQ(Get(*b, "bluetooth.friendly_name"), "Front desk");
  EXPECT_EQ(Get(*b, "wlan.sta"), "Office,pa55,10.1.1.5,255.255.0.0,10.1.0.1");
  EXPECT_EQ(Get(*b, "sn"), "OTHER0001");
  // Its own address, which the module shows again in pairs once written as
  // twelve digits.
  EXPECT_EQ(Get(*b, "bluetooth.address"), "11:22:33:44:55:66");

  // Every value of the file now reads back the same, identity aside.
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QJsonObject saved = QJsonDocument::fromJson(f.readAll()).object();
  for (const char* page : {"settings", "wifi", "bt"}) {
    const QJsonObject now = ReadJson(*b, page);
    const QJsonObject want = saved.value(QString::fromLatin1(std::string(page) == "bt" ? "bluetooth" : page)).toObject();
    for (auto it = want.begin(); it != want.end(); ++it) {
      if (it.key() == QStringLiteral("sn") || it.key() == QStringLiteral("bluetooth.address") ||
          it.key() == QStringLiteral("wlan.mac") || it.key() == QStringLiteral("wlan.lip"))
        continue;
      EXPECT_EQ(now.value(it.key()), it.value()) << it.key().toStdString();
    }
  }
  CliRun identity = RunCli(PortArgs(*b) + "restore" + "--with-identity" << file);
  ASSERT_EQ(identity.exitCode, 0) << identity.err.toStdString();
  SettledLines(*b);
  EXPECT_EQ(Get(*b, "sn"), Get(*a, "sn"));
  EXPECT_EQ(Get(*b, "bluetooth.address"), Get(*a, "bluetooth.address"));
}

TEST(CliRead, ShowsWhatThePrinterSaidAndMarksWhatAWriteLeavesWithIt) {
  auto printer = StartPrinter();
  SetSimVar(*printer, "media", "LABEL");      // a word no item of the list stands for
  SetSimVar(*printer, "warn_format", "5");    // a number with no button
  const QJsonObject obj = ReadJson(*printer, "settings");
  EXPECT_EQ(obj.value("media").toString(), "LABEL");
  EXPECT_EQ(obj.value("warn_format").toString(), "5");
  EXPECT_EQ(obj.value("density").toString().toStdString(), Get(*printer, "density"));
  QStringList left;
  for (const QJsonValue& v : obj.value("left_with_printer").toArray()) left << v.toString();
  EXPECT_EQ(left, (QStringList{"media", "warn_format"}));
  CliRun text = RunCli(PortArgs(*printer) + "settings" + "read");
  ASSERT_EQ(text.exitCode, 0) << text.err.toStdString();
  EXPECT_TRUE(text.out.contains(QRegularExpression("\\nmedia +LABEL  \\(left with the printer\\)\\n"))) << text.out.toStdString();

  // The backup holds the same; restoring it leaves both with the printer.
  QTemporaryDir dir;
  const QString file = dir.filePath("b.json");
  ASSERT_EQ(RunCli(PortArgs(*printer) + "backup" << file).exitCode, 0);
  SetSimVar(*printer, "density", "1");
  CliRun restore = RunCli(PortArgs(*printer) + "restore" << file);
  EXPECT_EQ(restore.exitCode, 0) << restore.err.toStdString();
  EXPECT_TRUE(restore.err.contains("settings.media not written: left with the printer")) << restore.err.toStdString();
  SettledLines(*printer);
  EXPECT_EQ(Get(*printer, "media"), "LABEL");
  EXPECT_EQ(Get(*printer, "warn_format"), "5");
  EXPECT_EQ(RunCli(PortArgs(*printer) + "verify" << file).exitCode, 0);
}

}  // namespace
