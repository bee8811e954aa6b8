#include "app/main_window.h"

#include <QCoreApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <QPainter>
#include <QShortcut>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTimerEvent>

#include "pages/firmware/firmware_page.h"
#include "pages/font/font_page.h"
#include "pages/wifi/wifi_page.h"
#include "resources/dialogs.h"
#include "resources/strings.h"
#include "resources/window_texts.h"

namespace deveder {

TabControl::TabControl(QWidget* parent) : QWidget(parent), bar_(new QTabBar(this)) {
  bar_->setDrawBase(false);
  bar_->setExpanding(false);
}

QRect TabControl::ClientRect() const {
  const int top = bar_->sizeHint().height();
  return QRect(2, top + 2, width() - 4, height() - top - 4);
}

QRect TabControl::PageRect() const {
  constexpr int kFrame = 2;
  return QRect(kFrame, pageTop_, width() - 2 * kFrame, height() - pageTop_ - kFrame);
}

void TabControl::resizeEvent(QResizeEvent* event) {
  bar_->setGeometry(0, 0, width(), bar_->sizeHint().height());
  QWidget::resizeEvent(event);
}

void TabControl::paintEvent(QPaintEvent*) {
  QStylePainter p(this);
  QStyleOptionTabWidgetFrame opt;
  opt.initFrom(this);
  opt.rect = QRect(0, bar_->sizeHint().height(), width(), height() - bar_->sizeHint().height());
  opt.tabBarSize = bar_->sizeHint();
  p.drawPrimitive(QStyle::PE_FrameTabWidget, opt);
}

namespace {

// While an action runs, the pump delivers every event so that the close
// button and Esc are heard, but user input to the window itself is dropped:
// no second action starts and nothing changes under the running one. Esc
// asks to close; message boxes and the close notice take input as usual.
class ActionInputGuard : public QObject {
 public:
  ActionInputGuard(CDEVederDlg& window, std::function<bool()> running)
      : window_(window), running_(std::move(running)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::ShortcutOverride:
      case QEvent::Shortcut:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::Wheel:
      case QEvent::TouchBegin:
        break;
      default:
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != &window_ || !running_()) return false;
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
        !static_cast<QKeyEvent*>(event)->isAutoRepeat())
      window_.reject();
    return true;
  }

 private:
  CDEVederDlg& window_;
  std::function<bool()> running_;
};

}  // namespace

