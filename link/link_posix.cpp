// What every link does the same way over a non-blocking descriptor and
// poll(): bounded writes, reply gathering, discarding stale input.
//
// Nothing is ever pending in the kernel on our behalf once a call returns,
// so closing needs no cancel. Bytes that arrive after a reply wait gave up
// stay queued until the next request discards them.
#include "link/link_posix.h"

#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "link/port_hooks.h"

namespace deveder {

using Clock = Deadline::Clock;
using std::chrono::duration_cast;

namespace {

// A USB printer whose read completed empty is asked again after this pause.
constexpr microseconds kEmptyReadPause{1000};
// A drain watches the output queue this often.
constexpr microseconds kQueueWatchPause{1000};

void Pause(microseconds span) {
  timespec ts{static_cast<time_t>(span.count() / 1000000), static_cast<long>(span.count() % 1000000) * 1000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

IoResult Failed(PortFault fault, int err, int bytes = 0) { return IoResult{bytes, fault, err}; }

}  // namespace

namespace posix {

bool IsTransient(int err) { return err == EAGAIN || err == EWOULDBLOCK || err == EINTR; }

int WaitFor(int fd, short events, Deadline deadline, bool pump) {
  const bool pumping = pump && HasPortPump();
  const bool stoppable = HasPortStopHook();
  while (true) {
    if (stoppable && PortStopRequested()) return kWaitStopped;
    auto left = duration_cast<microseconds>(deadline.Left());
    if (pumping) left = std::min<microseconds>(left, kPumpSlice);
    if (stoppable) left = std::min<microseconds>(left, kStopSlice);
    timespec ts{static_cast<time_t>(left.count() / 1000000), static_cast<long>(left.count() % 1000000) * 1000L};
    pollfd p{fd, events, 0};
    const int r = ppoll(&p, 1, &ts, nullptr);
    if (r > 0) return p.revents;
    if (r < 0 && errno != EINTR) return kWaitFailed;
    if (deadline.Passed()) return 0;
    if (pumping) CallPortPump();
  }
}

}  // namespace posix

using posix::kWaitFailed;
using posix::kWaitStopped;
using posix::WaitFor;

ReplyTiming DefaultReplyTiming(LinkKind kind, bool serialMode) {
  const microseconds silence = kind == LinkKind::Tcp                      ? kTcpReplySilence
                               : kind == LinkKind::Terminal && serialMode ? kSerialReplySilence
                                                                          : kUsbReplySilence;
  return ReplyTiming{kReplyFirstByteWait, silence, kNulReplySilence, kReplyLongest};
}

Link::Link(int fd, LinkKind kind, bool serialMode, const ReplyTiming& timing)
    : fd_(fd), kind_(kind), serialMode_(serialMode), timing_(timing) {}

Link::~Link() {
  if (fd_ >= 0) ::close(fd_);
}

void Link::Shutdown() {
  if (fd_ < 0) return;
  const bool drained = DrainOutput(Deadline::After(kDrainBeforeClose)).ok();
  Release(drained);
  fd_ = -1;
}

void Link::Release(bool drained) {
  (void)drained;
  ::close(fd_);
}

long Link::SendSome(const char* bytes, std::size_t length) { return static_cast<long>(::write(fd_, bytes, length)); }

milliseconds Link::WriteBound(int length) const {
  // Twice the time a byte takes on the line (10 bits a byte).
  long long perByteUs = kWriteLeastPerByte.count();
  if (const std::uint32_t baud = LineSpeed(); baud > 0) perByteUs = std::max<long long>(perByteUs, 20'000'000LL / baud);
  const long long ms = writeAllowance_.count() + static_cast<long long>(std::max(length, 0)) * perByteUs / 1000;
  return milliseconds(std::min<long long>(ms, 1LL << 30));
}

IoResult Link::Write(const void* bytes, int length, const WriteOptions& options) {
  if (fd_ < 0 || length < 0) return Failed(PortFault::OtherError, EBADF);
  const Deadline bound = options.bound.value_or(Deadline::After(WriteBound(length)));
  const char* p = static_cast<const char*>(bytes);
  IoResult r;
  while (r.bytes < length) {
    const long n = SendSome(p + r.bytes, static_cast<std::size_t>(length - r.bytes));
    if (n > 0) {
      TracePort(true, p + r.bytes, static_cast<int>(n));
      r.bytes += static_cast<int>(n);
      if (options.progress) options.progress(r.bytes);
      continue;
    }
    if (n < 0 && !posix::IsTransient(errno)) return Failed(PortFault::DeviceFailure, errno, r.bytes);
    const int ev = WaitFor(fd_, POLLOUT, bound, options.pump);
    if (ev == kWaitStopped) return Failed(PortFault::Stopped, EINTR, r.bytes);
    // The device stopped taking bytes: give up rather than wait for ever.
    if (ev == 0) return Failed(PortFault::TimedOut, ETIMEDOUT, r.bytes);
    if (ev < 0 || (ev & (POLLERR | POLLHUP | POLLNVAL))) return Failed(PortFault::DeviceFailure, ev < 0 ? errno : EIO, r.bytes);
  }
  IoResult sent = AwaitSent(bound);
  if (!sent.ok()) return Failed(sent.fault, sent.err, r.bytes);
  sentAt_ = Clock::now();
  sentLine_ = LineTime(length);
  return r;
}

IoResult Link::SendLine(const std::string& line) {
  const IoResult r = Write(line.data(), static_cast<int>(line.size()));
  if (r.ok() && serialMode_) Pause(kSerialLinePause);
  return r;
}

IoResult Link::WriteNow(const void* bytes, int length) {
  if (fd_ < 0 || length < 0) return Failed(PortFault::OtherError, EBADF);
  if (PortStopRequested()) return Failed(PortFault::Stopped, EINTR);
  const char* p = static_cast<const char*>(bytes);
  IoResult r;
  while (r.bytes < length) {
    const long n = SendSome(p + r.bytes, static_cast<std::size_t>(length - r.bytes));
    if (n > 0) {
      TracePort(true, p + r.bytes, static_cast<int>(n));
      r.bytes += static_cast<int>(n);
      continue;
    }
    if (n < 0 && posix::IsTransient(errno)) break;
    return Failed(PortFault::DeviceFailure, n < 0 ? errno : EIO, r.bytes);
  }
  return r;
}

int Link::ReadSome(char* buffer, int capacity, IoResult& fault) {
  const ssize_t n = ::read(fd_, buffer, static_cast<size_t>(capacity));
  if (n > 0) {
    AfterRead();
    TracePort(false, buffer, static_cast<int>(n));
    return static_cast<int>(n);
  }
  if (n < 0 && posix::IsTransient(errno)) return 0;
  if (n == 0 && !EmptyReadIsLoss()) return 0;
  fault.fault = PortFault::DeviceFailure;
  fault.err = n < 0 ? errno : EIO;
  return -1;
}

IoResult Link::ReadNow(void* buffer, int capacity, milliseconds wait, bool pump) {
  if (fd_ < 0 || capacity <= 0) return Failed(PortFault::OtherError, EBADF);
  const int ev = WaitFor(fd_, POLLIN, Deadline::After(wait), pump);
  if (ev == kWaitStopped) return Failed(PortFault::Stopped, EINTR);
  if (ev == kWaitFailed) return Failed(PortFault::DeviceFailure, errno);
  if (ev == 0) return Failed(PortFault::TimedOut, ETIMEDOUT);
  IoResult r;
  const int n = ReadSome(static_cast<char*>(buffer), capacity, r);
  if (n < 0) return r;
  // Readiness without data: a hang-up, or a read that completed empty.
  if (n == 0 && (ev & (POLLHUP | POLLERR | POLLNVAL))) return Failed(PortFault::DeviceFailure, EIO);
  r.bytes = n;
  return r;
}

IoResult Link::ReadBy(void* buffer, int capacity, Deadline until) {
  while (true) {
    const IoResult r = ReadNow(buffer, capacity, milliseconds(until.MsLeft()));
    if (r.bytes > 0 || !r.ok()) return r;
    if (until.Passed()) return Failed(PortFault::TimedOut, ETIMEDOUT);
    Pause(kEmptyReadPause);
  }
}

Deadline Link::ReplyDeadline(microseconds firstByte) const {
  const auto now = Clock::now();
  const auto left = sentAt_ == Clock::time_point{} ? now : sentAt_ + sentLine_;
  return Deadline::At(std::max(left + firstByte, now));
}

IoResult Link::ReadReply(void* buffer, int capacity, const ReplyTiming& timing, bool endAtNul, bool pump) {
  if (fd_ < 0 || capacity <= 0) return Failed(PortFault::OtherError, EBADF);
  char* buf = static_cast<char*>(buffer);
  // The wait counts from when the request has left the line.
  const auto now = Clock::now();
  const auto left = sentAt_ == Clock::time_point{} ? now : sentAt_ + sentLine_;
  const Deadline first = Deadline::At(std::max(left + timing.firstByte, now));
  const microseconds gap = endAtNul ? std::max(timing.silence, timing.nulSilence) : timing.silence;
  IoResult r;
  Clock::time_point cutOff{};
  Clock::time_point lastByte{};
  while (r.bytes < capacity) {
    const bool firstByte = r.bytes == 0;
    const Deadline until = firstByte ? first : Deadline::At(std::min(lastByte + gap, cutOff));
    const int ev = WaitFor(fd_, POLLIN, until, pump);
    if (ev == kWaitStopped) return Failed(PortFault::Stopped, EINTR, r.bytes);
    if (ev == kWaitFailed) return Failed(PortFault::DeviceFailure, errno, r.bytes);
    // Silence: the reply (if any) is complete.
    if (ev == 0) return firstByte ? Failed(PortFault::TimedOut, ETIMEDOUT) : r;
    const int n = ReadSome(buf + r.bytes, capacity - r.bytes, r);
    if (n < 0) return r;
    if (n == 0) {
      if (ev & (POLLHUP | POLLERR | POLLNVAL)) return Failed(PortFault::DeviceFailure, EIO, r.bytes);
      // A USB printer's read completed empty: nothing yet.
      if (until.Passed()) return firstByte ? Failed(PortFault::TimedOut, ETIMEDOUT) : r;
      Pause(kEmptyReadPause);
      continue;
    }
    lastByte = Clock::now();
    if (firstByte) cutOff = lastByte + timing.longest;
    r.bytes += n;
    if (endAtNul && buf[r.bytes - 1] == '\0') break;
    if (lastByte >= cutOff) break;
  }
  return r;
}

IoResult Link::DiscardInput() {
  if (fd_ < 0) return Failed(PortFault::OtherError, EBADF);
  if (PortStopRequested()) return Failed(PortFault::Stopped, EINTR);
  char sink[4096];
  IoResult r;
  for (int reads = 0; reads < kDiscardReads; ++reads) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 0) < 0) {
      if (errno == EINTR) continue;
      return Failed(PortFault::DeviceFailure, errno, r.bytes);
    }
    if (!(p.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL))) break;
    const int n = ReadSome(sink, sizeof sink, r);
    if (n < 0) return r;
    if (n == 0) {
      if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) return Failed(PortFault::DeviceFailure, EIO, r.bytes);
      break;
    }
    r.bytes += n;
  }
  return r;
}

