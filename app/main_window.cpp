#include "app/main_window.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <QFileInfo>
#include <QIcon>
#include <QLocale>
#include <QProgressBar>
#include <QStyledItemDelegate>
#include <QTime>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <QPainter>
#include <QShortcut>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTimerEvent>
#include <algorithm>

#include "link/port_hooks.h"
#include "pages/firmware/firmware_page.h"
#include "pages/font/font_page.h"
#include "pages/settings/settings_tables.h"
#include "pages/test/test_page.h"
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

constexpr int kStatusGap = 4;  // pixels between the tab control and the status line
static_assert(kFontPathEdit == kFirmwarePathEdit && kFontProgressBar == kFirmwareProgressBar);

// 1,048,576: byte counts with thousands marked, in both languages.
QString GroupedNumber(qint64 n) { return QLocale(QLocale::English).toString(n); }

// The port list's open list: each path with the model last found there.
class PortListDelegate : public QStyledItemDelegate {
 public:
  PortListDelegate(std::function<QString(const QString&)> text, QObject* parent)
      : QStyledItemDelegate(parent), text_(std::move(text)) {}

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->text = text_(option->text);
  }

 private:
  std::function<QString(const QString&)> text_;
};

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
  // The status line runs under the tab control, across the window.
  statusPrinter_ = new QLabel(this);
  statusResult_ = new QLabel(this);
  statusResult_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  const int lineHeight = statusPrinter_->sizeHint().height() + 4;
  const int lineTop = tabs_->geometry().bottom() + 1 + kStatusGap;
  const QSize windowSize = DialogPixelSize(tpl) + (tabSize - templateTab) + QSize(0, lineHeight + kStatusGap);
  const int lineWidth = windowSize.width() - 2 * tabs_->x();
  // At its right end: the traffic of the last actions.
  auto* traffic = new QPushButton(LoadWindowText(WindowText::TrafficButton, langId_), this);
  traffic->setAutoDefault(false);
  traffic->setFocusPolicy(Qt::TabFocus);
  const int buttonWidth = traffic->sizeHint().width();
  traffic->setGeometry(tabs_->x() + lineWidth - buttonWidth, lineTop, buttonWidth, lineHeight);
  QObject::connect(traffic, &QPushButton::clicked, this, [this] { ShowTraffic(); });
  // Before it: save, restore and verify.
  backup_ = std::make_unique<BackupMenu>(*this);
  const int backupWidth = backup_->Button()->sizeHint().width();
  backup_->Button()->setGeometry(traffic->x() - kStatusGap - backupWidth, lineTop, backupWidth, lineHeight);
  const int textWidth = lineWidth - buttonWidth - backupWidth - 2 * kStatusGap;
  statusPrinter_->setGeometry(tabs_->x(), lineTop, textWidth * 13 / 20, lineHeight);
  statusResult_->setGeometry(tabs_->x() + textWidth * 13 / 20, lineTop, textWidth - textWidth * 13 / 20, lineHeight);
  statusProgress_ = new QProgressBar(this);
  statusProgress_->setRange(0, 100);
  statusProgress_->setGeometry(statusResult_->geometry());
  statusProgress_->setVisible(false);
  setFixedSize(windowSize);
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
    page->SetHoldsPrinterValues(i >= 1 && i <= 3);
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
  // The port list shows the model of each printer found, after its path.
  if (auto* box = qobject_cast<QComboBox*>(pages_[0]->Controls().Widget(kPortBox)))
    box->setItemDelegate(new PortListDelegate([this](const QString& path) { return PortListText(path); }, box));
  pages_[0]->Controls().Widget(kBaudBox)->setToolTip(LoadWindowText(WindowText::BaudTip, langId_));
  UpdatePrinterLine();
  SetPortTraceHook([this](bool sent, const char* bytes, int count) {
    if (actionRunning_ && !traffic_.empty()) AddTraffic(traffic_.back().exchanges, sent, bytes, count);
  });
  commTimer_ = startTimer(kCommTimerPeriodMs);
  inputGuard_ = std::make_unique<ActionInputGuard>(*this, [this] { return actionRunning_; });
  QCoreApplication::instance()->installEventFilter(inputGuard_.get());
}

