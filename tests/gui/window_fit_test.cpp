// The window's keyboard and its text: Enter presses a focused button and no
// other, every button has a key, Ctrl+Tab turns pages, Tab follows the
// visual order, and every label and control text fits its rectangle in both
// languages, at the default font and at 144 DPI.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QAbstractItemView>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOption>
#include <QShortcut>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <set>

#include "app/app.h"
#include "app/ip_address_edit.h"
#include "app/main_window.h"
#include "gui/gui_app.h"
#include "protocol/text_codec.h"

using namespace deveder;
using deveder::tst::App;

namespace {

class NoDevices : public DeviceSource {
 public:
  bool UsbPrinters(std::vector<std::string>&) override { return true; }
  bool SerialPorts(std::vector<std::string>&) override { return true; }
};

// A page that records the events it is handed and reads without a port.
class RecordingPage : public PageLogic {
 public:
  RecordingPage(int dialogId, std::vector<std::pair<int, ControlEvent>>& log) : id_(dialogId), log_(log) {}
  int DialogId() const override { return id_; }
  ControlResult OnControl(int id, ControlEvent event, PageContext&) override {
    log_.emplace_back(id, event);
    return ControlResult::Handled();
  }

 private:
  int id_;
  std::vector<std::pair<int, ControlEvent>>& log_;
};

std::unique_ptr<CDEVederDlg> MakeWindow(int lang, std::vector<std::pair<int, ControlEvent>>& log) {
  App();
  PageLogics p;
  p.setup = std::make_unique<RecordingPage>(144, log);
  p.bluetooth = std::make_unique<RecordingPage>(132, log);
  p.wifi = std::make_unique<RecordingPage>(162, log);
  p.font = std::make_unique<RecordingPage>(134, log);
  p.test = std::make_unique<RecordingPage>(148, log);
  p.firmware = std::make_unique<RecordingPage>(136, log);
  return std::make_unique<CDEVederDlg>(lang, std::make_unique<NoDevices>(), std::move(p));
}

void PressKey(QWidget* w, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  QApplication::sendEvent(w, &release);
}

QString Describe(const QWidget* w) {
  return QStringLiteral("%1 at %2,%3 %4x%5").arg(QString::fromLatin1(w->metaObject()->className())).arg(w->x()).arg(w->y())
      .arg(w->width()).arg(w->height());
}

// Every text of a page that does not fit the rectangle it is drawn in, as
// measured with the widget's own font and style.
QStringList Cuts(QWidget* page) {
  QStringList cuts;
  auto cut = [&](const QWidget* w, const QString& text, QSize need, QSize room) {
    cuts << QStringLiteral("\"%1\" (%2) needs %3x%4 px, has %5x%6")
                .arg(text, Describe(w)).arg(need.width()).arg(need.height()).arg(room.width()).arg(room.height());
  };
  for (QWidget* w : page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    const QFontMetrics fm(w->font());
    QStyle* style = w->style();
    if (auto* l = qobject_cast<QLabel*>(w)) {
      if (l->text().isEmpty()) continue;
      const QRect room = l->contentsRect();
      const QRect need = fm.boundingRect(room, Qt::TextWordWrap | l->alignment(), l->text());
      // A word longer than the line is wrapped nowhere: it runs out at the right.
      int longest = 0;
      for (const QString& word : l->text().split(QLatin1Char(' '), Qt::SkipEmptyParts))
        longest = std::max(longest, fm.horizontalAdvance(word));
      if (need.height() > room.height() || longest > room.width())
        cut(w, l->text(), QSize(std::max(longest, need.width()), need.height()), room.size());
    } else if (auto* b = qobject_cast<QPushButton*>(w)) {
      QStyleOptionButton opt;
      opt.initFrom(b);
      opt.text = b->text();
      const QRect room = style->subElementRect(QStyle::SE_PushButtonContents, &opt, b);
      const QString shown = WithoutMnemonic(b->text());
      const QSize need(fm.horizontalAdvance(shown), fm.height());
      if (need.width() > room.width() || need.height() > b->height()) cut(w, shown, need, room.size());
    } else if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
      auto* box = static_cast<QAbstractButton*>(w);
      QStyleOptionButton opt;
      opt.initFrom(box);
      opt.text = box->text();
      const bool check = qobject_cast<QCheckBox*>(w) != nullptr;
      const QRect room =
          style->subElementRect(check ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents, &opt, box);
      const QSize need(fm.horizontalAdvance(box->text()), fm.height());
      if (need.width() > room.width() || need.height() > box->height()) cut(w, box->text(), need, room.size());
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
      if (g->title().isEmpty()) continue;
      QStyleOptionGroupBox opt;
      opt.initFrom(g);
      opt.text = g->title();
      opt.lineWidth = 1;
      opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
      opt.textAlignment = g->alignment();
      const QRect label = style->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, g);
      // The style sizes the title's rectangle to the title; it is cut where
      // that rectangle runs past the box, which clips its painting.
      if (label.right() >= g->width() || label.bottom() >= g->height())
        cut(w, g->title(), label.size(), g->size());
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
      if (c->isEditable()) continue;  // the port box: paths of any length scroll
      QStyleOptionComboBox opt;
      opt.initFrom(c);
      opt.editable = false;
      const QRect room = style->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, c);
      for (int i = 0; i < c->count(); ++i) {
        const QSize need(fm.horizontalAdvance(c->itemText(i)), fm.height());
        if (need.width() > room.width()) cut(w, c->itemText(i), need, room.size());
      }
    }
  }
  return cuts;
}

