// The port layer: the only code that touches a printer device.
//
// One Link object per open port, one implementation per transport (a
// terminal, a USB printer node, a TCP connection), opened by OpenLink from
// the port text. A link owns its state (descriptor, saved line settings,
// when the last request left); every call returns its bytes and its fault
// as a value. Every wait is bounded; reply waits call the pump hook between
// polls, and every wait ends early when the stop hook asks (port_hooks.h).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "link/deadline.h"

namespace deveder {

using std::chrono::microseconds;
using std::chrono::milliseconds;

// Why an operation ended without success.
enum class PortFault {
  None,
  TimedOut,       // nothing came (or nothing could be written) within the bound
  DeviceFailure,  // unplugged or switched off: EIO, ENODEV, ENXIO, hang-up, ...
  OpenFailed,     // the path could not be opened (see OpenResult::ErrorText)
  Busy,           // another user has the port (see OpenResult::holder); nothing was written
  NotADevice,     // the path is a file, folder, pipe or socket; nothing was written
  Stopped,        // the stop hook asked the wait to end (Ctrl-C, SIGTERM)
  OtherError,
};

// What a path turned out to be when it was refused as no device.
enum class PathKind { Device, RegularFile, Directory, Fifo, Socket, BlockDevice, Other };

// The transports.
enum class LinkKind {
  Terminal,    // a serial port, or a pseudo-terminal such as the simulator's
  UsbPrinter,  // a USB printer-class node (/dev/usb/lpN) or any other device
  Tcp,         // a network printer's raw port
};

// The program that holds a port in use, as far as it can be found out.
struct PortHolder {
  int pid = 0;
  std::string name;  // its command name; empty when it cannot be read
};

// ---- reply timing ----------------------------------------------------------
// A reply is the bytes that arrive after its request has left the line,
// gathered until the printer falls silent.
struct ReplyTiming {
  // The first byte is awaited this long, counted from when the request has
  // left the line (a 23-byte line takes 24 ms at 9600 baud).
  microseconds firstByte;
  // Silence that ends a reply.
  microseconds silence;
  // An answer that ends with a NUL is complete with it; until it has come, a
  // pause shorter than this does not end the reply.
  microseconds nulSilence;
  // A printer that never stops sending is cut off this long after its reply
  // began.
  microseconds longest;
};

// Printers answer within a few milliseconds when idle and up to a few
// hundred when busy printing or waking from standby; twice the slowest seen
// (500 ms) still tells a silent printer within two requests.
inline constexpr milliseconds kReplyFirstByteWait{1000};
// A USB printer may split a reply over transfers in consecutive 1 ms bus
// frames, so 1.8 ms of silence (a frame and most of another) end it there;
// every request of a Read pays it once.
inline constexpr microseconds kUsbReplySilence{1800};
// USB-serial adapters hand bytes over in 16 ms latency-timer slices, so a
// serial line needs more than one slice (a byte at 1200 baud takes 8.3 ms).
inline constexpr microseconds kSerialReplySilence{25000};
// A network module sends a reply in one or a few segments back to back; a
// module that pauses longer within a reply is caught by the model fence at
// the end of every Read, which then reads again with a wider silence.
inline constexpr microseconds kTcpReplySilence{4000};
// The reply wait of the original tool: a WLAN answer that has not reached
// its NUL is not over before a pause this long.
inline constexpr milliseconds kNulReplySilence{100};
inline constexpr milliseconds kReplyLongest{3000};

// The timing a link gets unless it is given one: the serial silence on a
// terminal in serial mode, the network silence on a TCP stream, the USB
// silence otherwise.
ReplyTiming DefaultReplyTiming(LinkKind kind, bool serialMode);

// ---- other bounds ------------------------------------------------------------
// A write is bounded by a fixed allowance for a device that is busy, plus
// twice the time each byte takes on the line, at least 2 ms a byte.
inline constexpr milliseconds kWriteAllowance{3000};
inline constexpr microseconds kWriteLeastPerByte{2000};
// A line written in serial mode is followed by this pause.
inline constexpr milliseconds kSerialLinePause{5};
// What the output queue is given to drain before a speed change and before
// the port closes.
inline constexpr milliseconds kDrainBeforeSpeedChange{2000};
inline constexpr milliseconds kDrainBeforeClose{2000};
// What one line may still have queued when an action that only writes ends.
inline constexpr int kConfirmOutputBytes = 4096;
// Discarding stale input reads at most this many times (4 KiB each): a
// printer that never stops sending is dealt with by the reply wait, which
// cuts a reply off.
inline constexpr int kDiscardReads = 256;

// ---- results ---------------------------------------------------------------
struct IoResult {
  int bytes = 0;  // moved (written, read, discarded)
  PortFault fault = PortFault::None;
  int err = 0;    // the errno behind the fault, 0 when none
  bool ok() const { return fault == PortFault::None; }
  // The device went away (or the wait was stopped) rather than stayed silent.
  bool lost() const { return fault == PortFault::DeviceFailure || fault == PortFault::Stopped; }
};

struct WriteOptions {
  // Default: kWriteAllowance plus the per-byte time for the length.
  std::optional<Deadline> bound;
  // Call the pump hook between polls (a long transfer in the window).
  bool pump = false;
  // Told the bytes the device has taken so far, after each piece it takes.
  std::function<void(int taken)> progress;
};

class Link {
 public:
  virtual ~Link();
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  LinkKind Kind() const { return kind_; }
  // The port type is the serial port: a line is followed by a short pause,
  // and the firmware goes out in the XOR framing.
  bool SerialMode() const { return serialMode_; }
  const ReplyTiming& Timing() const { return timing_; }
  void SetTiming(const ReplyTiming& timing) { timing_ = timing; }
  int fd() const { return fd_; }