CDEVederDlg::~CDEVederDlg() {
  SetPortTraceHook(nullptr);
  if (commTimer_) killTimer(commTimer_);
}

LinkChoice CDEVederDlg::Link() const {
  LinkChoice link;
  if (pages_[0]) link.portPath = pages_[0]->Controls().Text(kPortBox);
  link.baud = comm_->BaudValue();
  link.serial = comm_->SerialMode();
  if (const auto it = chosenBaud_.find(link.portPath); link.serial && it != chosenBaud_.end()) link.lineBaud = it->second;
  return link;
}

void CDEVederDlg::HoldButtons(QWidget& root) {
  for (QPushButton* b : root.findChildren<QPushButton*>()) {
    if (!b->isEnabled()) continue;
    b->setEnabled(false);
    heldButtons_.emplace_back(b);
  }
}

bool CDEVederDlg::BeginWindowAction(const QString& name) {
  if (actionRunning_) return false;
  actionRunning_ = true;
  actionPage_ = nullptr;
  actionControl_ = 0;
  actionBytes_ = -1;
  windowAction_ = name;
  setCursor(Qt::WaitCursor);
  HoldButtons(*this);
  lastResult_ = {statusResult_->text(), statusResult_->toolTip()};
  NoteActionStart();
  return true;
}

bool CDEVederDlg::BeginAction(PageWidget* page, int control) {
  if (actionRunning_) return false;
  actionRunning_ = true;
  actionPage_ = page;
  actionControl_ = control;
  actionBytes_ = -1;
  windowAction_.clear();
  if (!page) return true;
  // Busy: the wait cursor over the window, the page's buttons held.
  setCursor(Qt::WaitCursor);
  HoldButtons(*page);
  const bool download = (page == pages_[4] && control == kFontDownloadButton) ||
                        (page == pages_[6] && control == kFirmwareDownloadButton);
  if (download) {
    // The progress bar tells the share sent and the size of the file.
    const QFileInfo file(page->Controls().Text(kFontPathEdit));
    if (file.isFile()) actionBytes_ = file.size();
    if (auto* bar = qobject_cast<QProgressBar*>(page->Controls().Widget(kFontProgressBar))) {
      bar->setTextVisible(actionBytes_ >= 0);
      bar->setFormat(LoadWindowText(WindowText::ProgressBytes, langId_).arg(GroupedNumber(actionBytes_)));
    }
  }
  lastResult_ = {statusResult_->text(), statusResult_->toolTip()};
  NoteActionStart();
  return true;
}

void CDEVederDlg::NoteActionStart() {
  constexpr std::size_t kActionsKept = 10;
  traffic_.push_back({QTime::currentTime().toString(QStringLiteral("HH:mm:ss ")) + ActionName(), {}});
  if (traffic_.size() > kActionsKept) traffic_.pop_front();
  statusResult_->setText(LoadWindowText(WindowText::Running, langId_).arg(ActionName()));
  statusResult_->setToolTip(QString());
  statusResult_->repaint();
}

void CDEVederDlg::ShowTransfer(qint64 done, qint64 total) {
  if (!actionRunning_ || total <= 0) return;
  if (actionBytes_ != total || !statusProgress_->isVisible()) {
    actionBytes_ = total;
    statusProgress_->setFormat(LoadWindowText(WindowText::ProgressBytes, langId_).arg(GroupedNumber(total)));
    statusProgress_->setVisible(true);
    statusProgress_->setValue(0);
  }
  statusProgress_->setValue(static_cast<int>(std::clamp<qint64>(done, 0, total) * 100 / total));
}

