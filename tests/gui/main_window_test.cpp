// The main window offscreen: tabs, titles, page switching and first reads.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QRegularExpression>
#include <QTimer>
#include <cstdio>

#include "app/app.h"
#include "app/main_window.h"
#include "protocol/text_codec.h"
#include "gui/gui_app.h"
#include "test_support.h"

using namespace deveder;
using deveder::tst::App;

namespace {

class NoDevices : public DeviceSource {
 public:
  bool UsbPrinters(std::vector<std::string>& paths) override {
    paths = usb;
    return true;
  }
  bool SerialPorts(std::vector<std::string>&) override { return true; }
  std::vector<std::string> usb;
};

// A page that counts its reads; a read succeeds unless told otherwise.
struct ReadLog {
  int reads[7] = {};
  bool fail = false;
};

class CountingPage : public PageLogic {
 public:
  CountingPage(int dialogId, int index, ReadLog& log) : id_(dialogId), index_(index), log_(log) {}
  int DialogId() const override { return id_; }
  ControlResult OnControl(int, ControlEvent, PageContext&) override { return ControlResult::Unhandled(); }
  bool NeedsRead() const override { return !readOnce_; }
  ActionResult Read(PageContext& ctx) override {
    ++log_.reads[index_];
    if (log_.fail) return ActionResult{ActionOutcome::Lost, 0, QStringLiteral("打印机连接断开"), QStringLiteral("no answer")};
    readOnce_ = true;
    std::snprintf(ctx.printer.modelName, sizeof ctx.printer.modelName, "TQ250L");
    ctx.printer.namedFormFlag = kNamedFormFlag;
    return Succeeded(152, QStringLiteral("Read OK"));
  }

 private:
  int id_, index_;
  ReadLog& log_;
  bool readOnce_ = false;
};

std::unique_ptr<CDEVederDlg> MakeWindow(int lang, ReadLog& log, std::vector<std::string> usb = {},
                                       NoDevices** devices = nullptr) {
  App();
  auto source = std::make_unique<NoDevices>();
  source->usb = std::move(usb);
  if (devices) *devices = source.get();
  PageLogics p;
  p.setup = std::make_unique<CountingPage>(144, 1, log);
  p.bluetooth = std::make_unique<CountingPage>(132, 2, log);
  p.wifi = std::make_unique<CountingPage>(162, 3, log);
  p.font = std::make_unique<CountingPage>(134, 4, log);
  p.test = std::make_unique<CountingPage>(148, 5, log);
  p.firmware = std::make_unique<CountingPage>(136, 6, log);
  return std::make_unique<CDEVederDlg>(lang, std::move(source), std::move(p));
}

QStringList Titles(const CDEVederDlg& w) {
  QStringList t;
  for (int i = 0; i < w.Tabs()->Bar()->count(); ++i) t << w.Tabs()->Bar()->tabText(i);
  return t;
}

}  // namespace

TEST(MainWindow, TitlesAndTabsInBothLanguages) {
  ReadLog log;
  auto en = MakeWindow(kLangEnglish, log);
  EXPECT_EQ(en->windowTitle(), "DividiVidi  V1.05.210518");
  EXPECT_EQ(Titles(*en), (QStringList{"COMM", "SETUP", "BT SETUP", "DATA", "FONT", "TEST", "FIRMWARE"}));
  auto zh = MakeWindow(kLangChinese, log);
  EXPECT_EQ(zh->windowTitle(), QStringLiteral("Zivuvo机工具 V1.05.210518"));
  EXPECT_EQ(Titles(*zh), (QStringList{QStringLiteral("通信设定"), QStringLiteral("通用设置"), QStringLiteral("蓝牙配置"),
                                      QStringLiteral("WIFI配置"), QStringLiteral("字体下载"), QStringLiteral("测试"),
                                      QStringLiteral("程序更新")}));
  // The English window is one dialog unit shorter.
  EXPECT_LT(en->height(), zh->height() + 1);
}