CDEVederDlg::CDEVederDlg(int langId, std::unique_ptr<DeviceSource> source, PageLogics logics, QWidget* parent)
    : QDialog(parent), langId_(langId), source_(std::move(source)) {
  const DialogTemplate& tpl = Dialog102(langId);
  setWindowTitle(QString::fromUtf8(tpl.title));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);

  const DialogUnits u = UnitsForFont(tpl.fontPoints);
  const ControlTemplate& tab = tpl.controls.front();
  tabs_ = new TabControl(this);
  const int titles[kPageCount] = {kStrComm, kStrSetup, kStrBtSetup, kStrData, kStrFont, kStrTest, kStrFirmware};
  for (int i = 0; i < kPageCount; ++i) tabs_->Bar()->addTab(LoadString(titles[i], langId));

  auto commLogic = std::make_unique<CommPage>(*source_);
  comm_ = commLogic.get();
  std::unique_ptr<PageLogic> order[kPageCount] = {
      std::move(commLogic), std::move(logics.setup), std::move(logics.bluetooth), std::move(logics.wifi),
      std::move(logics.font), std::move(logics.test), std::move(logics.firmware),
  };
  // Our fonts run wider than the ones the templates were drawn for: the tab
  // control, and the window with it, grows until the controls of every page
  // fit at full size.
  tabs_->Bar()->ensurePolished();  // its height as shown
  int pageTop = (kPageTopOffset * logicalDpiY() + 48) / 96;
  for (const auto& logic : order) {
    const DialogTemplate& page = FindDialogTemplate(logic->DialogId(), langId);
    pageTop = std::max(pageTop, tabs_->Bar()->sizeHint().height() - ControlsExtent(page, UnitsForFont(page.fontPoints)).top());
  }
  tabs_->SetPageTop(pageTop);
  const QSize templateTab(u.toPixelsX(tab.w), u.toPixelsY(tab.h));
  tabs_->resize(templateTab);
  const QSize frame = templateTab - tabs_->PageRect().size();
  QSize tabSize = templateTab;
  for (const auto& logic : order) {
    const DialogTemplate& page = FindDialogTemplate(logic->DialogId(), langId);
    const QRect extent = ControlsExtent(page, UnitsForFont(page.fontPoints));
    tabSize = tabSize.expandedTo(QSize(extent.right() + 1, extent.bottom() + 1) + frame);
  }
  tabs_->setGeometry(u.toPixelsX(tab.x), u.toPixelsY(tab.y), tabSize.width(), tabSize.height());
  setFixedSize(DialogPixelSize(tpl) + (tabSize - templateTab));
  // Pages are children of the tab control, lowered below its top.
  const QRect area = tabs_->PageRect();
  using Make = PageWidget* (*)(PageHost&, std::unique_ptr<PageLogic>, QWidget*);
  const Make makers[kPageCount] = {
      [](PageHost& h, std::unique_ptr<PageLogic> l, QWidget* p) -> PageWidget* { return new TABComm(h, std::move(l), p); },
      [](PageHost& h, std::unique_ptr<PageLogic> l, QWidget* p) -> PageWidget* { return new CTabSetup(h, std::move(l), p); },
      [](PageHost& h, std::unique_ptr<PageLogic> l, QWidget* p) -> PageWidget* { return new TABConfig(h, std::move(l), p); },
      [](PageHost& h, std::unique_ptr<PageLogic> l, QWidget* p) -> PageWidget* { return new CTabWIFI(h, std::move(l), p); },
      [](PageHost& h, std::unique_ptr<PageLogic> l, QWidget* p) -> PageWidget* { return new TABFont(h, std::move(l), p); },
      [](PageHost& h, std::unique_ptr<PageLogic> l, QWidget* p) -> PageWidget* { return new CTABTest(h, std::move(l), p); },
      [](PageHost& h, std::unique_ptr<PageLogic> l, QWidget* p) -> PageWidget* { return new TABFirmware(h, std::move(l), p); },
  };
  for (int i = 0; i < kPageCount; ++i) {
    PageWidget* page = makers[i](*this, std::move(order[i]), tabs_);
    page->setGeometry(area);
    pages_[static_cast<std::size_t>(i)] = page;
    page->Create();
  }
  tabs_->Bar()->raise();  // over the pages' empty top margin
  current_ = 0;
  pages_[0]->setVisible(true);
  QObject::connect(tabs_->Bar(), &QTabBar::currentChanged, this, [this](int index) { SwitchPage(index); });
  // Ctrl+Tab and Ctrl+PgDn turn to the next page, Ctrl+Shift+Tab and
  // Ctrl+PgUp to the previous one, wherever the focus is; both ends wrap.
  const auto turn = [this](int step) {
    tabs_->Bar()->setCurrentIndex((current_ + step + kPageCount) % kPageCount);
  };
  for (const QKeyCombination keys : {QKeyCombination(Qt::ControlModifier, Qt::Key_Tab),
                                     QKeyCombination(Qt::ControlModifier, Qt::Key_PageDown)})
    QObject::connect(new QShortcut(QKeySequence(keys), this), &QShortcut::activated, this, [turn] { turn(1); });
  for (const QKeyCombination keys : {QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Backtab),
                                     QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Tab),
                                     QKeyCombination(Qt::ControlModifier, Qt::Key_PageUp)})
    QObject::connect(new QShortcut(QKeySequence(keys), this), &QShortcut::activated, this, [turn] { turn(-1); });
  commTimer_ = startTimer(kCommTimerPeriodMs);
  inputGuard_ = std::make_unique<ActionInputGuard>(*this, [this] { return actionRunning_; });
  QCoreApplication::instance()->installEventFilter(inputGuard_.get());
}

CDEVederDlg::~CDEVederDlg() {
  if (commTimer_) killTimer(commTimer_);
}

LinkChoice CDEVederDlg::Link() const {
  LinkChoice link;
  if (pages_[0]) link.portPath = pages_[0]->Controls().Text(kPortBox);
  link.baud = comm_->BaudValue();
  link.serial = comm_->SerialMode();
  return link;
}

