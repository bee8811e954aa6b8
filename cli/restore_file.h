// Backup files as restore and verify read them: the whole file checked
// before the printer is asked anything.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <string>
#include <utility>
#include <vector>

#include "cli/page_map.h"

namespace deveder::cli {

// The JSON object a backup's bytes hold. Empty, or why they are no backup.
std::string ParseBackup(const QByteArray& bytes, QJsonObject& top);

// Reads a backup file into `top`: a regular file of at most 1 MiB holding
// one JSON object. kExitOk, or the exit code with the reason shown.
int LoadBackup(const std::string& file, QJsonObject& top);

// What a restore of a backup would write, page by page, and the values it
// leaves out on purpose.
struct RestorePlan {
  std::vector<std::pair<const PageDef*, Edits>> pages;
  std::vector<std::string> notWritten;  // "wifi.wlan.mac not written: shown only"
};

// Checks every key and value of the backup against what each page's Write
// would accept. Empty, or one line per key that cannot be used.
std::string PlanRestore(Session& session, const QJsonObject& top, bool withIdentity, RestorePlan& plan);

// The keys of a backup that verify cannot compare. Empty, or one line per
// key; a file without a single value is one too.
std::string CheckVerifyFile(const QJsonObject& top);

}  // namespace deveder::cli