  // Writes every byte within the bound, or fails. The request's departure
  // is recorded: reply waits count from it.
  IoResult Write(const void* bytes, int length, const WriteOptions& options = {});
  // Write of one command line; in serial mode the pause follows.
  IoResult SendLine(const std::string& line);
  // Moves what the device takes at once, without waiting (full-duplex
  // exchanges); `bytes` is how many it took.
  IoResult WriteNow(const void* bytes, int length);
  // Waits up to `wait` for input and reads what is there (bytes 0 when
  // nothing came). Calls the pump hook while waiting when `pump`.
  IoResult ReadNow(void* buffer, int capacity, milliseconds wait, bool pump = true);
  // Waits until `until` for input and reads what is there: bytes > 0, or
  // TimedOut once it passed with nothing (a USB printer's empty reads are
  // waited through).
  IoResult ReadBy(void* buffer, int capacity, Deadline until);
  // When the first byte of the reply to the line last written must have
  // come under `firstByte`, counted from when that line had left.
  Deadline ReplyDeadline(microseconds firstByte) const;
  // The reply to the line last written: the bytes that arrive once it has
  // left the line, gathered until the printer falls silent (`timing`).
  // TimedOut with no bytes when nothing came within the first-byte wait.
  // The pump hook runs while it waits unless `pump` is false.
  IoResult ReadReply(void* buffer, int capacity, const ReplyTiming& timing, bool endAtNul = false, bool pump = true);
  IoResult ReadReply(void* buffer, int capacity, bool endAtNul = false) {
    return ReadReply(buffer, capacity, timing_, endAtNul);
  }
  // Reads and throws away every byte already waiting: stale bytes from an
  // earlier exchange never become the answer to a new request.
  IoResult DiscardInput();
  // Waits (bounded) until written bytes have left the device's queue.
  virtual IoResult DrainOutput(Deadline bound);
  // The end of an action that only writes: everything written has left and
  // the device is still there.
  IoResult ConfirmOutput();

