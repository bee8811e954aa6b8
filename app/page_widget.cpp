#include "app/page_widget.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QRegularExpression>
#include <QScreen>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimerEvent>

#include "resources/dialog_template.h"
#include "resources/strings.h"
#include "resources/window_texts.h"

namespace deveder {


PageWidget::PageWidget(PageHost& host, std::unique_ptr<PageLogic> logic, QWidget* parent)
    : QWidget(parent), host_(host), logic_(std::move(logic)) {
  setVisible(false);
}

PageWidget::~PageWidget() = default;

PageContext PageWidget::Context() {
  return PageContext{controls_, *this, host_.Printer(), host_.Link(), host_.LangId(), host_.Ports()};
}

void PageWidget::Create() {
  BuildDialog(FindDialogTemplate(logic_->DialogId(), host_.LangId()), this, controls_);
  PageContext ctx = Context();
  logic_->OnCreate(ctx);
  Bind();
}

void PageWidget::Bind() {
  for (const ControlTemplate& c : FindDialogTemplate(logic_->DialogId(), host_.LangId()).controls) {
    if (c.id == kStaticId) continue;
    QWidget* w = controls_.Widget(c.id);
    const int id = c.id;
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
      QObject::connect(b, &QAbstractButton::clicked, this, [this, id] { RunControl(id, ControlEvent::Clicked); });
    } else if (auto* cb = qobject_cast<QComboBox*>(w)) {
      QObject::connect(cb, qOverload<int>(&QComboBox::activated), this,
                       [this, id] { RunControl(id, ControlEvent::SelectionChanged); });
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
      QObject::connect(e, &QLineEdit::textEdited, this, [this, id] { RunControl(id, ControlEvent::TextEdited); });
    }
  }
}

bool PageWidget::RunRead() {
  if (!host_.BeginAction(this)) return false;
  PageContext ctx = Context();
  const ActionResult result = logic_->Read(ctx);
  NoteResult(result);
  host_.EndAction(result);
  return true;
}

void PageWidget::RunControl(int id, ControlEvent event) {
  // User input to the window is dropped while an action waits, so a click
  // normally finds no action running; if one does run, the click is dropped
  // rather than started on the same port.
  if (!host_.BeginAction(this, id)) return;
  PageContext ctx = Context();
  const ControlResult done = logic_->OnControl(id, event, ctx);
  NoteResult(done.action);
  host_.EndAction(done.action);
}

QStringList PageWidget::ValueState() const {
  QStringList state;
  for (const ControlTemplate& c : FindDialogTemplate(logic_->DialogId(), host_.LangId()).controls) {
    switch (c.kind) {
      case ControlKind::Edit:
      case ControlKind::IpAddress:
        state << controls_.Text(c.id);
        break;
      case ControlKind::ComboList:
      case ControlKind::ComboEdit:
        state << QString::number(controls_.CurrentIndex(c.id)) + QLatin1Char(':') + controls_.Text(c.id);
        break;
      case ControlKind::RadioButton:
      case ControlKind::CheckBox:
        state << QString::number(controls_.Checked(c.id));
        break;
      default:
        break;
    }
  }
  return state;
}

void PageWidget::NoteResult(const std::optional<ActionResult>& result) {
  // Only the pages that read the printer's values hold edits to lose; one
  // that still needs its read has not been read whole.
  if (result && result->ok() && holdsValues_ && !logic_->NeedsRead()) readState_ = ValueState();
}

bool PageWidget::HasUnwrittenEdits() const { return readState_ && *readState_ != ValueState(); }

void WidenForLongWords(QMessageBox& box) {
  // A message box wraps its lines at spaces, and breaks a word longer than
  // its width (a device path) anywhere: its labels are made as wide as
  // their longest word, within the screen.
  for (QLabel* label : box.findChildren<QLabel*>()) {
    if (label->text().isEmpty()) continue;
    int longest = 0;
    for (const QString& word : label->text().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
      longest = std::max(longest, label->fontMetrics().horizontalAdvance(word));
    const int limit = label->screen() ? label->screen()->availableGeometry().width() * 3 / 4 : longest;
    label->setMinimumWidth(std::min(longest + 2, limit));
  }
}

QString PageWidget::FieldName(const QString& variable, int dialogId, int controlId) {
  const QString caption = FieldCaption(FindDialogTemplate(dialogId, host_.LangId()), controlId);
  return caption.isEmpty() ? variable : caption;
}

void PageWidget::ShowMessage(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, ProgramTitle(host_.LangId()), text, QMessageBox::Ok, this);
  WidenForLongWords(box);
  box.exec();
}

void PageWidget::ShowMessageWithReason(const QString& text, const QString& reason) {
  QMessageBox box(QMessageBox::NoIcon, ProgramTitle(host_.LangId()), text, QMessageBox::Ok, this);
  box.setInformativeText(reason);
  WidenForLongWords(box);
  box.exec();
}

bool PageWidget::Confirm(const QString& question) {
  QMessageBox box(QMessageBox::Warning, LoadWindowText(WindowText::ConfirmTitle, host_.LangId()), question,
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  WidenForLongWords(box);
  return box.exec() == QMessageBox::Yes;
}

void PageWidget::ShowTimedMessage(const QString& text, const QString& caption) {
  if (timedTimer_) killTimer(timedTimer_);
  timedTimer_ = startTimer(kTimedMessageMs);
  timedCaption_ = caption;
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, this);
  box.exec();
}

void PageWidget::timerEvent(QTimerEvent* event) {
  if (event->timerId() == timedTimer_) {
    // Timer 101: close the top-level window titled with the caption, if the
    // user has not closed it already.
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->isVisible() && w->windowTitle() == timedCaption_) {
        w->close();
        break;
      }
    }
    timedTimer_ = 0;
  }
  // Every timer event stops its timer, whatever its id.
  killTimer(event->timerId());
  QWidget::timerEvent(event);
}

std::optional<QString> PageWidget::ChooseOpenFile(const QString& initialName, const QString& filter) {
  // "All File (*.bin)|*.bin||": the part before the first bar names the filter.
  const QString qtFilter = filter.section(QLatin1Char('|'), 0, 0);
  QFileDialog dialog(this, QString(), QString(), qtFilter);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.selectFile(initialName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first();
}

}  // namespace deveder
