// Backup files: one JSON object with an object per page ("settings",
// "wifi", "bluetooth") of variable names and their values as text (null:
// a value the Write would not send). Restore and verify check the whole
// file before the printer is asked anything.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "pages/backup/backup_pages.h"

namespace deveder {

// A backup is a few kilobytes; a larger file is no backup.
inline constexpr std::size_t kMaxBackupBytes = 1 << 20;

// The JSON object a backup's bytes hold. Empty, or why they are no backup.
std::string ParseBackup(const QByteArray& bytes, QJsonObject& top);

// The file's text: each page's values, as read, under its key.
std::string BackupText(const std::vector<std::pair<const PageDef*, PageRead>>& pages, int lang);

// What a restore of a backup would write, page by page, and the values it
// leaves out on purpose.
struct RestorePlan {
  std::vector<std::pair<const PageDef*, Edits>> pages;
  std::vector<std::string> notWritten;  // "wifi.wlan.mac not written: shown only"
};

// Checks every key and value of the backup against what each page's Write
// would accept. Empty, or one line per key that cannot be used.
// `withIdentity`: the serial number and the Bluetooth address are written
// too (they name one printer).
std::string PlanRestore(const QJsonObject& top, bool withIdentity, int lang, RestorePlan& plan);

// The keys of a backup that verify cannot compare. Empty, or one line per
// key; a file without a single value is one too.
std::string CheckVerifyFile(const QJsonObject& top);

}  // namespace deveder