TEST(MainWindow, OnePageVisibleAtATimeTwentyPixelsBelowTheTabControlsTop) {
  ReadLog log;
  auto w = MakeWindow(kLangEnglish, log);
  w->show();
  for (int i = 0; i < kPageCount; ++i) {
    EXPECT_EQ(w->Page(i)->parentWidget(), w->Tabs());
    EXPECT_EQ(w->Page(i)->geometry().top(), 20);  // at 96 DPI
    EXPECT_EQ(w->Page(i)->geometry().bottom(), w->Page(0)->geometry().bottom());
  }
  EXPECT_NE(dynamic_cast<TABComm*>(w->Page(0)), nullptr);
  EXPECT_NE(dynamic_cast<CTabSetup*>(w->Page(1)), nullptr);
  EXPECT_NE(dynamic_cast<TABConfig*>(w->Page(2)), nullptr);
  EXPECT_NE(dynamic_cast<CTabWIFI*>(w->Page(3)), nullptr);
  EXPECT_NE(dynamic_cast<TABFont*>(w->Page(4)), nullptr);
  EXPECT_NE(dynamic_cast<CTABTest*>(w->Page(5)), nullptr);
  EXPECT_NE(dynamic_cast<TABFirmware*>(w->Page(6)), nullptr);
  EXPECT_EQ(w->CurrentPage(), 0);
  for (int target : {4, 0, 6, 5}) {
    w->Tabs()->Bar()->setCurrentIndex(target);
    EXPECT_EQ(w->CurrentPage(), target);
    for (int i = 0; i < kPageCount; ++i) EXPECT_EQ(w->Page(i)->isVisible(), i == target) << i;
  }
}

TEST(MainWindow, FirstTurnReadsOnceAndAgainOnlyAfterAFailure) {
  ReadLog log;
  auto w = MakeWindow(kLangEnglish, log);
  w->SwitchPage(1);
  w->SwitchPage(0);
  w->SwitchPage(1);
  EXPECT_EQ(log.reads[1], 1);

  log.fail = true;
  w->SwitchPage(2);
  w->SwitchPage(0);
  w->SwitchPage(2);
  EXPECT_EQ(log.reads[2], 2);  // the failed read leaves the flag clear
  log.fail = false;
  w->SwitchPage(3);
  w->SwitchPage(3);
  EXPECT_EQ(log.reads[3], 1);
  // The font, test and firmware pages never talk to the printer.
  for (int i : {4, 5, 6, 0}) w->SwitchPage(i);
  EXPECT_EQ(log.reads[0] + log.reads[4] + log.reads[5] + log.reads[6], 0);
}

TEST(MainWindow, TickReadsTheShownPageWhenTheSelectionIsRemadeButNotDuringAnAction) {
  ReadLog log;
  NoDevices* devices = nullptr;
  auto w = MakeWindow(kLangEnglish, log, {}, &devices);
  w->SwitchPage(1);
  ASSERT_EQ(log.reads[1], 1);
  devices->usb = {"/dev/usb/lp0"};
  ASSERT_TRUE(w->BeginAction());  // an action waits: the re-read is skipped
  w->TickComm();
  w->EndAction();
  EXPECT_EQ(log.reads[1], 1);
  EXPECT_EQ(w->Link().portPath, "/dev/usb/lp0");
  devices->usb = {"/dev/usb/lp1"};
  w->Page(0)->Controls().SetCurrentIndex(1005, -1);
  w->TickComm();  // selection re-made: read again whatever the flag
  EXPECT_EQ(log.reads[1], 2);
  w->SwitchPage(5);
  w->Page(0)->Controls().SetCurrentIndex(1005, -1);
  w->TickComm();
  EXPECT_EQ(log.reads[5], 0);
}

