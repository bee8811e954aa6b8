#include "app/backup_menu.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

#include "app/main_window.h"
#include "pages/backup/backup_run.h"
#include "pages/backup/output_file.h"
#include "pages/core/memory_controls.h"
#include "resources/strings.h"
#include "resources/window_texts.h"

namespace deveder {

namespace {

// Messages of the pages run for the menu: a failure in a box over the
// window; their "Read OK" and "Write OK" give way to the menu's own answer.
class MenuUi : public Ui {
 public:
  MenuUi(QWidget& parent, int lang) : parent_(parent), lang_(lang) {}
  void ShowMessage(const QString& text) override { ShowMessageWithReason(text, {}); }
  void ShowMessageWithReason(const QString& text, const QString& reason) override {
    QMessageBox box(QMessageBox::NoIcon, ProgramTitle(lang_), text, QMessageBox::Ok, &parent_);
    box.setInformativeText(reason);
    WidenForLongWords(box);
    box.exec();
  }
  void ShowTimedMessage(const QString&, const QString&) override {}
  std::optional<QString> ChooseOpenFile(const QString&, const QString&) override { return std::nullopt; }
  QString FieldName(const QString& variable, int dialogId, int controlId) override {
    const QString caption = FieldCaption(FindDialogTemplate(dialogId, lang_), controlId);
    return caption.isEmpty() ? variable : caption;
  }

 private:
  QWidget& parent_;
  int lang_;
};

// A page as the window creates it, over controls in memory, on the port,
// printer and line speed the window's actions use.
class MenuPage : public BackupPage {
 public:
  MenuPage(PageHost& host, Ui& ui, const PageDef& def)
      : host_(host), ui_(ui), logic_(def.make()), controls_(FindDialogTemplate(logic_->DialogId(), host.LangId())) {
    PageContext ctx = Context();
    logic_->OnCreate(ctx);
  }
  PageLogic& Logic() override { return *logic_; }
  ControlModel& Controls() override { return controls_; }
  bool Press(int button, bool) override {
    PageContext ctx = Context();
    const ControlResult r = logic_->OnControl(button, ControlEvent::Clicked, ctx);
    return r.action && r.action->ok();
  }

 private:
  PageContext Context() {
    return PageContext{controls_, ui_, host_.Printer(), host_.Link(), host_.LangId(), host_.Ports()};
  }
  PageHost& host_;
  Ui& ui_;
  std::unique_ptr<PageLogic> logic_;
  MemoryControls controls_;
};

class MenuHost : public BackupHost {
 public:
  MenuHost(PageHost& host, Ui& ui) : host_(host), ui_(ui) {}
  int Lang() const override { return host_.LangId(); }
  LineForm Form() const override { return FormForFlag(host_.Printer().namedFormFlag); }
  std::unique_ptr<BackupPage> Open(const PageDef& def) override { return std::make_unique<MenuPage>(host_, ui_, def); }

