#include "pages/backup/backup_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <algorithm>

#include "pages/core/printable.h"

namespace deveder {

namespace {

// Identity values stay unless asked for: a backup of one printer must not
// clone its serial number or Bluetooth address onto another.
bool IsIdentity(const std::string& name) { return name == "sn" || name == "bluetooth.address"; }

// The top-level keys of a backup that name no page, or hold no object.
std::string CheckPages(const QJsonObject& top) {
  std::string errors;
  for (auto it = top.begin(); it != top.end(); ++it) {
    const bool known = std::any_of(AllPages().begin(), AllPages().end(),
                                   [&](const PageDef* d) { return it.key() == QLatin1String(d->jsonKey); });
    if (!known) errors += "unknown page " + Shown(it.key(), true) + " (settings, wifi or bluetooth)\n";
    else if (!it.value().isObject()) errors += Shown(it.key()) + " is not an object of NAME: value\n";
  }
  return errors;
}

QJsonObject PageOf(const QJsonObject& top, const PageDef& def) {
  return top.value(QString::fromLatin1(def.jsonKey)).toObject();
}

}  // namespace

std::string ParseBackup(const QByteArray& bytes, QJsonObject& top) {
  QJsonParseError perr{};
  const QJsonDocument doc = QJsonDocument::fromJson(bytes, &perr);
  if (perr.error != QJsonParseError::NoError || !doc.isObject()) return "is not a backup (JSON object)";
  top = doc.object();
  return {};
}

std::string BackupText(const std::vector<std::pair<const PageDef*, PageRead>>& pages, int lang) {
  QJsonObject all;
  for (const auto& [def, read] : pages)
    all.insert(QString::fromLatin1(def->jsonKey),
               QJsonDocument::fromJson(QByteArray::fromStdString(ValuesJson(*def, read.values, lang, read.left)))
                   .object());
  return QJsonDocument(all).toJson(QJsonDocument::Indented).toStdString();
}

std::string PlanRestore(const QJsonObject& top, bool withIdentity, int lang, RestorePlan& plan) {
  std::string errors = CheckPages(top);
  for (const PageDef* def : AllPages()) {
    const QJsonObject saved = PageOf(top, *def);
    if (saved.isEmpty()) continue;
    Edits edits;
    const QJsonArray leftList = saved.value(QString::fromLatin1(kLeftWithPrinterKey)).toArray();
    for (auto it = saved.begin(); it != saved.end(); ++it) {
      const std::string name = it.key().toStdString();
      const std::string where = std::string(def->jsonKey) + "." + Shown(it.key(), true);
      if (name == kLeftWithPrinterKey) {
        if (!it.value().isArray()) errors += where + " is not a list of names\n";
      } else if (leftList.contains(it.key())) {
        // What the page could not show as read: a Write from the page
        // cannot set it as the file holds it.
        if (!it.value().isNull()) plan.notWritten.push_back(where + " not written: left with the printer when saved");
      } else if (!IsVar(*def, name)) {
        errors += "unknown variable " + where + "\n";
      } else if (it.value().isNull()) {
        // A value the printer's Write would not send: nothing to restore.
      } else if (!it.value().isString()) {
        errors += where + " is not text (values are JSON strings)\n";
      } else if (IsShownOnly(*def, name)) {
        plan.notWritten.push_back(where + " not written: shown only");
      } else if (IsIdentity(name) && !withIdentity) {
        plan.notWritten.push_back(where + " not written: it names one printer");
      } else {
        edits[name] = it.value().toString();
      }
    }
    errors += CheckEdits(*def, edits, lang);
    if (!edits.empty()) plan.pages.emplace_back(def, std::move(edits));
  }
  if (errors.empty() && plan.pages.empty()) errors = "no value to restore\n";
  return errors;
}

std::string CheckVerifyFile(const QJsonObject& top) {
  std::string errors = CheckPages(top);
  int values = 0;
  for (const PageDef* def : AllPages()) {
    const QJsonObject saved = PageOf(top, *def);
    for (auto it = saved.begin(); it != saved.end(); ++it) {
      const std::string where = std::string(def->jsonKey) + "." + Shown(it.key(), true);
      if (it.key() == QLatin1String(kLeftWithPrinterKey)) continue;
      if (!IsVar(*def, it.key().toStdString())) errors += "unknown variable " + where + "\n";
      else if (!it.value().isString() && !it.value().isNull()) errors += where + " is not text or null\n";
      else if (!IsShownOnly(*def, it.key().toStdString())) ++values;
    }
  }
  if (errors.empty() && values == 0) errors = "no value to compare (a printer matches it whatever it holds)\n";
  return errors;
}

}  // namespace deveder
