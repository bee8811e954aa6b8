// The tool's own window over the simulated printer, driven by its buttons:
// what cannot be undone asks first and sends nothing on No.
#include <gtest/gtest.h>

#include <algorithm>

#include <QFileDialog>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include "app/app.h"
#include "app/main_window.h"
#include "gui/gui_app.h"
#include "link/port_hooks.h"
#include "pages/backup/backup_file.h"
#include "protocol/text_codec.h"
#include "sim/printer_sim.h"

using namespace deveder;

namespace {

class SimSource : public DeviceSource {
 public:
  explicit SimSource(std::string path) : path_(std::move(path)) {}
  bool UsbPrinters(std::vector<std::string>& paths) override {
    paths = {path_};
    return true;
  }
  bool SerialPorts(std::vector<std::string>& paths) override {
    paths = {path_};
    return true;
  }

 private:
  std::string path_;
};

struct ToolWindow {
  explicit ToolWindow(sim::Options options = {}, int lang = kLangEnglish) : printer(options) {
    tst::App();
    EXPECT_TRUE(printer.Start());
    InstallGuiPump();  // as the tool runs: waits keep the window going
    window = std::make_unique<CDEVederDlg>(lang, std::make_unique<SimSource>(printer.PortPath()), MakeToolPages());
    window->show();
  }
  ~ToolWindow() {
    window.reset();
    SetPortPumpHook(nullptr);
    printer.Stop();
  }
  // Presses a button of a page and answers the question it asks (if any)
  // with `answer`; the question's text.
  QString Press(int page, int id, const QString& answer) {
    window->SwitchPage(page);
    QString asked;
    tst::AnswerNextQuestion(answer, asked);
    static_cast<QPushButton*>(window->Page(page)->Controls().Widget(id))->click();
    return asked;
  }
  sim::PrinterSim printer;
  std::unique_ptr<CDEVederDlg> window;
};

}  // namespace

TEST(ToolWindow, FactoryDefaultAndHexDumpSayWhatTheyDo) {
  ToolWindow t;
  const QString port = QString::fromStdString(t.printer.PortPath());
  const QString asked = t.Press(5, 1065, QStringLiteral("No"));
  EXPECT_TRUE(asked.contains(QStringLiteral("factory defaults of ") + port)) << asked.toStdString();
  EXPECT_TRUE(t.printer.Lines().empty());
  EXPECT_TRUE(t.window->StatusResult()->text().isEmpty()) << t.window->StatusResult()->text().toStdString();

  t.Press(5, 1065, QStringLiteral("Yes"));
  EXPECT_TRUE(t.printer.WaitFor([&] {
    const auto lines = t.printer.Lines();
    return !lines.empty() && lines.back() == "\x1b\x1b! U1 do \"factory_default\"\r\n";
  }, 5000));
  EXPECT_TRUE(t.window->StatusResult()->text().startsWith(QStringLiteral("Factory Default sent ")));
  // The traffic view has the line as it went out, after the model probe.
  const QString traffic = t.window->TrafficText();
  EXPECT_TRUE(traffic.contains(QStringLiteral("Factory Default: Factory Default sent")) &&
              traffic.contains(QStringLiteral("\"\\x1B\\x1B! U1 getvar \\\"model\\\"\\r\\n\" -> \"TQ250L;")) &&
              traffic.contains(QStringLiteral("\"\\x1B\\x1B! U1 do \\\"factory_default\\\"\\r\\n\" -> \"\"")))
      << traffic.toStdString();
  // Once the printer is known, it is named.
  EXPECT_TRUE(t.Press(5, 1065, QStringLiteral("No")).contains(QStringLiteral("TQ250L on ") + port));

  // HexDump goes at once and then says how the printer leaves dump mode.
  const QString notice = t.Press(5, 1066, QStringLiteral("OK"));
  EXPECT_TRUE(notice.contains(QStringLiteral("Switch it off and on again"))) << notice.toStdString();
}

TEST(ToolWindow, FirmwareAsksNamingTheFileAndItsSizeAndSendsNothingOnNo) {
  ToolWindow t;
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("fw.bin"));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(QByteArray(600, '\x5a'));
  f.close();
  t.window->Page(6)->Controls().SetText(1006, path);
  const QString asked = t.Press(6, 1045, QStringLiteral("No"));
  EXPECT_TRUE(asked.contains(QStringLiteral("fw.bin (600 bytes)"))) << asked.toStdString();
  EXPECT_TRUE(asked.contains(QStringLiteral("Do not unplug"))) << asked.toStdString();
  EXPECT_TRUE(t.printer.Packets().empty());
  EXPECT_TRUE(t.window->StatusResult()->text().startsWith(QStringLiteral("Download: not done ")))
      << t.window->StatusResult()->text().toStdString();
}

