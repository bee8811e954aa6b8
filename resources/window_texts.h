// Texts of the window around the pages (closing, the status line), in both
// interface languages. The pages' own captions and messages are in the
// dialog templates and the string table.
#pragma once

#include <QString>

namespace deveder {

enum class WindowText {
  UnwrittenEditsTitle,   // question box title
  UnwrittenEdits,        // %1: the page's tab title
  CloseAnyway,           // button
  KeepOpen,              // button
  ClosesAfterAction,     // an action other than a download runs
  ClosesAfterFont,       // the font download runs
  ClosesAfterFirmware,   // the firmware download runs
  StopLeavesPart,        // what stopping the font download leaves
  StopDownload,          // button: stop the font download between blocks
  OctetOutOfRange,       // %1: what an address octet would have become
};

QString LoadWindowText(WindowText id, int langId);

}  // namespace deveder
