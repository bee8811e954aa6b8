// Opening a link: the port text names a device or a network address; a
// device is checked to be one and taken for this program alone.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "link/link_posix.h"
#include "link/port_hooks.h"
#include "link/tcp_connect.h"

namespace deveder {

namespace {

OpenResult Refused(PortFault fault, int err, std::string detail = {}) {
  OpenResult r;
  r.fault = fault;
  r.err = err;
  r.detail = std::move(detail);
  return r;
}

PathKind KindOfMode(mode_t mode) {
  if (S_ISCHR(mode)) return PathKind::Device;
  if (S_ISREG(mode)) return PathKind::RegularFile;
  if (S_ISDIR(mode)) return PathKind::Directory;
  if (S_ISFIFO(mode)) return PathKind::Fifo;
  if (S_ISSOCK(mode)) return PathKind::Socket;
  if (S_ISBLK(mode)) return PathKind::BlockDevice;
  return PathKind::Other;
}

// A process's command name, from /proc; empty when it cannot be read.
std::string CommandName(int pid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/comm", pid);
  std::string name;
  if (std::FILE* f = std::fopen(path, "re")) {
    char buf[64] = {};
    if (std::fgets(buf, sizeof buf, f)) name = buf;
    std::fclose(f);
  }
  while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
  return name;
}

// The process holding a lock on the file (dev, ino): a line of /proc/locks
// reads "1: FLOCK  ADVISORY  WRITE 1234 00:1a:5 0 EOF" (device in hex);
// lines of processes waiting for a lock carry "->" and are skipped.
int LockHolderPid(dev_t dev, ino_t ino) {
  std::FILE* f = std::fopen("/proc/locks", "re");
  if (!f) return 0;
  int found = 0;
  char line[256];
  while (!found && std::fgets(line, sizeof line, f)) {
    if (std::strstr(line, "->")) continue;
    char type[16], mode[16], access[16];
    int pid = 0;
    unsigned maj = 0, min = 0;
    unsigned long long inode = 0;
    if (std::sscanf(line, "%*d: %15s %15s %15s %d %x:%x:%llu", type, mode, access, &pid, &maj, &min, &inode) == 7 &&
        pid > 0 && maj == major(dev) && min == minor(dev) && inode == static_cast<unsigned long long>(ino))
      found = pid;
  }
  std::fclose(f);
  return found;
}

// Another process that has the device `rdev` open (a program that takes a
// terminal with TIOCEXCL but no lock, or a USB printer's other user).
int OpenerPid(dev_t rdev) {
  DIR* proc = opendir("/proc");
  if (!proc) return 0;
  const int self = getpid();
  int found = 0;
  while (!found) {
    const dirent* e = readdir(proc);
    if (!e) break;
    char* end = nullptr;
    const long pid = std::strtol(e->d_name, &end, 10);
    if (*end || pid <= 0 || pid == self) continue;
    const std::string dir = std::string("/proc/") + e->d_name + "/fd";
    DIR* fds = opendir(dir.c_str());
    if (!fds) continue;  // another user's process
    while (const dirent* fd = readdir(fds)) {
      struct stat st{};
      if (fd->d_name[0] != '.' && stat((dir + "/" + fd->d_name).c_str(), &st) == 0 && S_ISCHR(st.st_mode) &&
          st.st_rdev == rdev) {
        found = static_cast<int>(pid);
        break;
      }
    }
    closedir(fds);
  }
  closedir(proc);
  return found;
}

// The port is in use; `st` describes the device.
OpenResult RefuseBusy(const struct stat& st) {
  OpenResult r = Refused(PortFault::Busy, EBUSY);
  int pid = LockHolderPid(st.st_dev, st.st_ino);
  if (pid == 0) pid = OpenerPid(st.st_rdev);
  if (pid > 0) r.holder = PortHolder{pid, CommandName(pid)};
  return r;
}

OpenResult RefuseNotADevice(mode_t mode) {
  OpenResult r = Refused(PortFault::NotADevice, ENODEV);
  r.pathKind = KindOfMode(mode);
  return r;
}

OpenResult OpenTcp(const std::string& text, const LinkOptions& options) {
  const std::optional<TcpAddress> address = ParseTcpAddress(text);
  if (!address)
    return Refused(PortFault::OpenFailed, EINVAL,
                   text + ": not a device path nor a network address (HOST, HOST:PORT, tcp://HOST:PORT)");
  const TcpConnectResult c = ConnectTcp(*address, [] { CallPortPump(); });
  if (c.fd < 0) return Refused(PortFault::OpenFailed, c.err, TcpAddressText(*address) + ": " + c.reason);
  OpenResult r;
  r.link = posix::MakeTcpLink(c.fd, options.serialMode, options.timing);
  return r;
}

}  // namespace

namespace {

OpenResult OpenAny(const std::string& portText, const LinkOptions& options) {
  if (portText.empty()) return Refused(PortFault::OpenFailed, ENOENT);
  if (LooksLikeTcpAddress(portText)) return OpenTcp(portText, options);
  // Only a character device is a port. A file, folder, pipe or socket at the
  // path is refused before it is opened: nothing is written to it and a
  // pipe's reader is not woken. Links are followed (the simulator's port is
  // a link to a pseudo-terminal).
  struct stat st{};
  const bool named = ::stat(portText.c_str(), &st) == 0;
  if (named && !S_ISCHR(st.st_mode)) return RefuseNotADevice(st.st_mode);
  const int fd = ::open(portText.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    // A terminal another program holds with TIOCEXCL, or a USB printer node
    // that has its one opener.
    if (errno == EBUSY && named) return RefuseBusy(st);
    return Refused(PortFault::OpenFailed, errno);
  }
  // What counts is what was opened, not what the path named a moment ago.
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    return Refused(PortFault::OpenFailed, err);
  }
  if (!S_ISCHR(st.st_mode)) {
    ::close(fd);
    return RefuseNotADevice(st.st_mode);
  }
  // The advisory lock is what every instance of the tool checks; a device
  // that takes no locks at all is used without one.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    ::close(fd);
    return RefuseBusy(st);
  }
  OpenResult r;
  r.link = isatty(fd) == 1 ? posix::MakeTerminalLink(fd, options.serialMode, options.timing)
                           : posix::MakeUsbPrinterLink(fd, options.serialMode, options.timing);
  return r;
}

}  // namespace

