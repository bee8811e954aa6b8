// deveder-cli doctor over prepared trees, one finding each, and against a
// simulated printer; the cause lines under "Unconnect Printer" through the
// binary for a missing device, a permission and a busy port.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <cstdlib>

#include "cli/cli_support.h"
#include "fake_system.h"
#include "sim/printer_sim.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

struct Doctor {
  int exitCode = -1;
  QJsonArray checks;
  QString err;

  // The findings of one check (and subject, when given).
  std::vector<QJsonObject> Of(const char* check, const QString& subject = {}) const {
    std::vector<QJsonObject> out;
    for (const QJsonValue& v : checks) {
      const QJsonObject o = v.toObject();
      if (o["check"].toString() == check && (subject.isEmpty() || o["subject"].toString() == subject)) out.push_back(o);
    }
    return out;
  }
  QString Verdict(const char* check, const QString& subject = {}) const {
    auto f = Of(check, subject);
    return f.size() == 1 ? f[0]["verdict"].toString() : QStringLiteral("%1 findings").arg(f.size());
  }
  std::string Text(const char* check, const QString& subject = {}) const {
    std::string s;
    for (const QJsonObject& o : Of(check, subject))
      s += (o["detail"].toString() + " | fix: " + o["fix"].toString()).toStdString() + "\n";
    return s;
  }
  int Failed() const {
    int n = 0;
    for (const QJsonValue& v : checks) n += v.toObject()["verdict"].toString() == "fail";
    return n;
  }
};

Doctor RunDoctor(const FakeSystem& fs, QStringList extra = {}) {
  CliRun r = RunCli(QStringList{"--lang", "en", "doctor", "--json", "--root", QString::fromStdString(fs.Root())} + extra);
  Doctor d;
  d.exitCode = r.exitCode;
  d.err = r.err;
  d.checks = QJsonDocument::fromJson(r.out.toUtf8()).object()["checks"].toArray();
  EXPECT_FALSE(d.checks.isEmpty()) << r.out.toStdString() << r.err.toStdString();
  return d;
}

std::string Gid(unsigned g) { return std::to_string(g); }

// A machine where everything is in order: alice in lp and dialout, in this
// session too, usblp loaded, one serial port of group dialout.
void AllGood(FakeSystem& fs) {
  fs.Groups("alice", "alice");
  fs.Session("4242 " + Gid(fs.LpGid()) + " " + Gid(FakeSystem::NodeGid()));
  fs.Dir("sys/module/usblp");
  fs.SerialPort("ttyUSB0");
}

// A USB printer interface (class 07) on bus 1, device `devnum`.
void UsbPrinterInterface(FakeSystem& fs, const std::string& iface, int devnum, const char* protocol,
                         const char* driver) {
  const std::string dev = iface.substr(0, iface.find(':'));
  fs.Write("sys/bus/usb/devices/" + dev + "/manufacturer", "Acme\n");
  fs.Write("sys/bus/usb/devices/" + dev + "/product", "Label 80\n");
  fs.Write("sys/bus/usb/devices/" + dev + "/busnum", "1\n");
  fs.Write("sys/bus/usb/devices/" + dev + "/devnum", std::to_string(devnum) + "\n");
  fs.Write("sys/bus/usb/devices/" + iface + "/bInterfaceClass", "07\n");
  fs.Write("sys/bus/usb/devices/" + iface + "/bInterfaceProtocol", std::string(protocol) + "\n");
  if (driver) fs.Link("sys/bus/usb/devices/" + iface + "/driver", std::string("../../../../bus/usb/drivers/") + driver);
}

}  // namespace

