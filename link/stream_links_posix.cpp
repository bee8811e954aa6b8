// The two links that are no terminal: a USB printer node and a network
// printer's TCP connection.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "link/link_posix.h"

namespace deveder::posix {

namespace {

// Waits until the descriptor is writable again: a USB printer (usblp) takes
// a non-blocking write when it is submitted, and the bytes have gone out
// when it is writable once more; closing earlier would cancel them.
IoResult AwaitWritable(int fd, Deadline bound) {
  const int ev = WaitFor(fd, POLLOUT, bound, false);
  if (ev == kWaitStopped) return {0, PortFault::Stopped, EINTR};
  if (ev == 0) return {0, PortFault::TimedOut, ETIMEDOUT};
  if (ev < 0 || (ev & (POLLERR | POLLHUP | POLLNVAL))) return {0, PortFault::DeviceFailure, ev < 0 ? errno : EIO};
  return {};
}

class UsbPrinterLink final : public Link {
 public:
  UsbPrinterLink(int fd, bool serialMode, const std::optional<ReplyTiming>& timing)
      : Link(fd, LinkKind::UsbPrinter, serialMode,
             timing.value_or(DefaultReplyTiming(LinkKind::UsbPrinter, serialMode))) {}
  ~UsbPrinterLink() override { Shutdown(); }

  IoResult DrainOutput(Deadline bound) override { return AwaitWritable(fd_, bound); }

 protected:
  // A USB printer completes a read with no bytes when it has nothing to
  // say; it reports an unplug as ENODEV or EIO, or as POLLHUP.
  bool EmptyReadIsLoss() const override { return false; }
  IoResult AwaitSent(Deadline bound) override { return AwaitWritable(fd_, bound); }
};

class TcpLink final : public Link {
 public:
  TcpLink(int fd, bool serialMode, const std::optional<ReplyTiming>& timing)
      : Link(fd, LinkKind::Tcp, serialMode, timing.value_or(DefaultReplyTiming(LinkKind::Tcp, serialMode))) {}
  ~TcpLink() override { Shutdown(); }

 protected:
  // A connection the printer closed must fail the write, not end the
  // program with SIGPIPE.
  long SendSome(const char* bytes, std::size_t length) override {
    return static_cast<long>(::send(fd_, bytes, length, MSG_NOSIGNAL));
  }
  IoResult AwaitSent(Deadline bound) override { return AwaitWritable(fd_, bound); }
  // The printer closing its end is a lost printer, as an unplug is; the
  // bytes it has not acknowledged are the connection's output queue.
  short HangupEvents() const override { return POLLRDHUP; }
  // A printer that holds back a small write until the last one is
  // acknowledged (an answer, then the model reply behind it) is
  // acknowledged at once, not after the delay the system may add.
  void AfterRead() override {
    const int one = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
  }
};

}  // namespace

std::unique_ptr<Link> MakeUsbPrinterLink(int fd, bool serialMode, const std::optional<ReplyTiming>& timing) {
  return std::make_unique<UsbPrinterLink>(fd, serialMode, timing);
}

std::unique_ptr<Link> MakeTcpLink(int fd, bool serialMode, const std::optional<ReplyTiming>& timing) {
  return std::make_unique<TcpLink>(fd, serialMode, timing);
}

}  // namespace deveder::posix
