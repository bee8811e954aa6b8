// The tool's own window over the simulated printer, driven by its buttons:
// what cannot be undone asks first and sends nothing on No.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include "app/app.h"
#include "app/main_window.h"
#include "gui/gui_app.h"
#include "link/port_hooks.h"
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
  explicit ToolWindow(sim::Options options = {}) : printer(options) {
    tst::App();
    EXPECT_TRUE(printer.Start());
    InstallGuiPump();  // as the tool runs: waits keep the window going
    window = std::make_unique<CDEVederDlg>(kLangEnglish, std::make_unique<SimSource>(printer.PortPath()), MakeToolPages());
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
