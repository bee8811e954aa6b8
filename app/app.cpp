#include "app/app.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>

#include "protocol/text_codec.h"

namespace deveder {

QIcon MakeAppIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64}) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 32.0;
    // Paper coming out of the printer, with two printed lines.
    p.setBrush(QColor(250, 250, 245));
    p.setPen(QPen(QColor(90, 90, 90), 1.0 * s));
    p.drawRect(QRectF(9 * s, 2 * s, 14 * s, 14 * s));
    p.setPen(QPen(QColor(40, 40, 40), 1.5 * s));
    p.drawLine(QPointF(12 * s, 7 * s), QPointF(20 * s, 7 * s));
    p.drawLine(QPointF(12 * s, 11 * s), QPointF(18 * s, 11 * s));
    // The printer body.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(38, 98, 170));
    p.drawRoundedRect(QRectF(3 * s, 14 * s, 26 * s, 14 * s), 3 * s, 3 * s);
    p.setBrush(QColor(20, 50, 90));
    p.drawRect(QRectF(8 * s, 16 * s, 16 * s, 2.5 * s));
    p.setBrush(QColor(120, 220, 120));
    p.drawEllipse(QPointF(24 * s, 23.5 * s), 1.8 * s, 1.8 * s);
    p.end();
    icon.addPixmap(pm);
  }
  return icon;
}

void InstallGuiPump() {
  SetPortPumpHook([] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
}

int CDEVederApp::Run(std::unique_ptr<DeviceSource> source, const RunOptions& options) {
  const int lang = SystemDefaultLangId();
  InstallGuiPump();
  CDEVederDlg dlg(lang, std::move(source), MakeToolPages());
  dlg.setWindowIcon(MakeAppIcon());
  QApplication::setWindowIcon(MakeAppIcon());
  int rc = 0;
  if (!options.screenshotPath.isEmpty()) {
    dlg.show();
    dlg.SwitchPage(options.screenshotPage);
    for (int i = 0; i < 5; ++i) {
      dlg.TickComm();
      QCoreApplication::processEvents();
    }
    rc = dlg.grab().save(options.screenshotPath) ? 0 : 1;
  } else {
    dlg.exec();  // closing the window ends the program
  }
  SetPortPumpHook(nullptr);
  return rc;
}

}  // namespace deveder
