// A page of the main window: widgets built from the page's template, its
// headless logic, and the binding of control events to that logic by id.
#pragma once

#include <QWidget>
#include <memory>

#include "app/widget_controls.h"
#include "pages/core/page_logic.h"

class QMessageBox;

namespace deveder {

class PageWidget;

// What a page needs of the main window.
class PageHost {
 public:
  virtual ~PageHost() = default;
  virtual PrinterInfo& Printer() = 0;
  // What the run has learnt of its ports; none by default.
  virtual PortMemory* Ports() { return nullptr; }
  virtual LinkChoice Link() const = 0;
  virtual int LangId() const = 0;
  // One port action at a time: Begin fails while another runs. `page` and
  // `control` name the action (none: the page's read).
  virtual bool BeginAction(PageWidget* page = nullptr, int control = 0) = 0;
  // Ends the action; `result` is what it achieved, when it ran one.
  virtual void EndAction(const std::optional<ActionResult>& result = std::nullopt) = 0;
  virtual bool ActionRunning() const = 0;
  // The user asked the running action to stop at its next safe point.
  virtual bool StopRequested() const = 0;
  // How far the running action's transfer has got, for a page without a
  // progress bar of its own.
  virtual void ShowTransfer(qint64 done, qint64 total) {
    (void)done;
    (void)total;
  }
};

// Makes the labels of a message box wide enough that no word is broken.
void WidenForLongWords(QMessageBox& box);

inline constexpr int kTimedMessageTimerId = 101;  // closes the success box
inline constexpr int kTimedMessageMs = 500;

class PageWidget : public QWidget, public Ui {
 public:
  PageWidget(PageHost& host, std::unique_ptr<PageLogic> logic, QWidget* parent);
  ~PageWidget() override;

  // Builds the widgets and runs the page's creation step.
  void Create();

  PageLogic& Logic() { return *logic_; }
  WidgetControls& Controls() { return controls_; }
  PageContext Context();

  // Runs the page's read as one port action (skipped while another runs).
  bool RunRead();
  // Runs a control event of the page as one port action.
  void RunControl(int id, ControlEvent event);

  // True when the page's controls differ from what its last complete Read
  // put there: edits the printer does not have.
  bool HasUnwrittenEdits() const;
  // The page reads and writes the printer's values (settings, Bluetooth, WiFi).
  void SetHoldsPrinterValues(bool holds) { holdsValues_ = holds; }

  // Ui
  void ShowMessage(const QString& text) override;
  void ShowMessageWithReason(const QString& text, const QString& reason) override;
  void ShowTimedMessage(const QString& text, const QString& caption) override;
  // Yes and No, No the default: Enter or Esc alone never confirms.
  bool Confirm(const QString& question) override;
  bool StopRequested() override { return host_.StopRequested(); }
  void ShowTransfer(qint64 done, qint64 total) override { host_.ShowTransfer(done, total); }
  // As the page labels it.
  QString FieldName(const QString& variable, int dialogId, int controlId) override;
  std::optional<QString> ChooseOpenFile(const QString& initialName, const QString& filter) override;

 protected:
  void timerEvent(QTimerEvent* event) override;
  PageHost& host_;

 private:
  void Bind();
  // What the controls that hold the printer's values show now.
  QStringList ValueState() const;
  // After an action of the page: a Read or Write that went through leaves
  // the controls as the printer holds them.
  void NoteResult(const std::optional<ActionResult>& result);
  std::unique_ptr<PageLogic> logic_;
  bool holdsValues_ = false;
  std::optional<QStringList> readState_;  // as the last Read or Write that went through left it
  WidgetControls controls_;
  int timedTimer_ = 0;  // the Qt id behind timer 101
  QString timedCaption_;
};

// The pages of the tool, each a thin class over its logic: the widgets come
// from the page's template, the behaviour from its logic.
class TABComm : public PageWidget {
 public:
  using PageWidget::PageWidget;
};
class CTabSetup : public PageWidget {
 public:
  using PageWidget::PageWidget;
};
class TABConfig : public PageWidget {
 public:
  using PageWidget::PageWidget;
};
class CTabWIFI : public PageWidget {
 public:
  using PageWidget::PageWidget;
};
class TABFont : public PageWidget {
 public:
  using PageWidget::PageWidget;
};
class CTABTest : public PageWidget {
 public:
  using PageWidget::PageWidget;
};
class TABFirmware : public PageWidget {
 public:
  using PageWidget::PageWidget;
};

}  // namespace deveder
