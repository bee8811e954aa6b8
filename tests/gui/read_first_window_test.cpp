// The window with two printers attached: a page read from one never writes
// to the other.
#include <gtest/gtest.h>

#include <QPushButton>

#include "app/app.h"
#include "app/main_window.h"
#include "gui/gui_app.h"
#include "link/port_hooks.h"
#include "pages/bluetooth/bluetooth_page.h"
#include "pages/settings/settings_tables.h"
#include "pages/wifi/wifi_page.h"
#include "protocol/text_codec.h"
#include "sim/printer_sim.h"

using namespace deveder;

namespace {

class TwoPrinters : public DeviceSource {
 public:
  explicit TwoPrinters(std::vector<std::string> paths) : paths_(std::move(paths)) {}
  bool UsbPrinters(std::vector<std::string>& paths) override {
    paths = paths_;
    return true;
  }
  bool SerialPorts(std::vector<std::string>&) override { return true; }

 private:
  std::vector<std::string> paths_;
};

bool Wrote(sim::PrinterSim& printer) {
  for (const std::string& line : printer.Lines())
    if (line.find("setvar") != std::string::npos) return true;
  return false;
}

}  // namespace

TEST(ReadFirst, AfterThePortChangesEveryReadingPageSaysPleaseReadFirstAndSendsNothing) {
  tst::App();
  sim::Options a, b;
  a.modelReply = "TQ250L;ZV-A;CPCL,ESCPOS,TSPL;1";
  b.modelReply = "TQ250L;ZV-B;CPCL,ESCPOS,TSPL;1";
  sim::PrinterSim first(a), second(b);
  ASSERT_TRUE(first.Start());
  ASSERT_TRUE(second.Start());
  InstallGuiPump();
  auto window = std::make_unique<CDEVederDlg>(
      kLangEnglish, std::make_unique<TwoPrinters>(std::vector<std::string>{first.PortPath(), second.PortPath()}),
      MakeToolPages());
  window->show();
  window->TickComm();
  // Settings, Bluetooth and WiFi, each read from the first printer.
  const std::vector<std::pair<int, int>> writes = {{1, kSetWriteButton}, {2, bluetooth::kUpdateButton},
                                                   {3, wifi::kWriteButton}};
  for (const auto& [page, button] : writes) {
    window->SwitchPage(page);
    EXPECT_FALSE(window->StatusResult()->text().contains(QStringLiteral("打印机连接断开"))) << "page " << page;
  }
  std::string asked;
  for (const std::string& line : first.Lines()) asked += line;
  for (const char* var : {"\"mfg\"", "\"bluetooth.address\"", "\"wlan.mac\""})
    ASSERT_NE(asked.find(var), std::string::npos) << var << " was not read";
  window->SwitchPage(0);
  window->Page(0)->Controls().SetCurrentIndex(1005, 1);
  window->TickComm();
  first.ClearLog();
  second.ClearLog();
  for (const auto& [page, button] : writes) {
    window->SwitchPage(page);
    QString said;
    tst::AnswerNextQuestion(QStringLiteral("OK"), said);
    static_cast<QPushButton*>(window->Page(page)->Controls().Widget(button))->click();
    EXPECT_EQ(said, QStringLiteral("PleaseReadFirst!")) << "page " << page;
  }
  EXPECT_FALSE(Wrote(first));
  EXPECT_FALSE(Wrote(second));
  window.reset();
  SetPortPumpHook(nullptr);
}
