// A terminal: a serial port, or a pseudo-terminal such as the simulator's.
//
// The line is made raw while the tool has it and given back as it was found
// when the link closes; its speed paces the line (reply waits count from
// when the last byte has left, write bounds follow the speed).
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "link/link_posix.h"

namespace deveder::posix {

namespace {

// The line speeds a serial port is set to and read back at, with their
// termios codes: one table for both directions.
struct SpeedCode {
  std::uint32_t baud;
  speed_t code;
};
constexpr SpeedCode kSpeedCodes[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
    {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool CodeOfBaud(std::uint32_t baud, speed_t& out) {
  for (const SpeedCode& s : kSpeedCodes) {
    if (s.baud == baud) {
      out = s.code;
      return true;
    }
  }
  return false;
}

class TerminalLink final : public Link {
 public:
  TerminalLink(int fd, bool serialMode, const std::optional<ReplyTiming>& timing)
      : Link(fd, LinkKind::Terminal, serialMode, timing.value_or(DefaultReplyTiming(LinkKind::Terminal, serialMode))) {
    // Later opens of the terminal fail with EBUSY (for programs without the
    // lock too) until the link closes.
    ioctl(fd_, TIOCEXCL);
    // A serial port keeps the rate and framing it has; what a fresh tty adds
    // on top (echo, line editing, CR/LF translation, XON/XOFF) would corrupt
    // printer traffic, so the line is made raw until the link closes.
    termios t{};
    if (tcgetattr(fd_, &t) == 0) {
      saved_ = t;
      savedValid_ = true;
      t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF);
      t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
      t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
      t.c_cflag |= CREAD | CLOCAL;
      t.c_cc[VMIN] = 0;
      t.c_cc[VTIME] = 0;
      tcsetattr(fd_, TCSANOW, &t);
    }
  }
  ~TerminalLink() override { Shutdown(); }

  std::uint32_t LineSpeed() const override {
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return 0;
    const speed_t code = cfgetospeed(&t);
    for (const SpeedCode& s : kSpeedCodes)
      if (s.code == code) return s.baud;
    return 0;
  }

  IoResult Configure(std::uint32_t baud) override {
    termios t{};
    speed_t speed{};
    if (tcgetattr(fd_, &t) != 0 || !CodeOfBaud(baud, speed)) return {0, PortFault::OtherError, errno ? errno : EINVAL};
    // 8 data bits, no parity, one stop bit; the flow-control flags stay.
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    // Bytes still queued for the old speed leave before the change.
    DrainOutput(Deadline::After(kDrainBeforeSpeedChange));
    termios back{};
    const bool ok = tcsetattr(fd_, TCSANOW, &t) == 0 && tcgetattr(fd_, &back) == 0 && cfgetospeed(&back) == speed &&
                    (back.c_cflag & CSIZE) == CS8 && !(back.c_cflag & PARENB) && !(back.c_cflag & CSTOPB);
    if (!ok) return {0, PortFault::OtherError, errno ? errno : EINVAL};
    tcflush(fd_, TCIOFLUSH);
    return {};
  }

 protected:
  microseconds LineTime(int length) const override {
    const std::uint32_t baud = LineSpeed();
    // Start bit, 8 data bits, stop bit.
    return microseconds(baud == 0 ? 0 : static_cast<long long>(length) * 10'000'000LL / baud);
  }

  void Release(bool drained) override {
    // What did not leave in time is dropped: a close would otherwise wait
    // for it once more, for as long as the driver allows.
    if (!drained) tcflush(fd_, TCOFLUSH);
    if (savedValid_) tcsetattr(fd_, TCSANOW, &saved_);
    // A pty slave stays open in the simulator after the tool closes it, so
    // the exclusive flag would outlive the tool's use if left set.
    ioctl(fd_, TIOCNXCL);
    ::close(fd_);
  }

 private:
  termios saved_{};
  bool savedValid_ = false;
};

}  // namespace

std::unique_ptr<Link> MakeTerminalLink(int fd, bool serialMode, const std::optional<ReplyTiming>& timing) {
  return std::make_unique<TerminalLink>(fd, serialMode, timing);
}

}  // namespace deveder::posix
