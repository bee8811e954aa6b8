// Port layer over non-blocking descriptors and poll().
//
// A started write or read is a record of the buffer and the bytes moved so
// far; polling moves more bytes when the descriptor is ready. Nothing is ever
// pending in the kernel on our behalf, so closing needs no cancel. Bytes that
// arrive after a reply wait gave up stay queued until the next request
// discards them (PortDiscardInput).
#include "link/port.h"

#include <sys/socket.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "link/tcp_connect.h"

namespace deveder {

namespace {

using Clock = std::chrono::steady_clock;

// One started operation: the caller's buffer and how far it got.
struct IoRecord {
  bool active = false;
  const char* out = nullptr;  // write source
  char* in = nullptr;         // read destination
  int length = 0;
  int done = 0;
};

// The process-wide port state: one port is open at a time.
struct PortState {
  bool serialFlag = false;
  std::function<void()> pump;
  std::function<void(bool, const char*, int)> trace;
  PortFault lastFault = PortFault::None;
  int lastErrno = 0;
  // Why the last open was refused, beyond the OS error.
  std::optional<PortHolder> holder;
  PathKind pathKind = PathKind::Device;
  PortHandle open = kInvalidPortHandle;
  bool isTty = false;
  bool isSocket = false;  // a network printer's TCP connection
  std::string lastDetail;  // what the OS error alone does not say
  // A terminal's line settings as found, given back when it closes.
  termios saved{};
  bool savedValid = false;
  // When the last PortWrite completed, and how long its bytes take on the
  // line from there: reply waits count from the sum.
  Clock::time_point sentAt{};
  long long sentLineUs = 0;
  IoRecord write;
  IoRecord read;
};

PortState& State() {
  static PortState state;
  return state;
}

void SetFault(PortFault fault, int err = 0) {
  State().lastFault = fault;
  State().lastErrno = err;
  State().lastDetail.clear();
}

// Errors that mean the device went away (unplugged, switched off). EAGAIN
// and EINTR are not failures; everything else counts as a device failure
// too, because a printer port that refuses I/O cannot carry the action on.
bool IsTransient(int err) { return err == EAGAIN || err == EWOULDBLOCK || err == EINTR; }

int RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

void SleepMs(int ms) {
  timespec ts{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

// The line speeds a serial port is set to and read back at, with their
// termios codes: one table for both directions.
struct LineSpeed {
  std::uint32_t baud;
  speed_t code;
};
constexpr LineSpeed kLineSpeeds[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
    {230400, B230400}, {460800, B460800}, {921600, B921600},
};

std::uint32_t TtyBaud(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return 0;
  const speed_t code = cfgetospeed(&t);
  for (const LineSpeed& s : kLineSpeeds)
    if (s.code == code) return s.baud;
  return 0;
}

bool BaudToSpeed(std::uint32_t baud, speed_t& out) {
  for (const LineSpeed& s : kLineSpeeds) {
    if (s.baud == baud) {
      out = s.code;
      return true;
    }
  }
  return false;
}

// Waits up to `ms` for `events`; calls the pump between slices when asked.
// Returns the revents seen, 0 on time-out, -1 on a poll error.
int WaitReady(int fd, short events, int ms, bool pump) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  while (true) {
    // poll() counts whole milliseconds: round the rest of the wait up, or
    // its last fraction of a millisecond would spin.
    int slice = RemainingMs(deadline + std::chrono::microseconds(999));
    if (pump && State().pump) slice = std::min(slice, 2);
    pollfd p{fd, events, 0};
    int r = poll(&p, 1, slice);
    if (r > 0) return p.revents;
    if (r < 0 && errno != EINTR) return -1;
    if (Clock::now() >= deadline) return 0;
    if (pump) CallPortPump();
  }
}

// How long `length` bytes take on a terminal's line at its speed (start
// bit, 8 data bits, stop bit); 0 where there is no line speed.
long long LineTimeUs(int fd, int length) {
  if (!State().isTty) return 0;
  const std::uint32_t baud = TtyBaud(fd);
  return baud == 0 ? 0 : static_cast<long long>(length) * 10'000'000LL / baud;
}

// Gives a terminal back the line settings it had when it was opened.
void RestoreLine(int fd) {
  PortState& s = State();
  if (s.isTty && s.savedValid) tcsetattr(fd, TCSANOW, &s.saved);
  s.savedValid = false;
}

// Moves what the descriptor takes now. Returns false on a device failure.
bool WriteSome(int fd, IoRecord& w) {
  while (w.done < w.length) {
    // A connection the printer closed must fail the write, not end the
    // program with SIGPIPE.
    const size_t len = static_cast<size_t>(w.length - w.done);
    ssize_t n = State().isSocket ? ::send(fd, w.out + w.done, len, MSG_NOSIGNAL) : ::write(fd, w.out + w.done, len);
    if (n > 0) {
      if (State().trace) State().trace(true, w.out + w.done, static_cast<int>(n));
      w.done += static_cast<int>(n);
      continue;
    }
    if (n < 0 && IsTransient(errno)) return true;
    SetFault(PortFault::DeviceFailure, n < 0 ? errno : EIO);
    return false;
  }
  return true;
}

// Reads what is there now: >0 bytes, 0 nothing yet, -1 device failure.
// On a tty, read() == 0 after readiness is a hang-up. A USB printer
// completes a read with no bytes when it has nothing to say; it reports an
// unplug as ENODEV or EIO, or as POLLHUP.
int ReadSome(int fd, char* buf, int cap) {
  ssize_t n = ::read(fd, buf, static_cast<size_t>(cap));
  if (n > 0) {
    if (State().trace) State().trace(false, buf, static_cast<int>(n));
    return static_cast<int>(n);
  }
  if (n < 0 && IsTransient(errno)) return 0;
  // End of file is a hang-up on a terminal and a closed connection on a
  // network printer; a USB printer device reads empty.
  if (n == 0 && !State().isTty && !State().isSocket) return 0;
  SetFault(PortFault::DeviceFailure, n < 0 ? errno : EIO);
  return -1;
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

// Refuses an open: the port is in use. `st` describes the device.
PortHandle RefuseBusy(const struct stat& st) {
  SetFault(PortFault::Busy, EBUSY);
  int pid = LockHolderPid(st.st_dev, st.st_ino);
  if (pid == 0) pid = OpenerPid(st.st_rdev);
  if (pid > 0) State().holder = PortHolder{pid, CommandName(pid)};
  return kInvalidPortHandle;
}

PortHandle RefuseNotADevice(mode_t mode) {
  SetFault(PortFault::NotADevice, ENODEV);
  State().pathKind = KindOfMode(mode);
  return kInvalidPortHandle;
}

// Gives up a terminal's exclusive use and closes; the lock goes with the
// descriptor. A pty slave stays open in the simulator after the tool closes
// it, so the exclusive flag would outlive the tool's use if left set.
void CloseDevice(int fd) {
  if (isatty(fd)) ioctl(fd, TIOCNXCL);
  ::close(fd);
}

}  // namespace

void SetSerialPortFlag(bool serial) { State().serialFlag = serial; }
bool SerialPortFlag() { return State().serialFlag; }
void SetPortPumpHook(std::function<void()> pump) { State().pump = std::move(pump); }
void SetPortTraceHook(std::function<void(bool, const char*, int)> trace) { State().trace = std::move(trace); }
void CallPortPump() {
  if (State().pump) State().pump();
}
PortFault PortLastFault() { return State().lastFault; }

std::string PortLastErrorText() {
  const PortState& s = State();
  if (s.lastFault == PortFault::Busy) {
    if (!s.holder) return "in use by another program";
    return "in use by PID " + std::to_string(s.holder->pid) + (s.holder->name.empty() ? "" : " (" + s.holder->name + ")");
  }
  if (s.lastFault == PortFault::NotADevice) {
    switch (s.pathKind) {
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
  if (!s.lastDetail.empty()) return s.lastDetail;
  return s.lastErrno ? std::strerror(s.lastErrno) : std::string();
}

bool PortLastErrorWasPermission() { return State().lastErrno == EACCES || State().lastErrno == EPERM; }
bool PortLastErrorWasBusy() { return State().lastFault == PortFault::Busy; }
bool PortLastErrorWasNotADevice() { return State().lastFault == PortFault::NotADevice; }
std::optional<PortHolder> PortBusyHolder() {
  return State().lastFault == PortFault::Busy ? State().holder : std::nullopt;
}
PathKind PortLastPathKind() {
  return State().lastFault == PortFault::NotADevice ? State().pathKind : PathKind::Device;
}

namespace {

// A network printer: the path names its address.
PortHandle OpenTcpPort(const std::string& path) {
  const std::optional<TcpAddress> address = ParseTcpAddress(path);
  if (!address) {
    SetFault(PortFault::OpenFailed, EINVAL);
    State().lastDetail = path + ": not a device path nor a network address (HOST, HOST:PORT, tcp://HOST:PORT)";
    return kInvalidPortHandle;
  }
  const TcpConnectResult c = ConnectTcp(*address, State().pump);
  if (c.fd < 0) {
    SetFault(PortFault::OpenFailed, c.err);
    State().lastDetail = TcpAddressText(*address) + ": " + c.reason;
    return kInvalidPortHandle;
  }
  PortState& s = State();
  s.open = c.fd;
  s.write = IoRecord{};
  s.read = IoRecord{};
  s.isTty = false;
  s.isSocket = true;
  s.savedValid = false;
  s.sentAt = Clock::time_point{};
  s.sentLineUs = 0;
  return c.fd;
}

}  // namespace

PortHandle OpenPrinterPort(const std::string& path) {
  PortState& s = State();
  SetFault(PortFault::None);
  s.holder.reset();
  s.pathKind = PathKind::Device;
  if (path.empty()) {
    SetFault(PortFault::OpenFailed, ENOENT);
    return kInvalidPortHandle;
  }
  if (LooksLikeTcpAddress(path)) return OpenTcpPort(path);
  // Only a character device is a port. A file, folder, pipe or socket at the
  // path is refused before it is opened: nothing is written to it and a
  // pipe's reader is not woken. Links are followed (the simulator's port is
  // a link to a pseudo-terminal).
  struct stat st{};
  const bool named = ::stat(path.c_str(), &st) == 0;
  if (named && !S_ISCHR(st.st_mode)) return RefuseNotADevice(st.st_mode);
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    // A terminal another program holds with TIOCEXCL, or a USB printer node
    // that has its one opener.
    if (errno == EBUSY && named) return RefuseBusy(st);
    SetFault(PortFault::OpenFailed, errno);
    return kInvalidPortHandle;
  }
  // What counts is what was opened, not what the path named a moment ago.
  if (::fstat(fd, &st) != 0) {
    SetFault(PortFault::OpenFailed, errno);
    ::close(fd);
    return kInvalidPortHandle;
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
  s.open = fd;
  s.write = IoRecord{};
  s.read = IoRecord{};
  s.isTty = isatty(fd) == 1;
  s.isSocket = false;
  s.savedValid = false;
  s.sentAt = Clock::time_point{};
  s.sentLineUs = 0;
  if (s.isTty) {
    // Later opens of the terminal fail with EBUSY (for programs without the
    // lock too) until the port closes.
    ioctl(fd, TIOCEXCL);
    // A serial port keeps the rate and framing it has; what a fresh tty adds
    // on top (echo, line editing, CR/LF translation, XON/XOFF) would corrupt
    // printer traffic, so the line is made raw until the port closes.
    termios t{};
    if (tcgetattr(fd, &t) == 0) {
      s.saved = t;
      s.savedValid = true;
      t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF);
      t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
      t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
      t.c_cflag |= CREAD | CLOCAL;
      t.c_cc[VMIN] = 0;
      t.c_cc[VTIME] = 0;
      tcsetattr(fd, TCSANOW, &t);
    }
  }
  return fd;
}

bool ConfigureSerialPort(PortHandle& handle, std::uint32_t baud) {
  termios t{};
  speed_t speed{};
  bool ok = handle >= 0 && tcgetattr(handle, &t) == 0 && BaudToSpeed(baud, speed);
  if (ok) {
    // 8 data bits, no parity, one stop bit; the flow-control flags stay.
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    // Bytes still queued for the old speed leave before the change.
    PortDrainOutput(handle, 2000);
    ok = tcsetattr(handle, TCSANOW, &t) == 0;
  }
  if (ok) {
    termios back{};
    ok = tcgetattr(handle, &back) == 0 && cfgetospeed(&back) == speed && (back.c_cflag & CSIZE) == CS8 &&
         !(back.c_cflag & PARENB) && !(back.c_cflag & CSTOPB);
  }
  if (ok) {
    tcflush(handle, TCIOFLUSH);
    return true;
  }
  SetFault(PortFault::OtherError, errno ? errno : EINVAL);
  RestoreLine(handle);
  CloseDevice(handle);
  if (State().open == handle) State().open = kInvalidPortHandle;
  handle = kInvalidPortHandle;
  return false;
}

int PortWriteBoundMs(PortHandle handle, int length) {
  // A fixed allowance for a device that is busy, plus twice the time each
  // byte takes on the line (10 bits a byte), at least 2 ms a byte.
  int perByteUs = 2000;
  if (handle >= 0 && State().isTty) {
    std::uint32_t baud = TtyBaud(handle);
    if (baud > 0) perByteUs = std::max<int>(perByteUs, static_cast<int>(20'000'000LL / baud));
  }
  long long ms = 3000 + static_cast<long long>(length) * perByteUs / 1000;
  return static_cast<int>(std::min<long long>(ms, 1 << 30));
}

bool PortStartWrite(PortHandle handle, const void* bytes, int length) {
  PortState& s = State();
  if (handle < 0 || length < 0) {
    SetFault(PortFault::OtherError, EBADF);
    return false;
  }
  s.write = IoRecord{true, static_cast<const char*>(bytes), nullptr, length, 0};
  if (!WriteSome(handle, s.write)) {
    s.write.active = false;
    return false;
  }
  return true;
}

IoState PortPollWrite(PortHandle handle, int waitMs, int* transferred) {
  PortState& s = State();
  IoRecord& w = s.write;
  if (transferred) *transferred = w.done;
  if (!w.active) return w.done == w.length ? IoState::Completed : IoState::Failed;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(waitMs, 0));
  while (true) {
    if (w.done < w.length) {
      int r = WaitReady(handle, POLLOUT, RemainingMs(deadline), false);
      if (r < 0 || (r & (POLLERR | POLLHUP | POLLNVAL))) {
        SetFault(PortFault::DeviceFailure, r < 0 ? errno : EIO);
        w.active = false;
        return IoState::Failed;
      }
      if (r & POLLOUT) {
        if (!WriteSome(handle, w)) {
          w.active = false;
          if (transferred) *transferred = w.done;
          return IoState::Failed;
        }
      }
    }
    if (transferred) *transferred = w.done;
    if (w.done == w.length) {
      // A USB printer takes a write when it is submitted; it has gone out
      // when the device is writable again.
      if (!s.isTty) {
        int r = WaitReady(handle, POLLOUT, RemainingMs(deadline), false);
        if (r < 0 || (r & (POLLERR | POLLHUP | POLLNVAL))) {
          SetFault(PortFault::DeviceFailure, EIO);
          w.active = false;
          return IoState::Failed;
        }
        if (!(r & POLLOUT)) return IoState::Pending;
      }
      w.active = false;
      return IoState::Completed;
    }
    if (Clock::now() >= deadline) return IoState::Pending;
  }
}

int PortWrite(PortHandle handle, const void* bytes, int length) {
  SetFault(PortFault::None);
  if (!PortStartWrite(handle, bytes, length)) return -1;
  const auto deadline = Clock::now() + std::chrono::milliseconds(PortWriteBoundMs(handle, length));
  while (true) {
    IoState st = PortPollWrite(handle, std::max(1, RemainingMs(deadline)), nullptr);
    if (st == IoState::Completed) break;
    if (st == IoState::Failed) return -1;
    if (Clock::now() >= deadline) {
      // The device stopped taking bytes: give up rather than wait for ever.
      State().write.active = false;
      SetFault(PortFault::TimedOut, ETIMEDOUT);
      return -1;
    }
  }
  PortState& s = State();
  s.sentAt = Clock::now();
  s.sentLineUs = LineTimeUs(handle, length);
  if (s.serialFlag) SleepMs(5);
  return 0;
}

bool PortStartRead(PortHandle handle, void* buffer, int capacity) {
  if (handle < 0 || capacity <= 0) {
    SetFault(PortFault::OtherError, EBADF);
    return false;
  }
  State().read = IoRecord{true, nullptr, static_cast<char*>(buffer), capacity, 0};
  return true;
}

IoState PortPollRead(PortHandle handle, int waitMs, int* transferred) {
  PortState& s = State();
  IoRecord& r = s.read;
  if (transferred) *transferred = r.done;
  if (!r.active) return IoState::Failed;
  int ev = WaitReady(handle, POLLIN, std::max(waitMs, 0), false);
  if (ev < 0) {
    SetFault(PortFault::DeviceFailure, errno);
    r.active = false;
    return IoState::Failed;
  }
  if (ev & (POLLIN | POLLHUP | POLLERR)) {
    int n = ReadSome(handle, r.in + r.done, r.length - r.done);
    if (n < 0 || (n == 0 && (ev & (POLLHUP | POLLERR)))) {
      if (n == 0) SetFault(PortFault::DeviceFailure, EIO);
      r.active = false;
      return IoState::Failed;
    }
    r.done += n;
  }
  if (transferred) *transferred = r.done;
  if (r.done > 0) {
    r.active = false;
    return IoState::Completed;
  }
  return IoState::Pending;
}

int PortReadOnce(PortHandle handle, void* buffer, int capacity, int budget) {
  SetFault(PortFault::None);
  if (handle < 0 || capacity <= 0) {
    SetFault(PortFault::OtherError, EBADF);
    return -1;
  }
  char* buf = static_cast<char*>(buffer);
  const int waitMs = budget > 0 ? budget : kLongestReadWaitMs;
  int ev = WaitReady(handle, POLLIN, waitMs, true);
  if (ev == 0) {
    SetFault(PortFault::TimedOut, ETIMEDOUT);
    return -1;
  }
  if (ev < 0) {
    SetFault(PortFault::DeviceFailure, errno);
    return -1;
  }
  int n = ReadSome(handle, buf, capacity);
  if (n < 0) return -1;
  if (n == 0) {
    if (ev & (POLLHUP | POLLERR | POLLNVAL)) {
      SetFault(PortFault::DeviceFailure, EIO);
      return -1;
    }
    // Readiness without data and without failure: the read completed empty.
    return 0;
  }
  return n;
}

namespace {

// Waits until `deadline` for input on `fd`, to the microsecond; calls the
// pump between slices of at most 2 ms when asked. Returns the revents seen,
// 0 when the deadline passed, -1 on a poll error.
int WaitInputUntil(int fd, Clock::time_point deadline, bool pump) {
  while (true) {
    long long leftUs = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
    if (leftUs < 0) leftUs = 0;
    if (pump && State().pump) leftUs = std::min<long long>(leftUs, 2000);
    timespec ts{static_cast<time_t>(leftUs / 1000000), static_cast<long>(leftUs % 1000000) * 1000L};
    pollfd p{fd, POLLIN, 0};
    const int r = ppoll(&p, 1, &ts, nullptr);
    if (r > 0) return p.revents;
    if (r < 0 && errno != EINTR) return -1;
    if (Clock::now() >= deadline) return 0;
    if (pump) CallPortPump();
  }
}

// Silence that ends a reply on this port.
std::chrono::microseconds ReplyGap() {
  // A TCP stream delivers a reply in the pieces the printer's network module
  // made of it, as a USB-serial adapter does.
  const PortState& s = State();
  return std::chrono::microseconds((s.serialFlag && s.isTty) || s.isSocket ? kSerialReplyGapUs : kUsbReplyGapUs);
}

// Gathers one reply (see the reply timing in port.h). Returns the bytes
// gathered; the fault says whether the wait ended in silence or in a loss.
int GatherReply(PortHandle handle, char* buf, int cap, int waitMs, bool endAtNul) {
  SetFault(PortFault::None);
  if (handle < 0 || cap <= 0) {
    SetFault(PortFault::OtherError, EBADF);
    return 0;
  }
  PortState& s = State();
  // The wait counts from when the request has left the line.
  const auto left = s.sentAt == Clock::time_point{} ? Clock::now()
                                                     : s.sentAt + std::chrono::microseconds(s.sentLineUs);
  const auto firstDeadline = std::max(left + std::chrono::milliseconds(waitMs), Clock::now());
  // An answer that ends with a NUL is complete with it; until the NUL has
  // come, a pause as long as a whole reply wait of the original tool's
  // (100 ms) does not end it.
  const auto gap = endAtNul ? std::max<std::chrono::microseconds>(ReplyGap(), std::chrono::milliseconds(100)) : ReplyGap();
  int total = 0;
  Clock::time_point cutOff{};
  Clock::time_point lastByte{};
  while (total < cap) {
    const bool first = total == 0;
    const auto deadline = first ? firstDeadline : std::min(lastByte + gap, cutOff);
    const int ev = WaitInputUntil(handle, deadline, true);
    if (ev < 0) {
      SetFault(PortFault::DeviceFailure, errno);
      return total;
    }
    if (ev == 0) {
      if (first) SetFault(PortFault::TimedOut, ETIMEDOUT);
      return total;  // silence: the reply (if any) is complete
    }
    const int n = ReadSome(handle, buf + total, cap - total);
    if (n < 0) return total;
    if (n == 0) {
      if (ev & (POLLHUP | POLLERR | POLLNVAL)) {
        SetFault(PortFault::DeviceFailure, EIO);
        return total;
      }
      // A USB printer's read completed empty: nothing yet.
      if (Clock::now() >= deadline) {
        if (first) SetFault(PortFault::TimedOut, ETIMEDOUT);
        return total;
      }
      SleepMs(1);
      continue;
    }
    lastByte = Clock::now();
    if (first) cutOff = lastByte + std::chrono::milliseconds(kReplyLongestMs);
    total += n;
    if (endAtNul && buf[total - 1] == '\0') break;
    if (lastByte >= cutOff) break;
  }
  return total;
}

}  // namespace

int PortReadReply(PortHandle handle, void* buffer, int capacity) {
  return GatherReply(handle, static_cast<char*>(buffer), capacity, kReplyWaitMs, false);
}

int PortReadToNul(PortHandle handle, void* buffer) {
  return GatherReply(handle, static_cast<char*>(buffer), 4096, kReplyWaitMs, true);
}

int PortReadReplyWithin(PortHandle handle, void* buffer, int capacity, int waitMs, bool endAtNul) {
  return GatherReply(handle, static_cast<char*>(buffer), capacity, waitMs, endAtNul);
}

int PortDiscardInput(PortHandle handle) {
  SetFault(PortFault::None);
  if (handle < 0) {
    SetFault(PortFault::OtherError, EBADF);
    return -1;
  }
  char sink[4096];
  int discarded = 0;
  // Bounded: a printer that never stops sending is dealt with by the reply
  // wait that follows, which cuts a reply off.
  for (int reads = 0; reads < 256; ++reads) {
    pollfd p{handle, POLLIN, 0};
    if (poll(&p, 1, 0) < 0) {
      if (errno == EINTR) continue;
      SetFault(PortFault::DeviceFailure, errno);
      return -1;
    }
    if (!(p.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL))) break;
    const int n = ReadSome(handle, sink, sizeof sink);
    if (n < 0) return -1;
    if (n == 0) {
      if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
        SetFault(PortFault::DeviceFailure, EIO);
        return -1;
      }
      break;
    }
    discarded += n;
  }
  return discarded;
}

namespace {

// True while the device is still there (no hang-up or error pending).
bool LineUp(PortHandle handle) {
  pollfd p{handle, static_cast<short>(State().isSocket ? POLLRDHUP : 0), 0};
  if (poll(&p, 1, 0) < 0) return errno == EINTR;
  return !(p.revents & (POLLHUP | POLLERR | POLLNVAL | POLLRDHUP));
}

}  // namespace

void PortCancelWrite(PortHandle handle) {
  PortState& s = State();
  if (handle >= 0 && s.open == handle) s.write.active = false;
}

bool PortDrainOutput(PortHandle handle, int timeoutMs) {
  if (handle < 0) return false;
  SetFault(PortFault::None);
  // A terminal's output queue, or a connection's bytes the printer has not
  // acknowledged, are watched until empty; a USB printer has taken a write
  // once it is writable again.
  if (!State().isTty && !State().isSocket) {
    const int r = WaitReady(handle, POLLOUT, timeoutMs, false);
    if (r > 0 && !(r & (POLLHUP | POLLERR | POLLNVAL))) return true;
    SetFault(r == 0 ? PortFault::TimedOut : PortFault::DeviceFailure, r == 0 ? ETIMEDOUT : EIO);
    return false;
  }
  // tcdrain() could block for ever on a stalled line; watch the output
  // queue instead, with a bound. A hang-up empties the queue without
  // sending it, so the line is checked as well.
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    int queued = 0;
    if (ioctl(handle, TIOCOUTQ, &queued) != 0 || !LineUp(handle)) {
      SetFault(PortFault::DeviceFailure, EIO);
      return false;
    }
    if (queued <= 0) return true;
    if (Clock::now() >= deadline) {
      SetFault(PortFault::TimedOut, ETIMEDOUT);
      return false;
    }
    SleepMs(1);
  }
}

bool PortConfirmOutput(PortHandle handle) {
  return PortDrainOutput(handle, PortWriteBoundMs(handle, kConfirmOutputBytes));
}

void ClosePrinterPort(PortHandle handle) {
  if (handle < 0) return;
  PortState& s = State();
  // Bytes of a started write that the descriptor has not taken yet are
  // pushed out first (bounded), then the device's own queue drains.
  if (s.write.active && s.open == handle) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(PortWriteBoundMs(handle, s.write.length - s.write.done));
    while (s.write.active && Clock::now() < deadline) {
      if (PortPollWrite(handle, RemainingMs(deadline), nullptr) != IoState::Pending) break;
    }
  }
  PortDrainOutput(handle, 2000);
  if (s.open == handle) RestoreLine(handle);
  s.isSocket = false;
  s.write = IoRecord{};
  s.read = IoRecord{};
  CloseDevice(handle);
  if (s.open == handle) s.open = kInvalidPortHandle;
}

PortHandle OpenPortHandle() { return State().open; }

// Kept apart from the operations above: the reasons shown to the user tell
// the causes of a failed open apart by the errno.
int PortLastErrorNumber() { return State().lastErrno; }

}  // namespace deveder
