// deveder-demo through its binary: stopped by a signal it cleans up as when
// its window is closed.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

// The simulated printer's port as the demo announces it on stderr; empty
// when it does not within `timeoutMs`.
QString AnnouncedPort(QProcess& demo, QString& err, int timeoutMs) {
  static const QRegularExpression announce(QStringLiteral("simulated printer on (\\S+)"));
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < timeoutMs) {
    err += QString::fromLocal8Bit(demo.readAllStandardError());
    const QRegularExpressionMatch m = announce.match(err);
    if (m.hasMatch()) return m.captured(1);
    if (demo.state() == QProcess::NotRunning) break;
    demo.waitForReadyRead(100);
  }
  return {};
}

}  // namespace

TEST(DemoSignals, TermAndIntRemoveTheSimulatorsFolderAndLink) {
  for (int sig : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(sig == SIGTERM ? "SIGTERM" : "SIGINT");
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    QProcess demo;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), tmp.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    demo.setProcessEnvironment(env);
    demo.start(QStringLiteral(DEVEDER_DEMO_PATH), {});
    ASSERT_TRUE(demo.waitForStarted(5000));

    QString err;
    const QString port = AnnouncedPort(demo, err, 10000);
    ASSERT_FALSE(port.isEmpty()) << err.toStdString();
    const QFileInfo link(port);
    EXPECT_TRUE(link.isSymLink());
    EXPECT_TRUE(link.absolutePath().startsWith(tmp.path() + QStringLiteral("/deveder-sim-")));

    ::kill(static_cast<pid_t>(demo.processId()), sig);
    const bool ended = demo.waitForFinished(10000);
    if (!ended) {
      demo.kill();
      demo.waitForFinished(2000);
    }
    ASSERT_TRUE(ended);
    err += QString::fromLocal8Bit(demo.readAllStandardError());
    EXPECT_EQ(demo.exitStatus(), QProcess::NormalExit) << err.toStdString();
    EXPECT_EQ(demo.exitCode(), 0) << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(link.absolutePath()));
    // (Qt may make its runtime folder there too.)
    EXPECT_EQ(QDir(tmp.path()).entryList({QStringLiteral("deveder-sim-*")}, QDir::AllEntries | QDir::System),
              QStringList{});
  }
}
