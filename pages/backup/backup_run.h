// Backup, restore and verify: the pages' own Read and Write pressed over
// in-memory controls, page by page, whoever asks (the window's menu or
// deveder-cli). The host makes the pages and presses their buttons; the
// steps and the comparisons are the same for both.
#pragma once

#include <QJsonObject>
#include <QString>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pages/backup/backup_file.h"
#include "pages/backup/backup_pages.h"

namespace deveder {

// One page of the printer as the window creates it, its controls in memory.
class BackupPage {
 public:
  virtual ~BackupPage() = default;
  virtual PageLogic& Logic() = 0;
  virtual ControlModel& Controls() = 0;
  // Presses a button of the page (its Read or its Write); true when the
  // action went through. A failure has shown its message; with `sayOk`, a
  // success that showed none is told too ("Read OK").
  virtual bool Press(int button, bool sayOk) = 0;
};

class BackupHost {
 public:
  virtual ~BackupHost() = default;
  virtual int Lang() const = 0;
  // The command form PrinterInfo selects now.
  virtual LineForm Form() const = 0;
  virtual std::unique_ptr<BackupPage> Open(const PageDef& def) = 0;
  // Before each page of a restore; the host may end the run here.
  virtual void BeforePage() {}
};

// Reads the page: what the printer answered, or nullopt when the Read
// failed.
std::optional<PageRead> ReadValues(BackupHost& host, BackupPage& page, const PageDef& def);

// The page's Write as its controls stand. A Write that would stop before
// its last line sends the lines before the stop, and fails with `stop`.
struct WriteOutcome {
  bool ok = false;
  std::size_t linesBeforeStop = 0;
  std::string stop;  // why the Write stopped early; empty when it did not
};
WriteOutcome WritePage(BackupHost& host, BackupPage& page, const PageDef& def);

// Reads every page; the backup file's text, or nullopt when a Read failed.
std::optional<std::string> TakeBackup(BackupHost& host);

// A value the printer holds otherwise than the file (nullopt: not sent).
struct Difference {
  const PageDef* page = nullptr;
  std::string name;
  std::optional<QString> file, printer;
};

// Reads each page the file holds and compares every value the page writes
// (what it only shows may change by itself). nullopt when a Read failed.
std::optional<std::vector<Difference>> VerifyBackup(BackupHost& host, const QJsonObject& top);

struct RestoreOutcome {
  enum class Ending { Done, ReadFailed, EditRefused, WriteFailed } ending = Ending::Done;
  const PageDef* page = nullptr;  // where it ended
  std::string error;              // EditRefused: the edits that do not fit now
  WriteOutcome write;             // WriteFailed: what the Write did
  // Values read back after their page was written that are not what the
  // file asked for (`file` is the value as the file gives it).
  std::vector<Difference> differs;
  std::vector<const PageDef*> written;
  bool ok() const { return ending == Ending::Done && differs.empty(); }
};

// Each page of the plan: read, the file's values put into its controls,
// written, read again and compared. `written` is told each page once its
// Write went through.
RestoreOutcome RestoreBackup(BackupHost& host, const RestorePlan& plan,
                             const std::function<void(const PageDef&)>& written = {});

}  // namespace deveder
