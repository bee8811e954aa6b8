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
  FontStopped,           // the font download stopped at the user's word
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
  SampleDone,            // %1: the button's caption, %2: bytes
  Failed,                // %1: the action, %2: its message
  NotDone,               // %1: the action, declined at its question
  ProgressBytes,         // %1: bytes; the progress bar's text around "%p"
  BaudTip,               // the baud box's tool tip
  TrafficButton,         // the button that shows the last actions' traffic
  TrafficTitle,
  // The Backup menu under the pages.
  BackupButton,
  BackupSave,            // menu entries
  BackupRestore,
  BackupVerify,
  BackupFilter,          // the file dialog's filter
  SaveAction,            // the actions' names in the status line
  RestoreAction,
  VerifyAction,
  BackupSaved,           // %1: file name
  CannotWrite,           // %1: path, %2: why
  NotABackup,            // %1: path, %2: why (one line per reason)
  NoRegularFile,         // a device, a folder, or a file over 1 MiB
  ConfirmRestore,        // %1: file name, %2: the printer, %3: the pages
  RestoreDone,           // %1: file name
  RestoreDiffers,        // %1: count, %2: file name
  RestoreStopped,        // %1: the pages written
  NoPagesWritten,
  VerifySame,            // %1: file name
  VerifyDiffers,         // %1: count, %2: file name
  DifferenceLine,        // %1: page.variable, %2: the file's value, %3: the printer's
  NotSent,               // a value the Write would not send
  // Questions and advice of the pages' actions.
  ConfirmTitle,
  ConfirmFactoryDefault, // %1: the printer
  ConfirmFirmware,       // %1: file name, %2: bytes, %3: the printer
  EmptyFirmware,         // the chosen image has no bytes
  PrinterOnPort,         // %1: model, %2: port
  HexDumpLeave,          // after HexDump: how the printer leaves dump mode
};

QString LoadWindowText(WindowText id, int langId);

// The printer as a question names it: its model and port, or the port alone
// while the model is not known.
QString NamePrinter(const char* model, const QString& port, int langId);

// What an interrupted download leaves with the printer and what to do, with
// the share of the file that was sent.
QString FontInterruptedAdvice(int percentSent, int langId);

// The line under "打印机连接断开": which port stopped answering and what to
// check, for a USB or serial port or a network printer.
enum class PortKind { Usb, Serial, Network };
QString NoAnswerAdvice(const QString& port, PortKind kind, int langId);
QString FirmwareInterruptedAdvice(int percentSent, int langId);

}  // namespace deveder
