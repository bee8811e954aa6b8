// A system that cannot convert text to the printer's code page sends the
// printer nothing: the converters are hidden from deveder-cli in a mount
// namespace of its own.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "cli/cli_support.h"
#include "sim/printer_sim.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

// Runs deveder-cli with the system's character converters hidden; nullopt
// where this machine allows no private mount namespace.
std::optional<CliRun> RunWithoutConverters(const QStringList& args) {
  const QString gconv = QStringLiteral("/usr/lib/x86_64-linux-gnu/gconv");
  if (!QFileInfo(gconv).isDir()) return std::nullopt;
  QTemporaryDir empty;
  QStringList script{QStringLiteral("-m"), QStringLiteral("--propagation"), QStringLiteral("private"),
                     QStringLiteral("sh"), QStringLiteral("-c"),
                     QStringLiteral("mount --bind \"$0\" \"$1\" || exit 99; shift; exec \"$@\""), empty.path(), gconv,
                     QStringLiteral(DEVEDER_CLI_PATH)};
  QProcess p;
  p.start(QStringLiteral("unshare"), script + args);
  if (!p.waitForStarted(5000) || !p.waitForFinished(20000)) return std::nullopt;
  if (p.exitStatus() != QProcess::NormalExit || p.exitCode() == 99) return std::nullopt;
  CliRun run;
  run.finished = true;
  run.exitCode = p.exitCode();
  run.err = QString::fromUtf8(p.readAllStandardError());
  return run;
}

TEST(CliCodec, NoConverterForTheCodePageSendsNothing) {
  auto printer = StartPrinter();
  for (const char* lang : {"en", "zh"}) {
    for (const char* page : {"settings", "wifi", "bt"}) {
      const std::optional<CliRun> r = RunWithoutConverters(PortArgs(*printer, lang) + page + "read");
      if (!r) GTEST_SKIP() << "no private mount namespace here";
      EXPECT_EQ(r->exitCode, 1) << page;
      EXPECT_TRUE(r->err.contains(QStringLiteral("code page")) || r->err.contains(QStringLiteral("代码页")))
          << r->err.toStdString();
    }
  }
  EXPECT_EQ(printer->BytesReceived(), 0);
}

}  // namespace