OpenResult OpenLink(const std::string& portText, const LinkOptions& options) {
  OpenResult r = OpenAny(portText, options);
  if (r.link && options.firstByte) {
    ReplyTiming t = r.link->Timing();
    t.firstByte = *options.firstByte;
    r.link->SetTiming(t);
  }
  if (r.link && options.writeAllowance) r.link->SetWriteAllowance(*options.writeAllowance);
  return r;
}

std::string OpenResult::ErrorText() const {
  if (fault == PortFault::Busy) {
    if (!holder) return "in use by another program";
    return "in use by PID " + std::to_string(holder->pid) + (holder->name.empty() ? "" : " (" + holder->name + ")");
  }
  if (fault == PortFault::NotADevice) {
    switch (pathKind) {
      case PathKind::RegularFile: return "not a device (a regular file)";
      case PathKind::Directory: return "not a device (a directory)";
      case PathKind::Fifo: return "not a device (a FIFO)";
      case PathKind::Socket: return "not a device (a socket)";
      case PathKind::BlockDevice: return "not a device (a block device)";
      case PathKind::Device:
      case PathKind::Other: break;
    }
    return "not a device";
  }
  if (!detail.empty()) return detail;
  return err ? std::strerror(err) : std::string();
}

bool OpenResult::WasPermission() const { return err == EACCES || err == EPERM; }

}  // namespace deveder
