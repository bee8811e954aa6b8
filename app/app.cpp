#include "app/app.h"
#include "link/port_hooks.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPainter>
#include <QPixmap>

#include "app/app_icon.h"
#include "protocol/text_codec.h"

namespace deveder {

QIcon MakeAppIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64}) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    PaintAppIcon(p, size);
    p.end();
    icon.addPixmap(pm);
  }
  return icon;
}

void InstallGuiPump() {
  // Every event, the close button's included: the main window drops user
  // input to itself while an action runs.
  SetPortPumpHook([] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
}

bool InstallQtTranslations(int langId, QTranslator& translator) {
  if (langId != kLangChinese) return false;
  if (!translator.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return false;
  return QCoreApplication::installTranslator(&translator);
}

int CDEVederApp::Run(std::unique_ptr<DeviceSource> source, const RunOptions& options) {
  const int lang = SystemDefaultLangId();
  QTranslator qtTexts;
  InstallQtTranslations(lang, qtTexts);
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