TEST(MainWindow, TimedMessageClosesItselfAndALaterTickClosesNothingElse) {
  ReadLog log;
  auto w = MakeWindow(kLangEnglish, log);
  w->show();
  PageWidget* page = w->Page(1);
  QElapsedTimer clock;
  clock.start();
  page->ShowTimedMessage("Read OK", "SETUP");  // returns when the box closed
  const qint64 ms = clock.elapsed();
  EXPECT_GE(ms, 400);
  EXPECT_LT(ms, 5000);

  // The user closes the box first: the timer later finds nothing to close,
  // and another window with an unrelated title stays open.
  QWidget other;
  other.setWindowTitle("unrelated");
  other.show();
  QTimer::singleShot(50, [] {
    for (QWidget* top : QApplication::topLevelWidgets())
      if (top->isVisible() && top->windowTitle() == "SETUP") top->close();
  });
  page->ShowTimedMessage("Write OK", "SETUP");
  QElapsedTimer wait;
  wait.start();
  while (wait.elapsed() < 700) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_TRUE(other.isVisible());
}

TEST(MainWindow, EscAsksWhenAPageHoldsEditsAndWaitsForARunningAction) {
  ReadLog log;
  auto w = MakeWindow(kLangEnglish, log);
  w->show();
  // Nothing read, nothing to lose: Esc closes at once.
  QTest::keyClick(w.get(), Qt::Key_Escape);
  EXPECT_FALSE(w->isVisible());
  w->show();
  w->SwitchPage(1);  // read: the page now shows the printer's values
  auto* edit = qobject_cast<QLineEdit*>(w->Page(1)->Controls().Widget(1026));
  ASSERT_NE(edit, nullptr);
  edit->setText(QStringLiteral("40"));
  QString asked;
  tst::AnswerNextQuestion(QStringLiteral("Keep open"), asked);
  QTest::keyClick(w.get(), Qt::Key_Escape);
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(asked.contains(QStringLiteral("SETUP"))) << asked.toStdString();
  // Put back as read: nothing is lost, nothing asked.
  edit->setText(QString());
  asked.clear();
  w->close();
  EXPECT_FALSE(w->isVisible());
  EXPECT_TRUE(asked.isEmpty());

  // While an action runs, the close button only says the window closes when
  // it ends, without waiting for an answer; it closes then.
  w->show();
  ASSERT_TRUE(w->BeginAction(w->Page(6), 1045));
  w->close();
  EXPECT_TRUE(w->isVisible());
  ASSERT_NE(w->CloseNotice(), nullptr);
  EXPECT_TRUE(w->CloseNotice()->text().contains(QStringLiteral("firmware"))) << w->CloseNotice()->text().toStdString();
  w->EndAction();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !w->isVisible(); }, 2000));
}

TEST(MainWindow, StatusLineShowsThePrinterAndTheLastResultWithItsTime) {
  ReadLog log;
  NoDevices* devices = nullptr;
  auto w = MakeWindow(kLangEnglish, log, {"/dev/usb/lp0"}, &devices);
  w->show();
  EXPECT_EQ(w->StatusPrinter()->toolTip(), "/dev/usb/lp0 · printer not asked yet");
  w->SwitchPage(1);
  EXPECT_EQ(w->StatusPrinter()->toolTip(), "TQ250L · /dev/usb/lp0 · named commands");
  EXPECT_TRUE(QRegularExpression("^Read OK \\d\\d:\\d\\d:\\d\\d$").match(w->StatusResult()->text()).hasMatch())
      << w->StatusResult()->text().toStdString();
  // Another printer: not asked yet; the list still names the first one.
  devices->usb = {"/dev/usb/lp0", "/dev/usb/lp1"};
  w->TickComm();
  w->Page(0)->Controls().SetCurrentIndex(1005, 1);  // the user picks the second
  w->TickComm();
  EXPECT_EQ(w->StatusPrinter()->toolTip(), "/dev/usb/lp1 · printer not asked yet");
  EXPECT_EQ(w->PortListText("/dev/usb/lp0"), "/dev/usb/lp0    TQ250L");
  EXPECT_EQ(w->PortListText("/dev/usb/lp1"), "/dev/usb/lp1");
  // A failure names the action, its message and keeps the reason at hand.
  log.fail = true;
  w->SwitchPage(2);
  EXPECT_TRUE(w->StatusResult()->text().startsWith(QStringLiteral("BT SETUP: 打印机连接断开 ")))
      << w->StatusResult()->text().toStdString();
  EXPECT_EQ(w->StatusResult()->toolTip(), "no answer");
}