void CDEVederDlg::EndAction(const std::optional<ActionResult>& result) {
  statusProgress_->setVisible(false);
  const bool busyShown = actionPage_ || !windowAction_.isEmpty();
  if (busyShown) {
    for (const QPointer<QWidget>& b : heldButtons_)
      if (b) b->setEnabled(true);
    heldButtons_.clear();
    unsetCursor();
  }
  // A speed picked in the baud box is the line speed of every action on
  // the port shown, for the rest of the run.
  if (actionPage_ == pages_[0] && actionControl_ == kBaudBox && comm_->SerialMode())
    chosenBaud_[Link().portPath] = static_cast<std::uint32_t>(comm_->BaudValue());
  if (result) {
    const QString port = Link().portPath;
    if (printerInfo_.modelName[0]) probed_[port] = QString::fromLatin1(printerInfo_.modelName);
    if (result->ok() && actionPage_ == pages_[1]) {
      serialNumber_ = pages_[1]->Controls().Text(kSetSerial);
      serialNumberPort_ = port;
    }
    statusResult_->setText(ResultText(*result) + QLatin1Char(' ') + QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
    statusResult_->setToolTip(result->reason);
    if (busyShown && !traffic_.empty()) traffic_.back().title += QStringLiteral(": ") + ResultText(*result);
  } else if (busyShown) {
    // Nothing ran (a question answered No): the last result stands.
    statusResult_->setText(lastResult_.first);
    statusResult_->setToolTip(lastResult_.second);
  }
  UpdatePrinterLine();
  const bool dumpMode = result && result->ok() && actionPage_ == pages_[5] && actionControl_ == kTestHexDumpButton;
  actionRunning_ = false;
  actionPage_ = nullptr;
  actionControl_ = 0;
  windowAction_.clear();
  stopRequested_ = false;
  // The printer stays in dump mode until it is switched off: say so.
  if (dumpMode) pages_[5]->ShowMessage(LoadWindowText(WindowText::HexDumpLeave, langId_));
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

QString CDEVederDlg::PortListText(const QString& path) const {
  const auto it = probed_.find(path);
  return it == probed_.end() ? path : path + QStringLiteral("    ") + it->second;
}

QString CDEVederDlg::TrafficText() const {
  QString text;
  for (const ActionTraffic& action : traffic_) {
    text += QStringLiteral("# ") + action.title + QLatin1Char('\n');
    for (const Exchange& x : action.exchanges)
      text += QString::fromStdString(EscapedBytes(x.sent) + " -> " + EscapedBytes(x.received)) + QLatin1Char('\n');
  }
  return text;
}

void CDEVederDlg::ShowTraffic() {
  QDialog box(this);
  box.setWindowTitle(LoadWindowText(WindowText::TrafficTitle, langId_));
  auto* view = new QPlainTextEdit(TrafficText(), &box);
  view->setReadOnly(true);
  view->setLineWrapMode(QPlainTextEdit::NoWrap);
  view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Close, &box);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
  QObject::connect(buttons->button(QDialogButtonBox::Save), &QPushButton::clicked, &box, [this, &box, view] {
    const QString path = QFileDialog::getSaveFileName(&box, QString(), QStringLiteral("traffic.txt"));
    if (path.isEmpty()) return;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(view->toPlainText().toUtf8()) < 0 ||
        !file.flush())
      QMessageBox::warning(&box, ProgramTitle(langId_), file.errorString());
  });
  auto* layout = new QVBoxLayout(&box);
  layout->addWidget(view);
  layout->addWidget(buttons);
  box.resize(width(), height() * 2 / 3);
  box.exec();
}

void CDEVederDlg::ShowLineSpeed() {
  const QString port = Link().portPath;
  if (!comm_->SerialMode() || port.isEmpty()) {
    baudShownFor_.clear();
    return;
  }
  if (port == baudShownFor_ || actionRunning_) return;
  baudShownFor_ = port;
  // The speed chosen for the port, else the one it has: nothing changes
  // unless the user picks another. A port is opened for this once.
  std::uint32_t speed = 0;
  if (const auto chosen = chosenBaud_.find(port); chosen != chosenBaud_.end()) {
    speed = chosen->second;
  } else if (const auto found = foundBaud_.find(port); found != foundBaud_.end()) {
    speed = found->second;
  } else {
    const OpenResult open = OpenLink(QFile::encodeName(port).toStdString(), LinkOptions{true, std::nullopt});
    speed = foundBaud_[port] = open.ok() ? open.link->LineSpeed() : 0;
  }
  WidgetControls& c = pages_[0]->Controls();
  for (int i = 0; i < c.ItemCount(kBaudBox); ++i) {
    if (c.ItemText(kBaudBox, i) != QString::number(speed)) continue;
    c.SetCurrentIndex(kBaudBox, i);
    PageContext ctx = pages_[0]->Context();
    comm_->OnControl(kBaudBox, ControlEvent::SelectionChanged, ctx);
  }
}

