// Runs deveder-cli as a child process against simulated printers.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

namespace deveder::tst {

struct CliRun {
  int exitCode = -1;
  bool finished = false;
  QString out;
  QString err;
  double ms = 0;
};

// Runs the tool with `args`; gives up (and kills it) after `timeoutMs`.
CliRun RunCli(const QStringList& args, int timeoutMs = 20000);

// The setvar lines among the lines a simulated printer received.
std::vector<std::string> SetvarLines(const std::vector<std::string>& lines);

}  // namespace deveder::tst

namespace deveder::sim {
class PrinterSim;
}

namespace deveder::tst {

// Every command line the printer has taken in, once it has handled them all
// (a marker line is answered after everything sent before it).
std::vector<std::string> SettledLines(sim::PrinterSim& printer);

// The simulated printer's port as an argument list: --port PATH --lang en.
QStringList PortArgs(const sim::PrinterSim& printer, const char* lang = "en");

}  // namespace deveder::tst
