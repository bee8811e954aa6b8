// The printer unplugged in the middle of a firmware download, both framings.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "faults/sweep.h"
#include "pages/firmware/firmware_page.h"
#include "protocol/text_codec.h"
#include "resources/strings.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

TEST(FaultSweep, FirmwareDownloadsInBothFramings) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("image.bin"));
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    QByteArray image(3000, '\0');
    for (int i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 31 + 5);
    f.write(image);
  }
  for (bool serial : {true, false}) {
    SweepAction fw{serial ? "firmware download, XOR framing, serial" : "firmware download, sum framing, USB",
                   kFirmwareDialogId, [] { return std::unique_ptr<PageLogic>(std::make_unique<FirmwarePage>()); }};
    fw.serial = serial;
    fw.prepare = [file](PageLogic&, PageContext& c) { c.controls.SetText(kFirmwarePathEdit, file); };
    fw.run = [](PageLogic& p, PageContext& c) { p.OnControl(kFirmwareDownloadButton, ControlEvent::Clicked, c); };
    fw.failureMessages = {LoadString(kStrCommunicateFail, kLangEnglish), LoadString(kStrUnconnectPrinter, kLangEnglish),
                          LoadString(kStrChangeBaudFail, kLangEnglish)};
    fw.boundMs = 2500;  // a lost printer ends the download within about a second
    fw.endsUnconfirmed = !serial;
    ReportSweep(fw.name, Sweep(fw));
    if (!serial) {
      // A network printer takes the framing of a USB one.
      fw.name = "firmware download, sum framing, network printer";
      fw.tcp = true;
      ReportSweep(fw.name, Sweep(fw));
    }
  }
}

}  // namespace