TEST(CliDoctor, AllGoodExitsZero) {
  FakeSystem fs;
  AllGood(fs);
  UsbPrinterInterface(fs, "1-2:1.0", 4, "02", "usblp");
  fs.Dir("sys/bus/usb/devices/1-2:1.0/usbmisc/lp0");
  fs.Dir("sys/class/usbmisc/lp0");
  fs.Node("usb/lp0");
  Doctor d = RunDoctor(fs);
  EXPECT_EQ(d.exitCode, 0) << d.Failed() << " failed\n" << QJsonDocument(d.checks).toJson().toStdString();
  EXPECT_EQ(d.Verdict("groups"), "pass");
  EXPECT_EQ(d.Verdict("usblp"), "pass");
  EXPECT_EQ(d.Verdict("usb-printer"), "pass");
  EXPECT_NE(d.Text("usb-printer").find("/dev/usb/lp0"), std::string::npos);
  EXPECT_EQ(d.Verdict("port", "/dev/usb/lp0"), "pass");
  EXPECT_EQ(d.Verdict("port", "/dev/ttyUSB0"), "pass");
  EXPECT_EQ(d.Verdict("holders", "/dev/ttyUSB0"), "pass");

  // The same machine in text form ends with its tally.
  CliRun text = RunCli({"doctor", "--root", QString::fromStdString(fs.Root())});
  EXPECT_EQ(text.exitCode, 0);
  EXPECT_TRUE(text.out.contains(QRegularExpression("\\d+ checks: \\d+ passed, 0 failed\n$"))) << text.out.toStdString();
}

TEST(CliDoctor, UserNotInTheGroups) {
  FakeSystem fs;
  AllGood(fs);
  fs.Groups("", "");
  fs.Session("4242");
  Doctor d = RunDoctor(fs);
  EXPECT_EQ(d.exitCode, 1);
  EXPECT_EQ(d.Verdict("groups"), "fail");
  // A serial port only: dialout is needed, lp is not.
  EXPECT_NE(d.Text("groups").find("sudo usermod -aG dialout alice,"), std::string::npos) << d.Text("groups");
  EXPECT_EQ(d.Verdict("port", "/dev/ttyUSB0"), "fail");
  EXPECT_NE(d.Text("port").find("belongs to group dialout and user alice is not in it"), std::string::npos)
      << d.Text("port");
  // A network printer needs no group at all.
  EXPECT_EQ(RunDoctor(fs, {"--port", "127.0.0.1:9"}).Verdict("groups"), "pass");
}

TEST(CliDoctor, InTheGroupButNotYetInTheLoginSession) {
  FakeSystem fs;
  AllGood(fs);
  fs.Session("4242");
  Doctor d = RunDoctor(fs);
  EXPECT_EQ(d.exitCode, 1);
  EXPECT_EQ(d.Verdict("groups"), "fail");
  EXPECT_NE(d.Text("groups").find("log out and in again"), std::string::npos) << d.Text("groups");
  EXPECT_NE(d.Text("port").find("was added to group dialout after this login session began"), std::string::npos)
      << d.Text("port");
}

TEST(CliDoctor, BusyPortNamesItsHolder) {
  FakeSystem fs;
  AllGood(fs);
  fs.Process(812, "minicom", {"/dev/ttyUSB0"});
  fs.Process(813, "bash", {"/dev/pts/3"});
  Doctor d = RunDoctor(fs, {"--port", "/dev/ttyUSB0"});
  EXPECT_EQ(d.exitCode, 1);
  EXPECT_EQ(d.Verdict("holders", "/dev/ttyUSB0"), "fail");
  EXPECT_NE(d.Text("holders").find("in use by minicom (pid 812)"), std::string::npos) << d.Text("holders");
  const auto f = d.Of("holders");
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0]["holders"].toArray().size(), 1);
  EXPECT_EQ(d.Verdict("port"), "pass");
}