  // The bound of a write of `length` bytes on this link.
  milliseconds WriteBound(int length) const;
  // The fixed part of that bound (kWriteAllowance unless the link was given
  // another): how long a device may refuse to take bytes before a write fails.
  void SetWriteAllowance(milliseconds allowance) { writeAllowance_ = allowance; }

  // A terminal's line: speed, 8 data bits, no parity, one stop bit (flow
  // control kept), verified by reading back, queues purged. Other links
  // refuse it.
  virtual IoResult Configure(std::uint32_t baud);
  // The terminal's line speed now; 0 where there is none.
  virtual std::uint32_t LineSpeed() const { return 0; }

 protected:
  Link(int fd, LinkKind kind, bool serialMode, const ReplyTiming& timing);

  // Moves what the descriptor takes now: bytes taken (0: none now), or -1
  // with errno set.
  virtual long SendSome(const char* bytes, std::size_t length);
  // After bytes were read.
  virtual void AfterRead() {}
  // A read that completed with no bytes means the device went away.
  virtual bool EmptyReadIsLoss() const { return true; }
  // Waits until bytes the descriptor has taken have left it.
  virtual IoResult AwaitSent(Deadline bound) { (void)bound; return {}; }
  // The events besides POLLHUP and POLLERR that tell the device went away.
  virtual short HangupEvents() const { return 0; }
  // How long `length` bytes take on the line; 0 where there is no line speed.
  virtual microseconds LineTime(int length) const { (void)length; return microseconds::zero(); }
  // Drains (bounded) and releases; every implementation's destructor calls
  // it, so that its own Release runs.
  void Shutdown();
  // The line settings are given back, then the descriptor is closed;
  // `drained`: the output queue emptied before.
  virtual void Release(bool drained);

  // Reads what is there now: > 0 bytes, 0 nothing yet, < 0 lost (`fault`).
  int ReadSome(char* buffer, int capacity, IoResult& fault);
  // Output the descriptor still holds; false when it cannot be told or the
  // device went away.
  IoResult AwaitQueueEmpty(Deadline bound);

  int fd_;

 private:
  LinkKind kind_;
  bool serialMode_;
  ReplyTiming timing_;
  milliseconds writeAllowance_ = kWriteAllowance;
  Deadline::Clock::time_point sentAt_{};
  microseconds sentLine_{0};
};

// ---- opening ---------------------------------------------------------------
struct LinkOptions {
  bool serialMode = false;
  // Default: DefaultReplyTiming for the transport.
  std::optional<ReplyTiming> timing;
  // A first-byte wait of the user's over that timing (a printer slow to
  // wake, a quick scan of many printers).
  std::optional<milliseconds> firstByte;
  // Default: kWriteAllowance (a shorter one lets tests meet a held line sooner).
  std::optional<milliseconds> writeAllowance;
};

struct OpenResult {
  std::unique_ptr<Link> link;
  PortFault fault = PortFault::None;
  int err = 0;
  std::optional<PortHolder> holder;  // Busy: who has the port, when found
  PathKind pathKind = PathKind::Device;  // NotADevice: what the path is
  std::string detail;  // what the OS error alone does not say (network)

  bool ok() const { return link != nullptr; }
  // The OS text, "in use by PID n (name)" for a busy port, "not a device
  // (...)" for a path that is none, the address and reason for a network
  // printer.
  std::string ErrorText() const;
  bool WasPermission() const;
};

// Opens the port a text names: a device path (links followed) or a network
// address (tcp_connect.h). A character device is taken for this program
// alone: a terminal with TIOCEXCL and an advisory lock (flock), which every
// instance of the tool respects; a device node that refuses a second opener
// (EBUSY) counts the same. A port in use fails at once with Busy, a path
// that is no character device with NotADevice, before a byte is written.
OpenResult OpenLink(const std::string& portText, const LinkOptions& options = {});

}  // namespace deveder
