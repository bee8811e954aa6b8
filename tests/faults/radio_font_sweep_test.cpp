// The printer unplugged in the middle of the WiFi, Bluetooth and font actions.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "faults/sweep.h"
#include "pages/bluetooth/bluetooth_page.h"
#include "pages/font/font_page.h"
#include "pages/wifi/wifi_page.h"
#include "protocol/text_codec.h"
#include "resources/strings.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

QString S(int id) { return LoadString(id, kLangEnglish); }

void Click(int id, PageLogic& page, PageContext& ctx) { page.OnControl(id, ControlEvent::Clicked, ctx); }

template <typename Page>
std::function<std::unique_ptr<PageLogic>()> Make() {
  return [] { return std::unique_ptr<PageLogic>(std::make_unique<Page>()); };
}

TEST(FaultSweep, WifiReadAndWrite) {
  SweepAction read{"wifi read", wifi::kDialogId, Make<WifiPage>()};
  read.run = [](PageLogic& p, PageContext& c) { Click(wifi::kReadButton, p, c); };
  read.failureMessages = {kMsgConnectionLost, S(kStrUnconnectPrinter)};
  ReportSweep(read.name, Sweep(read));

  SweepAction write = read;
  write.name = "wifi write";
  write.prepare = [](PageLogic& p, PageContext& c) { Click(wifi::kReadButton, p, c); };
  write.run = [](PageLogic& p, PageContext& c) { Click(wifi::kWriteButton, p, c); };
  ReportSweep(write.name, Sweep(write));

  for (SweepAction numbered : {read, write}) {
    numbered.name += ", numbered form";
    numbered.modelReply = "TQ80;80;ESCPOS";
    ReportSweep(numbered.name, Sweep(numbered));
  }
  for (SweepAction network : {read, write}) {
    network.name += ", network printer";
    network.tcp = true;
    ReportSweep(network.name, Sweep(network));
  }
}

TEST(FaultSweep, BluetoothReadAndUpdate) {
  SweepAction read{"bluetooth read", bluetooth::kDialogId, Make<BluetoothPage>()};
  read.run = [](PageLogic& p, PageContext& c) { Click(bluetooth::kReadButton, p, c); };
  read.successMessages = {S(kStrReadOk)};
  read.failureMessages = {kMsgConnectionLost, S(kStrUnconnectPrinter)};
  ReportSweep(read.name, Sweep(read));

  SweepAction update = read;
  update.name = "bluetooth update";
  update.prepare = [](PageLogic& p, PageContext& c) { Click(bluetooth::kReadButton, p, c); };
  update.run = [](PageLogic& p, PageContext& c) { Click(bluetooth::kUpdateButton, p, c); };
  update.ready = [](const PageContext& c) {
    for (int edit : {bluetooth::kAddressEdit, bluetooth::kNameEdit, bluetooth::kPinEdit})
      if (c.controls.Text(edit).isEmpty()) return false;
    return c.controls.CurrentIndex(bluetooth::kBaudList) >= 0 && c.controls.CurrentIndex(bluetooth::kCodList) >= 0;
  };
  update.successMessages = {S(kStrWriteOk)};
  ReportSweep(update.name, Sweep(update));

  for (SweepAction numbered : {read, update}) {
    numbered.name += ", numbered form";
    numbered.modelReply = "TQ80;80;ESCPOS";
    ReportSweep(numbered.name, Sweep(numbered));
  }
  for (SweepAction network : {read, update}) {
    network.name += ", network printer";
    network.tcp = true;
    ReportSweep(network.name, Sweep(network));
  }
}

TEST(FaultSweep, FontDownloads) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("font.bin"));
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    QByteArray data(10000, '\0');
    for (int i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    f.write(data);
  }
  for (int kind : {0, 1}) {
    SweepAction font{kind ? "font download, extended" : "font download, standard", kFontDialogId, Make<FontPage>()};
    font.prepare = [file, kind](PageLogic&, PageContext& c) {
      c.controls.SetCurrentIndex(kFontKindList, kind);
      c.controls.SetText(kFontPathEdit, file);
    };
    font.run = [](PageLogic& p, PageContext& c) { Click(kFontDownloadButton, p, c); };
    font.failureMessages = {S(kStrUnconnectPrinter), S(kStrCantOpenPrinter), S(kStrCommunicateFail), kMsgConnectionLost};
    ReportSweep(font.name, Sweep(font));
    font.name += ", network printer";
    font.tcp = true;
    ReportSweep(font.name, Sweep(font));
  }
}

}  // namespace