TEST(CliDoctor, UsbPrinterTakenByIppUsbOrCups) {
  {
    FakeSystem fs;
    AllGood(fs);
    UsbPrinterInterface(fs, "1-3:1.0", 5, "04", "usbfs");
    fs.Process(640, "ipp-usb", {"/dev/bus/usb/001/005"});
    Doctor d = RunDoctor(fs);
    EXPECT_EQ(d.exitCode, 1);
    EXPECT_EQ(d.Verdict("usb-printer"), "fail");
    const std::string t = d.Text("usb-printer");
    EXPECT_EQ(d.Of("usb-printer", "Acme Label 80 (1-3:1.0)").size(), 1u);
    EXPECT_NE(t.find("taken by ipp-usb"), std::string::npos) << t;
    EXPECT_NE(t.find("held by ipp-usb (pid 640)"), std::string::npos) << t;
    EXPECT_NE(t.find("systemctl stop ipp-usb"), std::string::npos) << t;
  }
  {
    FakeSystem fs;
    AllGood(fs);
    UsbPrinterInterface(fs, "1-3:1.0", 9, "02", "usbfs");
    fs.Process(700, "usb", {"/dev/bus/usb/001/009"});
    Doctor d = RunDoctor(fs);
    EXPECT_EQ(d.exitCode, 1);
    const std::string t = d.Text("usb-printer");
    EXPECT_NE(t.find("taken by CUPS's usb backend"), std::string::npos) << t;
    EXPECT_NE(t.find("held by usb (pid 700)"), std::string::npos) << t;
  }
}

TEST(CliDoctor, ModemManagerProbingTtyAcmUnlessTheDeviceIsIgnored) {
  FakeSystem fs;
  AllGood(fs);
  fs.Write("sys/devices/usb1/1-4/idVendor", "0483\n");
  fs.Write("sys/devices/usb1/1-4/idProduct", "5740\n");
  fs.Dir("sys/devices/usb1/1-4/1-4:1.0");
  fs.Link("sys/class/tty/ttyACM0/device", "../../../devices/usb1/1-4/1-4:1.0");
  fs.Write("sys/class/tty/ttyACM0/dev", "166:0\n");
  fs.Node("ttyACM0");
  fs.Process(515, "ModemManager");
  Doctor d = RunDoctor(fs);
  EXPECT_EQ(d.exitCode, 1);
  EXPECT_EQ(d.Verdict("modemmanager", "/dev/ttyACM0"), "fail");
  const std::string t = d.Text("modemmanager");
  EXPECT_NE(t.find("ModemManager (pid 515)"), std::string::npos) << t;
  EXPECT_NE(t.find("ATTRS{idVendor}==\"0483\", ATTRS{idProduct}==\"5740\", ENV{ID_MM_DEVICE_IGNORE}=\"1\""),
            std::string::npos)
      << t;
  // A file of its own per printer model: another printer's fix stays.
  EXPECT_NE(t.find("tee /etc/udev/rules.d/99-deveder-mm-0483-5740.rules"), std::string::npos) << t;

  fs.Write("run/udev/data/c166:0", "S:serial/by-id/usb-Acme\nE:ID_MM_DEVICE_IGNORE=1\n");
  Doctor ignored = RunDoctor(fs);
  EXPECT_EQ(ignored.Verdict("modemmanager", "/dev/ttyACM0"), "pass");
  EXPECT_EQ(ignored.exitCode, 0) << QJsonDocument(ignored.checks).toJson().toStdString();
}

TEST(CliDoctor, UsblpModuleMissing) {
  FakeSystem fs;
  AllGood(fs);
  QDir(QString::fromStdString(fs.Path("sys/module/usblp"))).removeRecursively();
  Doctor quiet = RunDoctor(fs);  // no USB printer: nothing needs the driver yet
  EXPECT_EQ(quiet.Verdict("usblp"), "pass");

  UsbPrinterInterface(fs, "1-2:1.0", 4, "02", nullptr);
  Doctor d = RunDoctor(fs);
  EXPECT_EQ(d.exitCode, 1);
  EXPECT_EQ(d.Verdict("usblp"), "fail");
  EXPECT_NE(d.Text("usblp").find("sudo modprobe usblp"), std::string::npos) << d.Text("usblp");
  EXPECT_NE(d.Text("usb-printer").find("usblp is not loaded"), std::string::npos) << d.Text("usb-printer");
}

