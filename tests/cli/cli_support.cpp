#include "cli/cli_support.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

namespace deveder::tst {

CliRun RunProgram(const QString& program, const QStringList& args, int timeoutMs) {
  CliRun run;
  QProcess p;
  QElapsedTimer t;
  t.start();
  p.start(program, args);
  if (!p.waitForStarted(5000)) return run;
  run.finished = p.waitForFinished(timeoutMs);
  if (!run.finished) {
    p.kill();
    p.waitForFinished(2000);
  }
  run.ms = static_cast<double>(t.elapsed());
  run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  run.out = QString::fromUtf8(p.readAllStandardOutput());
  run.err = QString::fromUtf8(p.readAllStandardError());
  return run;
}

CliRun RunCli(const QStringList& args, int timeoutMs) {
  return RunProgram(QStringLiteral(DEVEDER_CLI_PATH), args, timeoutMs);
}

std::vector<std::string> SetvarLines(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const std::string& l : lines)
    if (l.find(" setvar ") != std::string::npos) out.push_back(l);
  return out;
}

}  // namespace deveder::tst

#include "link/link.h"
#include "protocol/command_line.h"
#include "sim/printer_sim.h"

namespace deveder::tst {

std::unique_ptr<sim::PrinterSim> StartPrinter(const std::string& modelReply) {
  sim::Options o;
  o.modelReply = modelReply;
  auto p = std::make_unique<sim::PrinterSim>(o);
  EXPECT_TRUE(p->Start());
  return p;
}

QStringList PortArgs(const sim::PrinterSim& printer, const char* lang) {
  return {QStringLiteral("--port"), QString::fromStdString(printer.PortPath()), QStringLiteral("--lang"),
          QString::fromLatin1(lang)};
}

}  // namespace deveder::tst