void CDEVederDlg::UpdatePrinterLine() {
  const LinkChoice link = Link();
  QStringList parts;
  if (link.portPath.isEmpty()) {
    parts << LoadWindowText(WindowText::NoPort, langId_);
  } else if (!printerInfo_.modelName[0]) {
    parts << link.portPath << LoadWindowText(WindowText::NotAsked, langId_);
  } else {
    parts << QString::fromLatin1(printerInfo_.modelName);
    if (serialNumberPort_ == link.portPath && !serialNumber_.isEmpty())
      parts << LoadWindowText(WindowText::SerialNumber, langId_).arg(serialNumber_);
    parts << link.portPath
          << LoadWindowText(printerInfo_.named() ? WindowText::NamedForm : WindowText::NumberedForm, langId_);
  }
  if (link.serial && !link.portPath.isEmpty()) parts << LoadWindowText(WindowText::LineSpeed, langId_).arg(link.baud);
  const QString text = parts.join(QStringLiteral(" · "));
  if (statusPrinter_->toolTip() == text) return;  // every tick: only a change repaints
  statusPrinter_->setToolTip(text);
  statusPrinter_->setText(statusPrinter_->fontMetrics().elidedText(text, Qt::ElideMiddle, statusPrinter_->width()));
}

QString CDEVederDlg::ActionName() const {
  if (!windowAction_.isEmpty()) return windowAction_;
  if (!actionPage_) return {};
  if (actionControl_) return actionPage_->Controls().Text(actionControl_);
  for (int i = 0; i < kPageCount; ++i)
    if (pages_[static_cast<std::size_t>(i)] == actionPage_) return tabs_->Bar()->tabText(i);
  return {};
}

QString CDEVederDlg::ResultText(const ActionResult& result) const {
  const QString name = ActionName();
  if (!result.ok() && result.message.isEmpty() && result.reason.isEmpty())
    return LoadWindowText(WindowText::NotDone, langId_).arg(name);
  if (!result.ok())
    return LoadWindowText(WindowText::Failed, langId_).arg(name, result.message.isEmpty() ? result.reason : result.message);
  if (!result.message.isEmpty()) return result.message;
  if (actionPage_ == pages_[4] && actionControl_ == kFontDownloadButton)
    return LoadWindowText(WindowText::FontDone, langId_).arg(GroupedNumber(actionBytes_));
  if (actionPage_ == pages_[6] && actionControl_ == kFirmwareDownloadButton)
    return LoadWindowText(WindowText::FirmwareDone, langId_).arg(GroupedNumber(actionBytes_));
  if (actionPage_ == pages_[5] && actionControl_ == kTestDemoPrintButton && actionBytes_ >= 0)
    return LoadWindowText(WindowText::SampleDone, langId_).arg(name, GroupedNumber(actionBytes_));
  if (actionPage_ == pages_[5]) return LoadWindowText(WindowText::Sent, langId_).arg(name);
  return LoadWindowText(WindowText::Done, langId_).arg(name);
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
  const bool font = actionPage_ == pages_[4] && actionControl_ == kFontDownloadButton;
  QString text = LoadWindowText(WindowText::ClosesAfterAction, langId_);
  if (font)
    text = LoadWindowText(WindowText::ClosesAfterFont, langId_) + QLatin1Char(' ') +
           LoadWindowText(WindowText::StopLeavesPart, langId_);
  if (actionPage_ == pages_[6] && actionControl_ == kFirmwareDownloadButton)
    text = LoadWindowText(WindowText::ClosesAfterFirmware, langId_);
  // Not modal: a download's waits go on while it is shown.
  auto* box = new QMessageBox(QMessageBox::Information, ProgramTitle(langId_), text, QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  // The font download may stop between two blocks; the firmware download
  // never stops halfway.
  if (font) {
    QPushButton* stop = box->addButton(LoadWindowText(WindowText::StopDownload, langId_), QMessageBox::DestructiveRole);
    QObject::connect(stop, &QPushButton::clicked, this, [this] { stopRequested_ = true; });
  }
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
  ShowLineSpeed();
  UpdatePrinterLine();
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