TEST(CliDoctor, NoPortAndMissingNode) {
  FakeSystem fs;
  AllGood(fs);
  Doctor d = RunDoctor(fs, {"--port", "/dev/ttyUSB5"});
  EXPECT_EQ(d.exitCode, 1);
  EXPECT_EQ(d.Verdict("port", "/dev/ttyUSB5"), "fail");
  EXPECT_NE(d.Text("port").find("No such device"), std::string::npos);

  FakeSystem empty;
  empty.Groups("alice", "alice");
  empty.Session("4242 " + Gid(empty.LpGid()) + " " + Gid(FakeSystem::NodeGid()));
  Doctor none = RunDoctor(empty);
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_EQ(none.Verdict("ports"), "fail");
}

TEST(CliDoctor, ProbesASimulatedPrinterWithItsReplyLatency) {
  sim::Options o;
  o.modelReply = "TQ250L;250;CPCL,ESCPOS,TSPL;1";
  o.faults.replyDelayMs = 40;
  sim::PrinterSim printer(o);
  ASSERT_TRUE(printer.Start());
  FakeSystem fs;
  AllGood(fs);
  const QString port = QString::fromStdString(printer.PortPath());
  Doctor d = RunDoctor(fs, {"--port", port});
  EXPECT_EQ(d.exitCode, 0) << QJsonDocument(d.checks).toJson().toStdString();
  const auto probe = d.Of("probe", port);
  ASSERT_EQ(probe.size(), 1u) << QJsonDocument(d.checks).toJson().toStdString();
  EXPECT_EQ(probe[0]["verdict"].toString(), "pass");
  EXPECT_EQ(probe[0]["model"].toString(), "TQ250L");
  EXPECT_EQ(probe[0]["number"].toInt(), 250);
  EXPECT_EQ(probe[0]["languages"].toString(), "CPCL,ESCPOS,TSPL");
  EXPECT_EQ(probe[0]["form"].toString(), "named");
  // The reply cannot come before the printer's own delay.
  EXPECT_GE(probe[0]["latency_ms"].toDouble(), 40.0);

  o.faults = sim::Faults{.silent = true};
  sim::PrinterSim mute(o);
  ASSERT_TRUE(mute.Start());
  const QString mutePort = QString::fromStdString(mute.PortPath());
  Doctor silent = RunDoctor(fs, {"--port", mutePort});
  EXPECT_EQ(silent.exitCode, 1);
  EXPECT_EQ(silent.Verdict("probe", mutePort), "fail");
  EXPECT_NE(silent.Text("probe").find("no answer to getvar \"model\""), std::string::npos) << silent.Text("probe");
}

TEST(CliDoctor, OpensOnlyThePortsItIsAskedToProbe) {
  auto printer = StartPrinter();
  FakeSystem fs;
  AllGood(fs);
  fs.Dir("sys/class/tty/ttyUSB1/device");
  fs.Link("dev/ttyUSB1", printer->PortPath());
  Doctor walk = RunDoctor(fs);
  EXPECT_EQ(printer->BytesReceived(), 0);
  EXPECT_NE(walk.Text("ports").find("not opened (--probe opens each"), std::string::npos) << walk.Text("ports");
  EXPECT_TRUE(walk.Of("probe").empty());
  Doctor probed = RunDoctor(fs, {"--probe"});
  EXPECT_EQ(probed.Verdict("probe", "/dev/ttyUSB1"), "pass") << QJsonDocument(probed.checks).toJson().toStdString();
  EXPECT_NE(probed.Text("ports").find("--probe: each is opened"), std::string::npos) << probed.Text("ports");
}