TEST(ToolWindow, ClosingDuringAFontDownloadMayStopItBetweenBlocks) {
  sim::Options paced;
  paced.paceBaud = 115200;  // a 4 KiB block takes about a third of a second
  ToolWindow t(paced);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("font.bin"));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(QByteArray(64 * 1024, '\x33'));
  f.close();
  t.window->SwitchPage(4);
  t.window->Page(4)->Controls().SetText(1006, path);
  // Soon after the download starts the user closes the window and, told it
  // closes when the download ends, stops it; the message that follows says
  // what the printer holds.
  QString notice, message, reason;
  QTimer::singleShot(150, [&] {
    t.window->close();
    if (QMessageBox* box = t.window->CloseNotice()) {
      notice = box->text();
      for (QAbstractButton* b : box->buttons())
        if (b->text().remove(QLatin1Char('&')).startsWith(QStringLiteral("Stop"))) b->click();
    }
  });
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      message = box->text();
      reason = box->informativeText();
      box->accept();
    }
  });
  answer.start(20);
  static_cast<QPushButton*>(t.window->Page(4)->Controls().Widget(1004))->click();
  EXPECT_TRUE(notice.contains(QStringLiteral("closes when the font download ends"))) << notice.toStdString();
  EXPECT_EQ(message, QStringLiteral("Font download stopped."));
  EXPECT_TRUE(reason.contains(QStringLiteral("% sent"))) << reason.toStdString();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !t.window->isVisible(); }, 3000));
  ASSERT_TRUE(t.printer.WaitFor([&] { return !t.printer.Downloads().empty(); }, 1000));
  EXPECT_FALSE(t.printer.Downloads().back().complete);
}

TEST(ToolWindow, TheSpeedPickedForASerialPortIsTheLineSpeedOfARead) {
  sim::Options paced;
  paced.paceBaud = 115200;
  ToolWindow t(paced);
  const std::uint32_t before = t.printer.LineBaud();
  WidgetControls& comm = t.window->Page(0)->Controls();
  comm.SetCurrentIndex(kPortTypeBox, 1);  // the serial port type, as the user picks it
  t.window->Page(0)->RunControl(kPortTypeBox, ControlEvent::SelectionChanged);
  t.window->TickComm();
  // The box shows the speed the port has: nothing changes unless picked.
  EXPECT_EQ(comm.Text(kBaudBox), QString::number(before));
  comm.SetCurrentIndex(kBaudBox, 6);
  t.window->Page(0)->RunControl(kBaudBox, ControlEvent::SelectionChanged);
  ASSERT_EQ(comm.Text(kBaudBox), "115200");
  // The speed the printer's end of the line sees while the Read runs.
  std::uint32_t seen = 0;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] { seen = std::max(seen, t.printer.LineBaud()); });
  watch.start(1);
  t.window->SwitchPage(1);
  watch.stop();
  EXPECT_EQ(seen, 115200u);
  EXPECT_TRUE(t.window->StatusResult()->text().startsWith(QStringLiteral("Read OK")))
      << t.window->StatusResult()->text().toStdString();
  EXPECT_TRUE(t.window->StatusPrinter()->toolTip().endsWith(QStringLiteral("line speed 115200 baud")))
      << t.window->StatusPrinter()->toolTip().toStdString();
  EXPECT_EQ(t.printer.LineBaud(), before);  // the line's own settings given back at the close
}

namespace {

// Runs one entry of the Backup menu as the user would: the entry, the file
// chosen in its dialog, and each box after it answered with `answer`
// (Yes or No to the restore's question, OK to the rest). The boxes' texts.
QStringList RunBackupEntry(ToolWindow& t, int entry, const QString& path, const QString& answer = QStringLiteral("Yes")) {
  QStringList boxes;
  QTimer answers;
  QObject::connect(&answers, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
      // The path typed into its name field, then its Save or Open button.
      if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) name->setText(path);
      static_cast<QDialog*>(dialog)->accept();
    } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      boxes << box->text() + QLatin1Char('\n') + box->informativeText();
      for (QAbstractButton* b : box->buttons()) {
        const QString text = b->text().remove(QLatin1Char('&'));
        if (text.startsWith(answer) || (box->buttons().size() == 1 && text.startsWith(QStringLiteral("OK")))) {
          b->click();
          break;
        }
      }
    }
  });
  answers.start(10);
  t.window->Backup().Button()->menu()->actions().at(entry)->trigger();
  return boxes;
}

enum { kSave, kRestore, kVerify };

}  // namespace

