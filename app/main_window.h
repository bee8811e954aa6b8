// The main window: one tab control with the seven pages; owns PrinterInfo.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPointer>
#include <QTabBar>
#include <array>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "app/backup_menu.h"
#include "app/page_widget.h"
#include "pages/comm/comm_page.h"
#include "pages/core/exchanges.h"
#include "link/port_walk.h"

namespace deveder {

// The tab control: a tab bar over a framed client area that holds the pages.
class TabControl : public QWidget {
 public:
  explicit TabControl(QWidget* parent);
  QTabBar* Bar() const { return bar_; }
  // The area below the tabs, inside the frame.
  QRect ClientRect() const;
  // Where a page sits: inside the frame, from PageTop() to the bottom.
  QRect PageRect() const;
  // 20 pixels below the top of the tab control (at 96 DPI, more at higher
  // resolutions); the tabs stay above the pages' empty top margin, and where
  // our tabs are taller than that margin, the pages sit as little lower as
  // keeps their controls clear of the tabs.
  int PageTop() const { return pageTop_; }
  void SetPageTop(int top) { pageTop_ = top; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QTabBar* bar_;
  int pageTop_ = 0;
};

inline constexpr int kPageCount = 7;
inline constexpr int kPageTopOffset = 20;  // pages sit this far below the tab control's top

// The logic of each page, made by the application (or a test).
struct PageLogics {
  std::unique_ptr<PageLogic> setup, bluetooth, wifi, font, test, firmware;
};

class CDEVederDlg : public QDialog, public PageHost {
 public:
  CDEVederDlg(int langId, std::unique_ptr<DeviceSource> source, PageLogics logics, QWidget* parent = nullptr);
  ~CDEVederDlg() override;

  // PageHost
  PrinterInfo& Printer() override { return printerInfo_; }
  PortMemory* Ports() override { return &ports_; }
  LinkChoice Link() const override;
  int LangId() const override { return langId_; }
  bool BeginAction(PageWidget* page = nullptr, int control = 0) override;
  void EndAction(const std::optional<ActionResult>& result = std::nullopt) override;
  // An action of the window itself (the Backup menu's), named `name`: the
  // buttons of every page and under them are held while it runs.
  bool BeginWindowAction(const QString& name);
  bool ActionRunning() const override { return actionRunning_; }
  bool StopRequested() const override { return stopRequested_; }
  // In the status line, over the last result: percent and size.
  void ShowTransfer(qint64 done, qint64 total) override;

  // Esc and the close button. While an action runs, the window says it
  // closes when the action ends (and does); a page with edits not written
  // asks first.
  void reject() override;
  // The box that says the window closes when the action ends, while shown.
  QMessageBox* CloseNotice() const { return closeNotice_; }

  // The status line under the pages: the printer attached, and the last
  // action's result with its time.
  QLabel* StatusPrinter() const { return statusPrinter_; }
  QLabel* StatusResult() const { return statusResult_; }
  // The bar of a transfer whose page has none (the sample print); shown
  // while it runs.
  QProgressBar* StatusProgress() const { return statusProgress_; }
  // An entry of the port list as its open list shows it: the path, and the
  // model of the printer last found there.
  QString PortListText(const QString& path) const;
  // The requests and replies of the last actions, each under its name,
  // time and result, as deveder-cli's --replies writes them.
  QString TrafficText() const;
  // Shows TrafficText() in a box that can save it to a file.
  void ShowTraffic();
  // Save, restore and verify, under the pages.
  BackupMenu& Backup() { return *backup_; }

  TabControl* Tabs() const { return tabs_; }
  PageWidget* Page(int index) const { return pages_[static_cast<std::size_t>(index)]; }
  CommPage& Comm() { return *comm_; }
  int CurrentPage() const { return current_; }
  // The page switch the tab control's selection change runs.
  void SwitchPage(int index);
  // One tick of the communication page's timer 1.
  void TickComm();

 private:
  void ReadPageIfUnread(int index);
  // The status line and the traffic view note the action begun.
  void NoteActionStart();
  void UpdatePrinterLine();
  QString ActionName() const;
  QString ResultText(const ActionResult& result) const;
  // Tells, without waiting, that the window closes when the action ends.
  void NoteCloseAfterAction();
  // The tab title of the first page whose edits are not written, if any.
  std::optional<QString> PageWithUnwrittenEdits() const;

  int langId_;
  std::unique_ptr<DeviceSource> source_;
  CommPage* comm_ = nullptr;  // owned by its page widget
  TabControl* tabs_ = nullptr;
  std::array<PageWidget*, kPageCount> pages_{};
  int current_ = 0;
  PrinterInfo printerInfo_;
  PortMemory ports_;
  bool actionRunning_ = false;
  int commTimer_ = 0;
  PageWidget* actionPage_ = nullptr;  // the page and control of the action running
  QString windowAction_;              // the name of the window's own action running
  int actionControl_ = 0;
  bool closeWhenDone_ = false;
  bool stopRequested_ = false;
  QPointer<QMessageBox> closeNotice_;
  QLabel* statusPrinter_ = nullptr;
  QLabel* statusResult_ = nullptr;
  QProgressBar* statusProgress_ = nullptr;
  std::pair<QString, QString> lastResult_;  // its text and reason before the action
  std::map<QString, QString> probed_;     // port path -> model last found there
  QString serialNumber_, serialNumberPort_;  // as the settings page last read it
  qint64 actionBytes_ = -1;                 // the size of the file a download sends
  std::vector<QPointer<QWidget>> heldButtons_;  // disabled while the action runs
  struct ActionTraffic {
    QString title;
    std::vector<Exchange> exchanges;
  };
  std::deque<ActionTraffic> traffic_;  // the last actions, oldest first
  // Serial ports: the line speed the user chose for each (every action on
  // it runs at that speed), the speed each had when first seen, and the
  // port whose speed the baud box shows.
  std::map<QString, std::uint32_t> chosenBaud_, foundBaud_;
  QString baudShownFor_;
  void ShowLineSpeed();
  std::unique_ptr<QObject> inputGuard_;
  std::unique_ptr<BackupMenu> backup_;
  void HoldButtons(QWidget& root);

 protected:
  void timerEvent(QTimerEvent* event) override;
};

}  // namespace deveder