TEST(CliDoctor, ARootOnlyPortGetsTheUdevRuleThatOpensIt) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give a node to root's group";
  FakeSystem fs;
  AllGood(fs);
  fs.SerialPort("ttyS0", 0600);
  ASSERT_EQ(chown(fs.Path("dev/ttyS0").c_str(), 0, 0), 0);
  Doctor d = RunDoctor(fs, {"--port", "/dev/ttyS0"});
  EXPECT_NE(d.Text("port", "/dev/ttyS0").find(R"(KERNEL=="ttyS0", GROUP="dialout", MODE="0660")"), std::string::npos)
      << d.Text("port", "/dev/ttyS0");
}

// A FIFO or an endless device in a prepared tree is no file to read.
TEST(CliDoctor, ReadsBelowRootNeitherBlockNorGrow) {
  FakeSystem fs;
  AllGood(fs);
  UsbPrinterInterface(fs, "1-2:1.0", 4, "02", "usblp");
  ASSERT_EQ(unlink(fs.Path("sys/bus/usb/devices/1-2/product").c_str()), 0);
  ASSERT_EQ(mkfifo(fs.Path("sys/bus/usb/devices/1-2/product").c_str(), 0600), 0);
  ASSERT_EQ(unlink(fs.Path("sys/bus/usb/devices/1-2/manufacturer").c_str()), 0);
  fs.Link("sys/bus/usb/devices/1-2/manufacturer", "/dev/zero");
  fs.Dir("sys/class/tty/ttyS1/device");
  fs.Link("sys/class/tty/ttyS1/type", "/dev/zero");
  const CliRun r = RunCli({"--lang", "en", "doctor", "--json", "--root", QString::fromStdString(fs.Root())}, 10000);
  EXPECT_TRUE(r.finished);
  EXPECT_TRUE(r.out.contains("USB printer 1-2:1.0")) << r.out.toStdString();
}

// ---- cause lines through the binary -----------------------------------------

namespace {

// Runs the tool as `nobody` when this process is root (a root open ignores
// permissions and exclusive ports), else as this user.
QStringList Unprivileged(const QStringList& args) {
  if (geteuid() != 0) return QStringList{QStringLiteral(DEVEDER_CLI_PATH)} + args;
  return QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", "--", QStringLiteral(DEVEDER_CLI_PATH)} + args;
}

CliRun RunUnprivileged(const QStringList& args) {
  QStringList full = Unprivileged(args);
  if (geteuid() == 0) return RunProgram(QStringLiteral("setpriv"), full);
  const QString program = full.takeFirst();
  return RunProgram(program, full);
}

// A pseudo-terminal whose slave stands in for a printer port.
struct Pty {
  int master = -1;
  std::string slave;
  Pty() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) slave = ptsname(master);
  }
  ~Pty() {
    if (master >= 0) close(master);
  }
};

bool CanRunUnprivileged() {
  CliRun r = RunUnprivileged({"--version"});
  return r.exitCode == 0;
}

}  // namespace

TEST(CliCause, MissingDeviceInBothLanguages) {
  CliRun en = RunCli({"--port", "/nonexistent/ttyUSB0", "--lang", "en", "settings", "read"});
  EXPECT_EQ(en.exitCode, 1);
  const QStringList lines = en.err.split('\n', Qt::SkipEmptyParts);
  ASSERT_GE(lines.size(), 2) << en.err.toStdString();
  EXPECT_EQ(lines[0], "settings: Unconnect Printer");
  EXPECT_TRUE(lines[1].startsWith("No such device: /nonexistent/ttyUSB0 (unplugged or switched off?).")) << en.err.toStdString();
  CliRun zh = RunCli({"--port", "/nonexistent/ttyUSB0", "--lang", "zh", "probe"});
  EXPECT_EQ(zh.exitCode, 1);
  EXPECT_TRUE(zh.err.startsWith(QStringLiteral("probe: 打印机未连接\n设备不存在：/nonexistent/ttyUSB0"))) << zh.err.toStdString();
}