IoResult Link::AwaitQueueEmpty(Deadline bound) {
  // tcdrain() could block for ever on a stalled line; the output queue is
  // watched instead, with a bound. A hang-up empties the queue without
  // sending it, so the line is checked as well.
  while (true) {
    int queued = 0;
    pollfd p{fd_, HangupEvents(), 0};
    const bool up = poll(&p, 1, 0) >= 0 && !(p.revents & (POLLHUP | POLLERR | POLLNVAL | POLLRDHUP));
    if (ioctl(fd_, TIOCOUTQ, &queued) != 0 || !up) return Failed(PortFault::DeviceFailure, EIO);
    if (queued <= 0) return {};
    if (PortStopRequested()) return Failed(PortFault::Stopped, EINTR);
    if (bound.Passed()) return Failed(PortFault::TimedOut, ETIMEDOUT);
    Pause(kQueueWatchPause);
  }
}

IoResult Link::DrainOutput(Deadline bound) {
  if (fd_ < 0) return Failed(PortFault::OtherError, EBADF);
  return AwaitQueueEmpty(bound);
}

IoResult Link::ConfirmOutput() { return DrainOutput(Deadline::After(WriteBound(kConfirmOutputBytes))); }

IoResult Link::Configure(std::uint32_t baud) {
  (void)baud;
  return Failed(PortFault::OtherError, ENOTTY);
}

}  // namespace deveder