TEST(ToolWindow, BackupSavedVerifiedAndRestoredThroughTheMenu) {
  ToolWindow t;
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("counter.json"));
  QStringList boxes = RunBackupEntry(t, kSave, file);
  ASSERT_EQ(boxes.size(), 1) << boxes.join("|").toStdString();
  EXPECT_TRUE(boxes[0].startsWith(QStringLiteral("The settings, WiFi and Bluetooth values saved to counter.json")));
  EXPECT_TRUE(t.window->StatusResult()->text().startsWith(QStringLiteral("The settings, WiFi and Bluetooth")));
  // The file deveder-cli writes: the owner's alone, one object per page.
  QFile saved(file);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(saved.permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
  QJsonObject top;
  ASSERT_EQ(ParseBackup(saved.readAll(), top), "");
  EXPECT_EQ(top.keys(), (QStringList{"bluetooth", "settings", "wifi"}));
  const QString name = top["bluetooth"].toObject()["bluetooth.friendly_name"].toString();

  EXPECT_TRUE(RunBackupEntry(t, kVerify, file).value(0).startsWith(QStringLiteral("The printer holds what counter.json")));
  {
    auto lock = t.printer.Lock();
    t.printer.Store().Set("bluetooth.friendly_name", "Counter 3");
  }
  boxes = RunBackupEntry(t, kVerify, file);
  EXPECT_EQ(boxes.value(0), QStringLiteral("Differences from counter.json: 1\nbluetooth.bluetooth.friendly_name: file \"") +
                                name + QStringLiteral("\", printer \"Counter 3\""));
  EXPECT_TRUE(t.window->TrafficText().contains(QStringLiteral("Verify against file: Differences from counter.json: 1")))
      << t.window->TrafficText().toStdString();

  // Restore asks first, naming the file and the printer; No sends nothing.
  t.printer.ClearLog();
  boxes = RunBackupEntry(t, kRestore, file, QStringLiteral("No"));
  EXPECT_TRUE(boxes.value(0).startsWith(QStringLiteral("Write the values of counter.json to TQ250L on "))) << boxes.join("|").toStdString();
  EXPECT_TRUE(boxes.value(0).contains(QStringLiteral("settings.sn not written")));  // the identity stays
  EXPECT_TRUE(t.printer.Lines().empty());
  boxes = RunBackupEntry(t, kRestore, file);
  EXPECT_EQ(boxes.value(1), QStringLiteral("Restored from counter.json\n"));
  {
    auto lock = t.printer.Lock();
    EXPECT_EQ(t.printer.Store().Get("bluetooth.friendly_name"), name.toStdString());
  }
  EXPECT_TRUE(RunBackupEntry(t, kVerify, file).value(0).startsWith(QStringLiteral("The printer holds what")));

  // A file that is no backup, or names a page there is none of, is refused
  // before the printer hears anything.
  t.printer.ClearLog();
  for (const QByteArray& bytes : {QByteArray("not json"), QByteArray(R"({"printer": {}})"),
                                  QByteArray(R"({"settings": {"density": 3}})")}) {
    const QString bad = dir.filePath(QStringLiteral("bad.json"));
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();
    for (int entry : {kRestore, kVerify}) {
      boxes = RunBackupEntry(t, entry, bad);
      ASSERT_EQ(boxes.size(), 1) << bytes.toStdString();
      EXPECT_TRUE(boxes[0].startsWith(bad + QStringLiteral(" cannot be used:\n"))) << boxes[0].toStdString();
    }
  }
  EXPECT_TRUE(t.printer.Lines().empty());
}

TEST(ToolWindow, TheSamplePrintShowsPercentAndSizeAsItGoes) {
  sim::Options paced;
  paced.paceBaud = 921600;  // the job takes most of a second: the port takes it piece by piece
  ToolWindow t(paced);
  std::vector<int> shown;
  QString format;
  QObject::connect(t.window->StatusProgress(), &QProgressBar::valueChanged, [&](int value) {
    shown.push_back(value);
    format = t.window->StatusProgress()->format();
    EXPECT_TRUE(t.window->StatusProgress()->isVisible());
  });
  t.Press(5, 1104, QString());  // Demo Print
  ASSERT_FALSE(shown.empty());
  EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
  EXPECT_GT(shown.size(), 2u);
  EXPECT_EQ(shown.back(), 100);
  EXPECT_EQ(format, QStringLiteral("%p % of 61,967 bytes"));
  EXPECT_FALSE(t.window->StatusProgress()->isVisible());
  EXPECT_TRUE(t.window->StatusResult()->text().startsWith(QStringLiteral("Demo Print: 61,967 bytes sent ")))
      << t.window->StatusResult()->text().toStdString();
}

TEST(ToolWindow, AValueThatCannotGoIsNamedAsItsFieldIsLabelled) {
  for (const auto& [lang, field] : {std::pair{kLangEnglish, "STA Mode SSID"}, std::pair{kLangChinese, "STA 模式 SSID"}}) {
    ToolWindow t({}, lang);
    t.window->SwitchPage(3);  // read when first shown
    t.window->Page(3)->Controls().SetText(1179, QStringLiteral("Shop\x01"));
    t.printer.ClearLog();
    const QString message = t.Press(3, 1060, QString());
    EXPECT_TRUE(message.contains(QString::fromUtf8(field) + (lang == kLangEnglish ? ": " : "："))) << message.toStdString();
    EXPECT_FALSE(message.contains(QStringLiteral("wlan.sta"))) << message.toStdString();
    EXPECT_TRUE(t.printer.Lines().empty());
  }
}