TEST(CliCause, PermissionNamesTheGroupAndTheFix) {
  if (!CanRunUnprivileged()) GTEST_SKIP() << "the tool cannot be run as an unprivileged user here";
  Pty pty;
  ASSERT_FALSE(pty.slave.empty());
  if (geteuid() == 0) {
    ASSERT_EQ(chown(pty.slave.c_str(), 0, 20), 0);  // dialout
    ASSERT_EQ(chmod(pty.slave.c_str(), 0660), 0);
  } else {
    ASSERT_EQ(chmod(pty.slave.c_str(), 0), 0);
  }
  CliRun r = RunUnprivileged({"--port", QString::fromStdString(pty.slave), "--lang", "en", "wifi", "read"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.startsWith("wifi: Unconnect Printer\nPermission denied: " + QString::fromStdString(pty.slave)))
      << r.err.toStdString();
  if (geteuid() == 0) {
    EXPECT_TRUE(r.err.contains("belongs to group dialout and user nobody is not in it. Fix: sudo usermod -aG dialout "
                               "nobody, then log out and in again."))
        << r.err.toStdString();
  }
}

TEST(CliCause, BusyPortNamesTheProgramHoldingIt) {
  if (!CanRunUnprivileged()) GTEST_SKIP() << "the tool cannot be run as an unprivileged user here";
  Pty pty;
  ASSERT_FALSE(pty.slave.empty());
  chmod(pty.slave.c_str(), 0666);
  // The holder: a program with the port open and taken exclusively, running
  // as the same user as the tool so that its descriptors can be seen.
  const int fd = open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ioctl(fd, TIOCEXCL), 0);
  QProcess holder;
  holder.setProgram(geteuid() == 0 ? QStringLiteral("setpriv") : QStringLiteral("sleep"));
  holder.setArguments(geteuid() == 0 ? QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", "--", "sleep", "30"}
                                     : QStringList{"30"});
  holder.setChildProcessModifier([fd] { dup2(fd, 7); });
  holder.start();
  ASSERT_TRUE(holder.waitForStarted(5000));
  close(fd);
  const qint64 holderPid = holder.processId();
  // The holder has its descriptor once it runs `sleep`.
  const std::string fdLink = "/proc/" + std::to_string(holderPid) + "/fd/7";
  for (int i = 0; i < 200 && access(fdLink.c_str(), F_OK) != 0; ++i) usleep(10000);
  for (int i = 0; i < 200; ++i) {
    char comm[32] = {};
    FILE* f = fopen(("/proc/" + std::to_string(holderPid) + "/comm").c_str(), "r");
    if (f) {
      (void)!fgets(comm, sizeof comm, f);
      fclose(f);
    }
    if (std::string(comm) == "sleep\n") break;
    usleep(10000);
  }

  CliRun r = RunUnprivileged({"--port", QString::fromStdString(pty.slave), "--lang", "en", "test", "testpage"});
  holder.kill();
  holder.waitForFinished(5000);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.startsWith("test: Unconnect Printer\nBusy: " + QString::fromStdString(pty.slave) + " is in use by sleep (pid " +
                               QString::number(holderPid)))
      << r.err.toStdString();
}

// A serial printer set to another speed than its port: the doctor finds the
// speed it answers at and says how to use it.
TEST(CliDoctor, ASilentSerialPrinterIsTriedAtTheUsualSpeeds) {
  sim::Options o;
  o.ownBaud = 57600;
  sim::PrinterSim printer(o);
  ASSERT_TRUE(printer.Start());
  FakeSystem fs;
  AllGood(fs);
  const QString port = QString::fromStdString(printer.PortPath());
  Doctor d = RunDoctor(fs, {"--port", port});
  const auto speed = d.Of("speed", port);
  ASSERT_EQ(speed.size(), 1u) << QJsonDocument(d.checks).toJson().toStdString();
  EXPECT_EQ(speed[0]["baud"].toInt(), 57600);
  ASSERT_EQ(d.Of("probe", port).size(), 1u);
  EXPECT_EQ(d.Of("probe", port)[0]["verdict"].toString(), "pass");
  EXPECT_EQ(d.exitCode, 1);
}
