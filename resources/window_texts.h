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
  // The status line.
  NoPort,                // no port in the port box
  NotAsked,              // the printer has not been asked for its model
  NamedForm,
  NumberedForm,
  LineSpeed,             // %1: baud
  SerialNumber,          // %1: the SN the settings page read
  Running,               // %1: the action under way
  Sent,                  // %1: a test command's caption
  Done,                  // %1: the action
  FontDone,              // %1: bytes
  FirmwareDone,          // %1: bytes
  Failed,                // %1: the action, %2: its message
  ProgressBytes,         // %1: bytes; the progress bar's text around "%p"
};

QString LoadWindowText(WindowText id, int langId);

}  // namespace deveder
