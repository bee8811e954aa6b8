// Who may open a port: one user at a time, character devices only, and never
// a standard stream.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <fstream>
#include <sstream>

#include "link/link.h"
#include "link/std_streams_posix.h"
#include "protocol/command_line.h"
#include "protocol/printer_info.h"
#include "sim/printer_sim.h"
#include "test_support.h"

using namespace deveder;
using deveder::tst::CountOpenFds;

namespace {

std::unique_ptr<sim::PrinterSim> Printer() {
  auto p = std::make_unique<sim::PrinterSim>();
  EXPECT_TRUE(p->Start());
  return p;
}

std::string OwnCommandName() {
  std::ifstream f("/proc/self/comm");
  std::string name;
  std::getline(f, name);
  return name;
}

// Runs `child` in a forked process; its exit status (-1 when it did not exit).
template <typename F>
int InChild(F child) {
  const pid_t pid = fork();
  if (pid == 0) _exit(child());
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace

TEST(PortExclusive, ASecondOpenerIsRefusedAtOnceAndTheFirstCarriesOn) {
  auto printer = Printer();
  const int fds = CountOpenFds();
  OpenResult first = OpenLink(printer->PortPath());
  ASSERT_TRUE(first.ok());
  // Through the link and through the device itself: one port either way.
  for (const std::string& path : {printer->PortPath(), printer->SlavePath()}) {
    const OpenResult second = OpenLink(path);
    EXPECT_FALSE(second.ok()) << path;
    EXPECT_EQ(second.fault, PortFault::Busy);
    const std::optional<PortHolder>& holder = second.holder;
    ASSERT_TRUE(holder);
    EXPECT_EQ(holder->pid, getpid());
    EXPECT_EQ(holder->name, OwnCommandName());
    EXPECT_EQ(second.ErrorText(), "in use by PID " + std::to_string(getpid()) + " (" + OwnCommandName() + ")");
  }
  EXPECT_EQ(CountOpenFds(), fds + 1);
  EXPECT_EQ(printer->BytesReceived(), 0);
  // The refused opener disturbed nothing of the first's port.
  char buf[kLineBufferSize];
  PrinterInfo info;
  EXPECT_EQ(ProbePrinterModel(*first.link, buf, sizeof buf, info), 'O');
  first.link.reset();
  // The lock goes with the close: the next opener is admitted.
  for (int i = 0; i < 3; ++i) {
    const OpenResult again = OpenLink(printer->PortPath());
    EXPECT_TRUE(again.ok()) << again.ErrorText();
  }
  EXPECT_EQ(CountOpenFds(), fds);
}

// A program without the lock, and without the privilege to override the
// exclusive flag, is kept out while the port is in use and let in after.
TEST(PortExclusive, ATerminalInUseRefusesOtherOpenersUntilItCloses) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to open the terminal as another user";
  auto printer = Printer();
  const std::string slave = printer->SlavePath();
  ASSERT_EQ(chmod(slave.c_str(), 0666), 0);
  auto openAsNobody = [&] {
    return InChild([&] {
      if (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0)
        return 3;
      const int fd = open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      if (fd >= 0) {
        close(fd);
        return 0;
      }
      return errno == EBUSY ? 1 : 2;
    });
  };
  EXPECT_EQ(openAsNobody(), 0);
  {
    OpenResult port = OpenLink(printer->PortPath());
    ASSERT_TRUE(port.ok());
    EXPECT_EQ(openAsNobody(), 1);
  }
  // The simulator keeps the terminal open, so the flag would outlive the
  // port if the close did not clear it.
  EXPECT_EQ(openAsNobody(), 0);
}

TEST(PortExclusive, OnlyACharacterDeviceIsAPortAndNothingElseIsTouched) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string base = dir.path().toStdString();
  const int fds = CountOpenFds();

  // A regular file, also behind a link: refused, not a byte changed.
  const std::string file = base + "/settings.json";
  const std::string content = "{\"keep\": \"me\"}\n";
  std::ofstream(file) << content;
  struct stat before{};
  ASSERT_EQ(stat(file.c_str(), &before), 0);
  const std::string link = base + "/printer";
  ASSERT_EQ(symlink(file.c_str(), link.c_str()), 0);
  for (const std::string& path : {file, link}) {
    const OpenResult r = OpenLink(path);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.fault, PortFault::NotADevice);
    EXPECT_EQ(r.pathKind, PathKind::RegularFile);
    EXPECT_EQ(r.ErrorText(), "not a device (a regular file)");
  }
  std::stringstream now;
  now << std::ifstream(file).rdbuf();
  EXPECT_EQ(now.str(), content);
  struct stat after{};
  ASSERT_EQ(stat(file.c_str(), &after), 0);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);

  EXPECT_EQ(OpenLink(base).pathKind, PathKind::Directory);

  // A FIFO, with and without a reader: the reader sees neither a byte nor a
  // writer come and go (which it would as a hang-up had the FIFO been opened).
  const std::string fifo = base + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(OpenLink(fifo).pathKind, PathKind::Fifo);
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  EXPECT_EQ(OpenLink(fifo).fault, PortFault::NotADevice);
  pollfd p{reader, POLLIN, 0};
  EXPECT_EQ(poll(&p, 1, 50), 0) << p.revents;
  close(reader);

  const std::string sock = base + "/socket";
  const int s = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, sock.c_str(), sizeof addr.sun_path - 1);
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  EXPECT_EQ(OpenLink(sock).pathKind, PathKind::Socket);
  close(s);

  // A missing path is still a plain open failure; a character device opens.
  const OpenResult none = OpenLink(base + "/none");
  EXPECT_FALSE(none.ok());
  EXPECT_EQ(none.fault, PortFault::OpenFailed);
  EXPECT_TRUE(OpenLink("/dev/null").ok());
  EXPECT_EQ(CountOpenFds(), fds);
}

// A program started with standard streams closed gets them on /dev/null, so
// the next descriptor it opens (the port) is none of them.
TEST(StandardStreams, ClosedStreamsAreFilledBeforeAnythingIsOpened) {
  for (const std::vector<int>& closed : {std::vector<int>{1}, {2}, {0, 1, 2}, {0, 2}}) {
    const int status = InChild([&] {
      for (int fd : closed) close(fd);
      EnsureStandardStreams();
      for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) == -1) return 1;
      const int next = open("/dev/null", O_RDWR);
      if (next <= 2) return 2;
      // Output goes nowhere instead of into that next file.
      return write(1, "x", 1) == 1 && write(2, "y", 1) == 1 ? 0 : 3;
    });
    EXPECT_EQ(status, 0) << closed.size();
  }
}
