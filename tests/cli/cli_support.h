// Runs deveder-cli as a child process against simulated printers.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "test_support.h"

namespace deveder::tst {

struct CliRun {
  int exitCode = -1;
  bool finished = false;
  QString out;
  QString err;
  double ms = 0;
};

// Runs `program` with `args`; gives up (and kills it) after `timeoutMs`.
CliRun RunProgram(const QString& program, const QStringList& args, int timeoutMs = 20000);
// The same for the tool itself.
CliRun RunCli(const QStringList& args, int timeoutMs = 20000);

// Writes `bytes` to the file `name` in `dir` (replacing it); its path.
QString WriteFile(const QTemporaryDir& dir, const char* name, const QByteArray& bytes);

// The setvar lines among the lines a simulated printer received.
std::vector<std::string> SetvarLines(const std::vector<std::string>& lines);

}  // namespace deveder::tst

namespace deveder::sim {
class PrinterSim;
}

namespace deveder::tst {

// A started simulated printer.
std::unique_ptr<sim::PrinterSim> StartPrinter(const std::string& modelReply = "TQ250L;250;CPCL,ESCPOS,TSPL;1");

// Arguments grow one word at a time: PortArgs(p) + "bt" + "read".
inline QStringList operator+(QStringList a, const char* b) { return a << QString::fromUtf8(b); }

// The simulated printer's port as an argument list: --port PATH --lang en.
QStringList PortArgs(const sim::PrinterSim& printer, const char* lang = "en");

}  // namespace deveder::tst
