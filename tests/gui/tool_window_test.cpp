// The tool's own window over the simulated printer, driven by its buttons:
// what cannot be undone asks first and sends nothing on No.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/app.h"
#include "app/main_window.h"
#include "gui/gui_app.h"
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
  ToolWindow() {
    tst::App();
    EXPECT_TRUE(printer.Start());
    window = std::make_unique<CDEVederDlg>(kLangEnglish, std::make_unique<SimSource>(printer.PortPath()), MakeToolPages());
    window->show();
  }
  ~ToolWindow() { printer.Stop(); }
  // Presses a button of a page and answers the question it asks (if any)
  // with `answer`; the question's text.
  QString Press(int page, int id, const QString& answer) {
    window->SwitchPage(page);
    QString asked;
    tst::AnswerNextQuestion(answer, asked);
    static_cast<QPushButton*>(window->Page(page)->Controls().Widget(id))->click();
    return asked;
  }
  sim::PrinterSim printer{sim::Options{}};
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
