// The string table (ids 143 to 157) in both languages, and the fixed Chinese
// messages that appear in Chinese in both interface languages.
#pragma once

#include <QString>
#include <cstddef>

#include "protocol/text_codec.h"

namespace deveder {

enum StringId {
  kStrComm = 143,
  kStrBtSetup = 144,
  kStrFont = 145,
  kStrFirmware = 146,
  kStrCantOpenPrinter = 147,
  kStrUnconnectPrinter = 148,
  kStrSetup = 149,
  kStrData = 150,
  kStrTest = 151,
  kStrReadOk = 152,
  kStrWriteOk = 153,
  kStrPleaseReadFirst = 154,
  kStrFileNotExist = 155,
  kStrChangeBaudFail = 156,
  kStrCommunicateFail = 157,
};

// The text of a string-table id in a language (2052 Chinese, else English).
QString LoadString(int id, int langId);

// A text in both interface languages, and its lookup in a table of them.
template <typename Id>
struct TextRow {
  Id id;
  const char* en;
  const char* zh;
};
template <typename Id, std::size_t N>
QString TextOf(const TextRow<Id> (&rows)[N], Id id, int langId) {
  for (const TextRow<Id>& row : rows)
    if (row.id == id) return QString::fromUtf8(langId == kLangChinese ? row.zh : row.en);
  return {};
}

// Fixed messages, the same in both interface languages.
inline const QString kMsgConnectionLost = QStringLiteral("打印机连接断开");
inline const QString kMsgNoTemplate = QStringLiteral("模板不存在");

// The program's title (the main window's caption and message-box caption).
QString ProgramTitle(int langId);

}  // namespace deveder

namespace deveder {
// A value whose command line would pass 4095 bytes is refused with this text.
QString ValueTooLongMessage(int langId);
// The system cannot convert text to and from the printer's code page.
QString NoTextConversionMessage(int langId);
}  // namespace deveder