// Items that an open drop-down list would cut: the list is at least as wide
// as its longest item (the closed box may show less of the lists a page
// fills itself, such as the code pages).
QStringList OpenListCuts(QWidget* page) {
  QStringList out;
  for (QComboBox* c : page->findChildren<QComboBox*>()) {
    const QFontMetrics fm(c->view()->font());
    const int room = std::max(c->width(), c->view()->minimumWidth()) - c->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (int i = 0; i < c->count(); ++i)
      if (fm.horizontalAdvance(c->itemText(i)) > room)
        out << QStringLiteral("open list of %1: \"%2\" needs %3 px, has %4")
                   .arg(Describe(c), c->itemText(i)).arg(fm.horizontalAdvance(c->itemText(i))).arg(room);
  }
  return out;
}

// Controls that cross a group box's frame instead of lying inside or outside it.
QStringList FrameCrossings(QWidget* page) {
  QStringList out;
  const auto children = page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
  for (QWidget* g : children) {
    if (!qobject_cast<QGroupBox*>(g)) continue;
    const QRect frame = g->geometry();
    for (QWidget* w : children) {
      if (w == g || qobject_cast<QGroupBox*>(w) || !w->isVisibleTo(page)) continue;
      const QRect r = w->geometry();
      if (r.intersects(frame) && !frame.contains(r))
        out << QStringLiteral("%1 crosses the frame of \"%2\" (%3)")
                   .arg(Describe(w), static_cast<QGroupBox*>(g)->title(), Describe(g));
    }
  }
  return out;
}

// Controls of a page shown smaller than their template's font, reaching out
// of the page or under the tabs.
QStringList OutOfPlace(CDEVederDlg& w, int index) {
  QStringList out;
  PageWidget* page = w.Page(index);
  const DialogTemplate& tpl = FindDialogTemplate(page->Logic().DialogId(), w.LangId());
  const QRect tabs = w.Tabs()->Bar()->geometry();
  for (QWidget* c : page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (c->font().pointSizeF() != tpl.fontPoints)
      out << QStringLiteral("%1 shrunk to %2 points").arg(Describe(c)).arg(c->font().pointSizeF());
    if (!page->rect().contains(c->geometry())) out << Describe(c) + QStringLiteral(" reaches out of the page");
    if (QRect(c->mapTo(w.Tabs(), QPoint(0, 0)), c->size()).intersects(tabs))
      out << Describe(c) + QStringLiteral(" lies under the tabs");
    // Each octet of an address field shows "255" whole.
    if (auto* ip = dynamic_cast<IpAddressEdit*>(c)) {
      for (int i = 0; i < 4; ++i) {
        QLineEdit* octet = ip->octet(i);
        const int need = octet->fontMetrics().horizontalAdvance(QStringLiteral("255"));
        if (!ip->rect().contains(octet->geometry()) || octet->contentsRect().width() < need)
          out << QStringLiteral("octet %1 of %2 cut: %3 px for %4").arg(i).arg(Describe(c)).arg(octet->contentsRect().width()).arg(need);
      }
    }
  }
  return out;
}

}  // namespace