bool CDEVederDlg::BeginAction(PageWidget* page, int control) {
  if (actionRunning_) return false;
  actionRunning_ = true;
  actionPage_ = page;
  actionControl_ = control;
  return true;
}

void CDEVederDlg::EndAction() {
  actionRunning_ = false;
  actionPage_ = nullptr;
  actionControl_ = 0;
  if (closeWhenDone_) {
    closeWhenDone_ = false;
    if (closeNotice_) closeNotice_->close();
    // Closed once the action's handler has returned; a page with edits not
    // written still asks.
    QTimer::singleShot(0, this, [this] { reject(); });
  }
  // The printer last read on the WiFi page can be reached at its local
  // address: "ETH" offers it in the port box.
  if (pages_[3]) comm_->OfferAddress(pages_[3]->Controls().Text(wifi::kLocalIp));
}

void CDEVederDlg::reject() {
  if (actionRunning_) {
    NoteCloseAfterAction();
    return;
  }
  if (const std::optional<QString> page = PageWithUnwrittenEdits()) {
    QMessageBox ask(QMessageBox::Question, LoadWindowText(WindowText::UnwrittenEditsTitle, langId_),
                    LoadWindowText(WindowText::UnwrittenEdits, langId_).arg(*page), QMessageBox::NoButton, this);
    QPushButton* close = ask.addButton(LoadWindowText(WindowText::CloseAnyway, langId_), QMessageBox::DestructiveRole);
    QPushButton* keep = ask.addButton(LoadWindowText(WindowText::KeepOpen, langId_), QMessageBox::RejectRole);
    ask.setDefaultButton(keep);
    ask.setEscapeButton(keep);
    ask.exec();
    if (ask.clickedButton() != close) return;
  }
  QDialog::reject();
}

void CDEVederDlg::NoteCloseAfterAction() {
  closeWhenDone_ = true;
  if (closeNotice_) {
    closeNotice_->raise();
    return;
  }
  WindowText text = WindowText::ClosesAfterAction;
  if (actionPage_ == pages_[4] && actionControl_ == kFontDownloadButton) text = WindowText::ClosesAfterFont;
  if (actionPage_ == pages_[6] && actionControl_ == kFirmwareDownloadButton) text = WindowText::ClosesAfterFirmware;
  // Not modal: a download's waits go on while it is shown.
  auto* box = new QMessageBox(QMessageBox::Information, ProgramTitle(langId_), LoadWindowText(text, langId_),
                              QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  closeNotice_ = box;
  box->show();
}

std::optional<QString> CDEVederDlg::PageWithUnwrittenEdits() const {
  for (int i = 0; i < kPageCount; ++i)
    if (pages_[static_cast<std::size_t>(i)]->HasUnwrittenEdits()) return tabs_->Bar()->tabText(i);
  return std::nullopt;
}

void CDEVederDlg::SwitchPage(int index) {
  if (index < 0 || index >= kPageCount) return;
  pages_[static_cast<std::size_t>(current_)]->setVisible(false);
  current_ = index;
  if (tabs_->Bar()->currentIndex() != index) {
    QSignalBlocker block(tabs_->Bar());
    tabs_->Bar()->setCurrentIndex(index);
  }
  pages_[static_cast<std::size_t>(current_)]->setVisible(true);
  ReadPageIfUnread(index);
}

void CDEVederDlg::ReadPageIfUnread(int index) {
  if (index < 1 || index > 3) return;
  PageWidget* page = pages_[static_cast<std::size_t>(index)];
  if (page->Logic().NeedsRead()) page->RunRead();
}

void CDEVederDlg::TickComm() {
  PageContext ctx = pages_[0]->Context();
  const bool reselected = comm_->Tick(ctx);
  // A re-made selection reads the page shown (settings, Bluetooth, WiFi),
  // whatever its read-once flag; skipped while another action runs.
  if (reselected && current_ >= 1 && current_ <= 3 && !actionRunning_)
    pages_[static_cast<std::size_t>(current_)]->RunRead();
}

void CDEVederDlg::timerEvent(QTimerEvent* event) {
  if (event->timerId() == commTimer_) {
    TickComm();
    return;
  }
  QDialog::timerEvent(event);
}

}  // namespace deveder
