#include "pages/backup/backup_run.h"

#include "protocol/text_codec.h"

namespace deveder {

std::optional<PageRead> ReadValues(BackupHost& host, BackupPage& page, const PageDef& def) {
  if (!page.Press(def.readButton, true)) return std::nullopt;
  PageRead read;
  read.values = AnsweredValues(def, page.Logic(), page.Controls(), host.Lang(), read.left);
  return read;
}

WriteOutcome WritePage(BackupHost& host, BackupPage& page, const PageDef& def) {
  const WriteLines planned = def.plan(page.Logic(), page.Controls(), host.Form(), host.Lang());
  if (!planned.stop.empty()) {
    // The page's Write sends the lines before the stop; so does this one,
    // and it fails whatever the port said.
    page.Press(def.writeButton, false);
    return {false, planned.lines.size(), planned.stop};
  }
  return {page.Press(def.writeButton, true), 0, {}};
}

std::optional<std::string> TakeBackup(BackupHost& host) {
  std::vector<std::pair<const PageDef*, PageRead>> pages;
  for (const PageDef* def : AllPages()) {
    const std::unique_ptr<BackupPage> page = host.Open(*def);
    std::optional<PageRead> values = ReadValues(host, *page, *def);
    if (!values) return std::nullopt;
    pages.emplace_back(def, std::move(*values));
  }
  return BackupText(pages, host.Lang());
}

std::optional<std::vector<Difference>> VerifyBackup(BackupHost& host, const QJsonObject& top) {
  std::vector<Difference> differences;
  for (const PageDef* def : AllPages()) {
    const QString key = QString::fromLatin1(def->jsonKey);
    if (!top.contains(key)) continue;
    const QJsonObject saved = top.value(key).toObject();
    const std::unique_ptr<BackupPage> page = host.Open(*def);
    const std::optional<PageRead> read = ReadValues(host, *page, *def);
    if (!read) return std::nullopt;
    const Values* now = &read->values;
    for (auto it = saved.begin(); it != saved.end(); ++it) {
      const std::string name = it.key().toStdString();
      // What the page only shows may change by itself (an address given out
      // by DHCP): it is not compared.
      const auto value = now->find(name);
      if (IsShownOnly(*def, name) || value == now->end()) continue;
      const std::optional<QString> printer =
          value->second ? std::optional<QString>(FromPrinterBytes(*value->second, host.Lang())) : std::nullopt;
      const std::optional<QString> file =
          it.value().isNull() ? std::nullopt : std::optional<QString>(it.value().toString());
      if (printer != file) differences.push_back({def, name, file, printer});
    }
  }
  return differences;
}

RestoreOutcome RestoreBackup(BackupHost& host, const RestorePlan& plan,
                             const std::function<void(const PageDef&)>& written) {
  RestoreOutcome out;
  for (const auto& [def, edits] : plan.pages) {
    host.BeforePage();
    out.page = def;
    const std::unique_ptr<BackupPage> page = host.Open(*def);
    if (!page->Press(def->readButton, true)) {
      out.ending = RestoreOutcome::Ending::ReadFailed;
      return out;
    }
    // The file was checked against a page as created; the printer's own
    // lists (the application list) are known only now.
    out.error = ApplyEdits(*def, page->Controls(), edits, host.Lang());
    if (!out.error.empty()) {
      out.ending = RestoreOutcome::Ending::EditRefused;
      return out;
    }
    out.write = WritePage(host, *page, *def);
    if (!out.write.ok) {
      out.ending = RestoreOutcome::Ending::WriteFailed;
      return out;
    }
    out.written.push_back(def);
    if (written) written(*def);
    // Read again and compare with what the Write sent.
    const Values wanted = CurrentValues(*def, page->Logic(), page->Controls(), host.Lang());
    const std::unique_ptr<BackupPage> check = host.Open(*def);
    if (!check->Press(def->readButton, true)) {
      out.ending = RestoreOutcome::Ending::ReadFailed;
      return out;
    }
    // Both as a Write would send them: the address as the page writes it.
    const Values read = CurrentValues(*def, check->Logic(), check->Controls(), host.Lang());
    const Values* now = &read;
    for (const auto& [name, value] : edits) {
      const auto want = wanted.find(name);
      const auto got = now->find(name);
      if (want == wanted.end() || got == now->end() || got->second == want->second) continue;
      out.differs.push_back({def, name, value,
                             got->second ? std::optional<QString>(FromPrinterBytes(*got->second, host.Lang()))
                                         : std::nullopt});
    }
  }
  return out;
}

}  // namespace deveder