TEST(WindowKeys, EnterInAnEditOrListPressesNoButton) {
  for (int lang : {kLangEnglish, kLangChinese}) {
    std::vector<std::pair<int, ControlEvent>> log;
    auto w = MakeWindow(lang, log);
    w->show();
    for (int i = 0; i < kPageCount; ++i) {
      w->SwitchPage(i);
      QWidget* page = w->Page(i);
      for (QPushButton* b : page->findChildren<QPushButton*>()) {
        EXPECT_FALSE(b->isDefault()) << b->text().toStdString();
        EXPECT_FALSE(b->autoDefault()) << b->text().toStdString();
      }
      std::vector<QWidget*> targets;
      for (QLineEdit* e : page->findChildren<QLineEdit*>()) targets.push_back(e);
      for (QComboBox* c : page->findChildren<QComboBox*>()) targets.push_back(c);
      for (QWidget* t : targets) {
        if (!t->isEnabled()) continue;
        const int items = qobject_cast<QComboBox*>(t) ? static_cast<QComboBox*>(t)->count() : 0;
        t->setFocus();
        PressKey(t, Qt::Key_Return);
        PressKey(t, Qt::Key_Enter);
        if (auto* c = qobject_cast<QComboBox*>(t)) {
          EXPECT_EQ(c->count(), items) << "Enter added an entry";
        }
      }
    }
    std::vector<int> clicked;
    for (auto [id, event] : log)
      if (event == ControlEvent::Clicked) clicked.push_back(id);
    EXPECT_TRUE(clicked.empty()) << "Enter pressed button " << clicked.front() << " (language " << lang << ")";
    EXPECT_TRUE(w->isVisible()) << "Enter closed the window";
  }
}

TEST(WindowKeys, EnterMnemonicsAndCtrlTabFromAnywhere) {
  for (int lang : {kLangEnglish, kLangChinese}) {
    std::vector<std::pair<int, ControlEvent>> log;
    auto w = MakeWindow(lang, log);
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    for (int i = 1; i < kPageCount; ++i) {
      w->SwitchPage(i);
      std::set<QString> keys;
      for (QPushButton* b : w->Page(i)->findChildren<QPushButton*>()) {
        // Enter on the focused button presses it.
        log.clear();
        b->setFocus();
        QTest::keyClick(b, Qt::Key_Return);
        ASSERT_EQ(log.size(), 1u) << b->text().toStdString();
        EXPECT_EQ(log.front().second, ControlEvent::Clicked);
        // Every button has a key of its own on its page: its underlined
        // letter, or an Alt shortcut named in its tool tip.
        const qsizetype amp = b->text().indexOf(QLatin1Char('&'));
        const QString key = amp >= 0 ? b->text().mid(amp + 1, 1).toUpper() : b->toolTip().mid(4);
        EXPECT_TRUE(amp >= 0 || (b->toolTip().startsWith("Alt+") && b->findChild<QShortcut*>())) << b->text().toStdString();
        EXPECT_TRUE(keys.insert(key).second) << "Alt+" << key.toStdString() << " twice on page " << i;
        if (i != 5) continue;  // pressing takes a tenth of a second: the test page's eight
        log.clear();
        QTest::keyClick(w.get(), key.at(0).toLatin1(), Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !log.empty(); }, 2000)) << "Alt+" << key.toStdString();
      }
    }
    // Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PgDn and Ctrl+PgUp turn pages from
    // inside a page, wrapping at both ends.
    w->SwitchPage(6);
    w->Page(6)->findChild<QLineEdit*>()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(w->CurrentPage(), 0);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(w->CurrentPage(), 6);
    w->SwitchPage(3);
    w->Page(3)->findChild<QLineEdit*>()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(w->CurrentPage(), 4);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp, Qt::ControlModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(w->CurrentPage(), 2);
  }
}

