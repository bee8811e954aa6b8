// Port layer over non-blocking descriptors and poll().
//
// A started write or read is a record of the buffer and the bytes moved so
// far; polling moves more bytes when the descriptor is ready. Nothing is ever
// pending in the kernel on our behalf, so closing needs no cancel: bytes that
// arrive after a read gave up stay queued for the next read.
#include "link/port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

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
  PortHandle open = kInvalidPortHandle;
  bool isTty = false;
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

std::uint32_t TtyBaud(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return 0;
  switch (cfgetospeed(&t)) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B460800: return 460800;
    case B921600: return 921600;
    default: return 0;
  }
}

bool BaudToSpeed(std::uint32_t baud, speed_t& out) {
  switch (baud) {
    case 1200: out = B1200; return true;
    case 2400: out = B2400; return true;
    case 4800: out = B4800; return true;
    case 9600: out = B9600; return true;
    case 19200: out = B19200; return true;
    case 38400: out = B38400; return true;
    case 57600: out = B57600; return true;
    case 115200: out = B115200; return true;
    case 230400: out = B230400; return true;
    case 460800: out = B460800; return true;
    case 921600: out = B921600; return true;
    default: return false;
  }
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

// Moves what the descriptor takes now. Returns false on a device failure.
bool WriteSome(int fd, IoRecord& w) {
  while (w.done < w.length) {
    ssize_t n = ::write(fd, w.out + w.done, static_cast<size_t>(w.length - w.done));
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
// On a tty, read() == 0 after readiness is a hang-up.
int ReadSome(int fd, char* buf, int cap) {
  ssize_t n = ::read(fd, buf, static_cast<size_t>(cap));
  if (n > 0) {
    if (State().trace) State().trace(false, buf, static_cast<int>(n));
    return static_cast<int>(n);
  }
  if (n < 0 && IsTransient(errno)) return 0;
  SetFault(PortFault::DeviceFailure, n < 0 ? errno : EIO);
  return -1;
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
std::string PortLastErrorText() { return State().lastErrno ? std::strerror(State().lastErrno) : std::string(); }
bool PortLastErrorWasPermission() { return State().lastErrno == EACCES || State().lastErrno == EPERM; }

PortHandle OpenPrinterPort(const std::string& path) {
  SetFault(PortFault::None);
  if (path.empty()) {
    SetFault(PortFault::OpenFailed, ENOENT);
    return kInvalidPortHandle;
  }
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    SetFault(PortFault::OpenFailed, errno);
    return kInvalidPortHandle;
  }
  PortState& s = State();
  s.open = fd;
  s.write = IoRecord{};
  s.read = IoRecord{};
  s.isTty = isatty(fd) == 1;
  if (s.isTty) {
    // A serial port keeps the rate and framing it has; what a fresh tty adds
    // on top (echo, line editing, CR/LF translation, XON/XOFF) would corrupt
    // printer traffic, so the line is made raw.
    termios t{};
    if (tcgetattr(fd, &t) == 0) {
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
  ::close(handle);
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
  if (State().serialFlag) SleepMs(5);
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
  PortState& s = State();
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
  // On a serial line a reply burst may come in pieces: gather until the line
  // has been silent for the inter-byte gap. A USB printer hands over one
  // transfer per read.
  if (s.serialFlag && s.isTty) {
    while (n < capacity) {
      int more = WaitReady(handle, POLLIN, kSerialInterByteGapMs, false);
      if (more <= 0) break;
      int m = ReadSome(handle, buf + n, capacity - n);
      if (m <= 0) break;  // a failure after data: report the data; the next read sees it
      n += m;
    }
  }
  return n;
}

int PortReadReply(PortHandle handle, void* buffer, int capacity) {
  int r = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    r = PortReadOnce(handle, buffer, capacity, 100);
    if (r < 0) return 0;
    if (r > 0) return r;
  }
  return r;
}

int PortReadToNul(PortHandle handle, void* buffer) {
  char* buf = static_cast<char*>(buffer);
  int total = 0;
  int tries = 100;
  while (total < 4096) {
    int r = PortReadOnce(handle, buf + total, 4096 - total, 100);
    if (r > 0) {
      total += r;
      if (buf[total - 1] == '\0') break;
      continue;
    }
    if (r < 0) break;
    if (--tries == 0) break;
  }
  return total;
}

namespace {

// True while the device is still there (no hang-up or error pending).
bool LineUp(PortHandle handle) {
  pollfd p{handle, 0, 0};
  if (poll(&p, 1, 0) < 0) return errno == EINTR;
  return !(p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

}  // namespace

void PortCancelWrite(PortHandle handle) {
  PortState& s = State();
  if (handle >= 0 && s.open == handle) s.write.active = false;
}

bool PortDrainOutput(PortHandle handle, int timeoutMs) {
  if (handle < 0) return false;
  SetFault(PortFault::None);
  if (!State().isTty) {
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
  s.write = IoRecord{};
  s.read = IoRecord{};
  ::close(handle);
  if (s.open == handle) s.open = kInvalidPortHandle;
}

// Kept apart from the operations above: the reasons shown to the user tell
// the causes of a failed open apart by the errno.
int PortLastErrorNumber() { return State().lastErrno; }

}  // namespace deveder