 private:
  PageHost& host_;
  Ui& ui_;
};

// The shared checks say what is wrong one line each.
QString Lines(const std::string& errors) { return QString::fromStdString(errors).trimmed(); }

QString PageNames(const std::vector<const PageDef*>& pages, int lang) {
  QStringList names;
  for (const PageDef* def : pages) names << QString::fromLatin1(def->jsonKey);
  return names.isEmpty() ? LoadWindowText(WindowText::NoPagesWritten, lang) : names.join(QStringLiteral(", "));
}

QString DifferenceLines(const std::vector<Difference>& differences, int lang) {
  auto shown = [lang](const std::optional<QString>& v) {
    return v ? QLatin1Char('"') + *v + QLatin1Char('"') : LoadWindowText(WindowText::NotSent, lang);
  };
  QStringList lines;
  for (const Difference& d : differences)
    lines << LoadWindowText(WindowText::DifferenceLine, lang)
                 .arg(QString::fromLatin1(d.page->jsonKey) + QLatin1Char('.') + QString::fromStdString(d.name),
                      shown(d.file), shown(d.printer));
  return lines.join(QLatin1Char('\n'));
}

ActionResult NotDone() { return ActionResult{ActionOutcome::Refused, 0, {}, {}}; }

}  // namespace

BackupMenu::BackupMenu(CDEVederDlg& window) : window_(window) {
  const int lang = window_.LangId();
  button_ = new QPushButton(LoadWindowText(WindowText::BackupButton, lang), &window_);
  button_->setAutoDefault(false);
  button_->setFocusPolicy(Qt::TabFocus);
  auto* menu = new QMenu(button_);
  QObject::connect(menu->addAction(LoadWindowText(WindowText::BackupSave, lang)), &QAction::triggered, button_,
                   [this] { Save(); });
  QObject::connect(menu->addAction(LoadWindowText(WindowText::BackupRestore, lang)), &QAction::triggered, button_,
                   [this] { Restore(); });
  QObject::connect(menu->addAction(LoadWindowText(WindowText::BackupVerify, lang)), &QAction::triggered, button_,
                   [this] { Verify(); });
  button_->setMenu(menu);
}

QString BackupMenu::ChooseFile(bool save) const {
  QFileDialog dialog(&window_, QString(), QString(), LoadWindowText(WindowText::BackupFilter, window_.LangId()));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QStringLiteral("json"));
  if (save) dialog.selectFile(QStringLiteral("printer.json"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

void BackupMenu::Tell(const QString& text, const QString& details) const {
  QMessageBox box(QMessageBox::NoIcon, ProgramTitle(window_.LangId()), text, QMessageBox::Ok, &window_);
  box.setInformativeText(details);
  WidenForLongWords(box);
  box.exec();
}

void BackupMenu::Save() {
  if (window_.ActionRunning()) return;
  if (const QString path = ChooseFile(true); !path.isEmpty()) SaveTo(path);
}

void BackupMenu::Restore() {
  if (window_.ActionRunning()) return;
  if (const QString path = ChooseFile(false); !path.isEmpty()) RestoreFrom(path);
}

void BackupMenu::Verify() {
  if (window_.ActionRunning()) return;
  if (const QString path = ChooseFile(false); !path.isEmpty()) VerifyAgainst(path);
}

namespace {

// The backup a file holds, or why it holds none.
std::optional<QJsonObject> LoadBackupFile(const QString& path, int lang, QString& why) {
  const QFileInfo info(path);
  QFile file(path);
  // A device or a pipe is never read.
  if (!info.isFile() || info.size() > static_cast<qint64>(kMaxBackupBytes) || !file.open(QIODevice::ReadOnly)) {
    why = LoadWindowText(WindowText::NoRegularFile, lang);
    return std::nullopt;
  }
  const QByteArray bytes = file.read(static_cast<qint64>(kMaxBackupBytes) + 1);
  QJsonObject top;
  if (const std::string error = ParseBackup(bytes, top); !error.empty()) {
    why = QString::fromStdString(error);
    return std::nullopt;
  }
  return top;
}

}  // namespace

void BackupMenu::SaveTo(const QString& path) {
  const int lang = window_.LangId();
  const std::string target = QFile::encodeName(path).toStdString();
  if (const std::string problem = OutputPathProblem(target); !problem.empty()) {
    Tell(LoadWindowText(WindowText::CannotWrite, lang).arg(path, QString::fromStdString(problem)));
    return;
  }
  if (!window_.BeginWindowAction(LoadWindowText(WindowText::SaveAction, lang))) return;
  MenuUi ui(window_, lang);
  MenuHost host(window_, ui);
  const std::optional<std::string> text = TakeBackup(host);
  if (!text) {
    window_.EndAction(NotDone());
    return;
  }
  std::string error;
  if (!WriteWholeFile(target, *text, error)) {
    const QString message = LoadWindowText(WindowText::CannotWrite, lang).arg(path, QString::fromStdString(error));
    window_.EndAction(ActionResult{ActionOutcome::Refused, 0, message, {}});
    Tell(message);
    return;
  }
  const QString message = LoadWindowText(WindowText::BackupSaved, lang).arg(QFileInfo(path).fileName());
  window_.EndAction(Succeeded(0, message));
  Tell(message, path);
}

void BackupMenu::RestoreFrom(const QString& path) {
  const int lang = window_.LangId();
  const QString name = QFileInfo(path).fileName();
  QString why;
  const std::optional<QJsonObject> top = LoadBackupFile(path, lang, why);
  // The whole file is checked before the printer is asked anything.
  RestorePlan plan;
  if (top) why = Lines(PlanRestore(*top, false, lang, plan));
  if (!why.isEmpty()) {
    Tell(LoadWindowText(WindowText::NotABackup, lang).arg(path, why));
    return;
  }
  QStringList pages, leftOut;
  for (const auto& [def, edits] : plan.pages) pages << QString::fromLatin1(def->jsonKey);
  for (const std::string& line : plan.notWritten) leftOut << QString::fromStdString(line);
  {
    QMessageBox ask(QMessageBox::Warning, LoadWindowText(WindowText::ConfirmTitle, lang),
                    LoadWindowText(WindowText::ConfirmRestore, lang)
                        .arg(name, NamePrinter(window_.Printer().modelName, window_.Link().portPath, lang),
                             pages.join(QStringLiteral(", "))),
                    QMessageBox::Yes | QMessageBox::No, &window_);
    ask.setInformativeText(leftOut.join(QLatin1Char('\n')));
    ask.setDefaultButton(QMessageBox::No);
    ask.setEscapeButton(QMessageBox::No);
    WidenForLongWords(ask);
    if (ask.exec() != QMessageBox::Yes) return;
  }
  if (!window_.BeginWindowAction(LoadWindowText(WindowText::RestoreAction, lang))) return;
  MenuUi ui(window_, lang);
  MenuHost host(window_, ui);
  const RestoreOutcome done = RestoreBackup(host, plan);
  QString message, details = DifferenceLines(done.differs, lang);
  switch (done.ending) {
    case RestoreOutcome::Ending::Done:
      message = done.differs.empty()
                    ? LoadWindowText(WindowText::RestoreDone, lang).arg(name)
                    : LoadWindowText(WindowText::RestoreDiffers, lang).arg(done.differs.size()).arg(name);
      break;
    case RestoreOutcome::Ending::EditRefused:
      details = Lines(done.error);
      [[fallthrough]];
    case RestoreOutcome::Ending::WriteFailed:
      if (!done.write.stop.empty()) details = QString::fromStdString(done.write.stop);
      [[fallthrough]];
    case RestoreOutcome::Ending::ReadFailed:
      message = LoadWindowText(WindowText::RestoreStopped, lang).arg(PageNames(done.written, lang));
      break;
  }
  // The printer now holds other values than the window's pages were read
  // with: they belong to it no more, and the page shown is read again.
  if (!done.written.empty()) window_.Printer().Clear();
  window_.EndAction(ActionResult{done.ok() ? ActionOutcome::Ok : ActionOutcome::Refused, 0, message, details});
  Tell(message, details);
  if (!done.written.empty() && window_.CurrentPage() >= 1 && window_.CurrentPage() <= 3)
    window_.Page(window_.CurrentPage())->RunRead();
}

void BackupMenu::VerifyAgainst(const QString& path) {
  const int lang = window_.LangId();
  const QString name = QFileInfo(path).fileName();
  QString why;
  const std::optional<QJsonObject> top = LoadBackupFile(path, lang, why);
  if (top) why = Lines(CheckVerifyFile(*top));
  if (!why.isEmpty()) {
    Tell(LoadWindowText(WindowText::NotABackup, lang).arg(path, why));
    return;
  }
  if (!window_.BeginWindowAction(LoadWindowText(WindowText::VerifyAction, lang))) return;
  MenuUi ui(window_, lang);
  MenuHost host(window_, ui);
  const std::optional<std::vector<Difference>> differences = VerifyBackup(host, *top);
  if (!differences) {
    window_.EndAction(NotDone());
    return;
  }
  const QString message = differences->empty()
                              ? LoadWindowText(WindowText::VerifySame, lang).arg(name)
                              : LoadWindowText(WindowText::VerifyDiffers, lang).arg(differences->size()).arg(name);
  const QString details = DifferenceLines(*differences, lang);
  window_.EndAction(
      ActionResult{differences->empty() ? ActionOutcome::Ok : ActionOutcome::Refused, 0, message, details});
  Tell(message, details);
}

}  // namespace deveder