TEST(WindowKeys, TabFollowsTheVisualOrder) {
  std::vector<std::pair<int, ControlEvent>> log;
  auto w = MakeWindow(kLangEnglish, log);
  w->show();
  w->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
  // The communication page: the port type, the baud box beside it (serial
  // ports only), then the port box below.
  WidgetControls& comm = w->Page(0)->Controls();
  comm.SetCurrentIndex(kPortTypeBox, 1);
  w->Page(0)->RunControl(kPortTypeBox, ControlEvent::SelectionChanged);
  comm.Widget(kPortTypeBox)->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), comm.Widget(kBaudBox));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), comm.Widget(kPortBox));
  // The test page: the three rows of the upper block column by column, then
  // the lower row.
  w->SwitchPage(5);
  WidgetControls& test = w->Page(5)->Controls();
  test.Widget(1015)->setFocus();
  std::vector<int> order;
  for (int i = 0; i < 7; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    for (int id : {1015, 1064, 1104, 1066, 1068, 1069, 1106, 1065})
      if (QApplication::focusWidget() == test.Widget(id)) order.push_back(id);
  }
  EXPECT_EQ(order, (std::vector<int>{1064, 1104, 1068, 1069, 1106, 1066, 1065}));
}

TEST(WindowFit, EveryTextFitsItsRectangleInBothLanguages) {
  App();
  if (const char* dpi = std::getenv("DEVEDER_FIT_DPI")) {
    ASSERT_EQ(QApplication::primaryScreen()->logicalDotsPerInchY(), std::atof(dpi)) << "the font DPI was not taken";
  }
  const char* only = std::getenv("DEVEDER_FIT_LANG");
  for (int lang : {kLangEnglish, kLangChinese}) {
    if (only && std::atoi(only) != lang) continue;
    std::vector<std::pair<int, ControlEvent>> log;
    auto w = MakeWindow(lang, log);
    w->show();
    // The tool's own pages fill lists of their own when they are created.
    CDEVederDlg tool(lang, std::make_unique<NoDevices>(), MakeToolPages());
    // The status line lies under the tab control, inside the window, one
    // line of its font high.
    for (QLabel* line : {w->StatusPrinter(), w->StatusResult()}) {
      EXPECT_TRUE(w->rect().contains(line->geometry())) << Describe(line).toStdString();
      EXPECT_GT(line->y(), w->Tabs()->geometry().bottom()) << Describe(line).toStdString();
      EXPECT_GE(line->contentsRect().height(), line->fontMetrics().height()) << Describe(line).toStdString();
    }
    // Its buttons (Backup, Traffic log) at the right end show their captions
    // whole, clear of the result's text.
    QPushButton* backup = w->Backup().Button();
    EXPECT_TRUE(w->rect().contains(backup->geometry()));
    EXPECT_GE(backup->width(), backup->sizeHint().width());
    EXPECT_LT(w->StatusResult()->geometry().right(), backup->x());
    for (int i = 0; i < kPageCount; ++i) {
      w->SwitchPage(i);  // laid out as shown
      const QStringList cuts =
          Cuts(w->Page(i)) + FrameCrossings(w->Page(i)) + OpenListCuts(tool.Page(i)) + OutOfPlace(*w, i);
      EXPECT_TRUE(cuts.isEmpty()) << "page " << i << ", language " << lang << ", font "
                                  << w->Page(i)->font().toString().toStdString() << ":\n  "
                                  << cuts.join(QStringLiteral("\n  ")).toStdString();
    }
  }
}

namespace {

// Runs the check above in a fresh process with the locale of a system of
// that language (it chooses the fonts) and a screen of `dpi` (fixed when
// the application starts).
void CheckInProcessOf(int lang, int dpi) {
  if (std::getenv("DEVEDER_FIT_LANG")) GTEST_SKIP() << "this is one of the separate runs itself";
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("DEVEDER_FIT_LANG"), QString::number(lang));
  const QString locale = lang == kLangChinese ? QStringLiteral("zh_CN.UTF-8") : QStringLiteral("en_US.UTF-8");
  env.insert(QStringLiteral("LANG"), locale);
  env.remove(QStringLiteral("LC_ALL"));
  env.remove(QStringLiteral("LC_MESSAGES"));
  env.remove(QStringLiteral("LANGUAGE"));
  QString platform = QStringLiteral("offscreen");
  if (dpi != 96) {
    // The offscreen platform takes its screen's resolution from a file.
    const QString config = dir.filePath(QStringLiteral("screen.json"));
    QFile f(config);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral(R"({"screens": [{"name": "screen", "x": 0, "y": 0, "width": 1920, "height": 1200,
                                            "logicalDpi": %1, "logicalBaseDpi": 96, "dpr": 1}]})")
                .arg(dpi)
                .toUtf8());
    f.close();
    platform += QStringLiteral(":configfile=") + config;
    env.insert(QStringLiteral("DEVEDER_FIT_DPI"), QString::number(dpi));
    // Type larger in pixels, as a desktop set to that resolution gives it,
    // rather than the whole window scaled up.
    env.insert(QStringLiteral("QT_ENABLE_HIGHDPI_SCALING"), QStringLiteral("0"));
  }
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
  QProcess child;
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QStringLiteral("/proc/self/exe"),
              {QStringLiteral("--gtest_filter=WindowFit.EveryTextFitsItsRectangleInBothLanguages")});
  ASSERT_TRUE(child.waitForStarted(10000));
  const bool finished = child.waitForFinished(120000);
  if (!finished) child.kill();
  const QString out = QString::fromUtf8(child.readAll());
  EXPECT_TRUE(finished);
  EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
}

}  // namespace

TEST(WindowFit, EnglishSystemAtTheDefaultFont) { CheckInProcessOf(kLangEnglish, 96); }
TEST(WindowFit, ChineseSystemAtTheDefaultFont) { CheckInProcessOf(kLangChinese, 96); }
TEST(WindowFit, EnglishSystemAt144Dpi) { CheckInProcessOf(kLangEnglish, 144); }
TEST(WindowFit, ChineseSystemAt144Dpi) { CheckInProcessOf(kLangChinese, 144); }

TEST(WindowMessages, AnOpenFailureShowsItsReasonUnderTheMessage) {
  std::vector<std::pair<int, ControlEvent>> log;
  auto w = MakeWindow(kLangEnglish, log);
  w->show();
  QString text, reason;
  bool pathWhole = false;
  const QString path = QStringLiteral("/dev/serial/by-id/usb-Prolific_Technology_Inc._USB-Serial_Controller_D-if00-port0");
  QTimer::singleShot(0, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      text = box->text();
      reason = box->informativeText();
      // The path is not broken over two lines.
      for (QLabel* l : box->findChildren<QLabel*>())
        if (l->text() == reason) pathWhole = l->width() >= l->fontMetrics().horizontalAdvance(path);
      box->accept();
    }
  });
  w->Page(1)->ShowMessageWithReason(QStringLiteral("Unconnect Printer"), QStringLiteral("No such device: ") + path);
  EXPECT_EQ(text, "Unconnect Printer");
  EXPECT_EQ(reason, QStringLiteral("No such device: ") + path);
  EXPECT_TRUE(pathWhole);
}

TEST(WindowFit, ALongValueShowsItsStart) {
  std::vector<std::pair<int, ControlEvent>> log;
  auto w = MakeWindow(kLangEnglish, log);
  w->show();
  w->SwitchPage(1);
  auto* mdl = qobject_cast<QLineEdit*>(w->Page(1)->Controls().Widget(1089));
  ASSERT_NE(mdl, nullptr);
  w->Page(1)->Controls().SetText(1089, QStringLiteral("TQ250L Label Printer, 203 dpi, cutter and peeler, firmware 2.31"));
  EXPECT_LT(mdl->inputMethodQuery(Qt::ImCursorRectangle).toRect().left(), mdl->width() / 4);
}
