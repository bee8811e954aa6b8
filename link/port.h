// The port layer: the only code that touches a printer device.
//
// One port is open at a time. The operations keep the system's result
// conventions: 0 / -1 for a whole write, byte counts for reads (0 = nothing
// came), true / false for starting I/O and for configuring a serial line.
// Every wait is bounded; reply waits call the pump hook between polls,
// writes call none.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace deveder {

using PortHandle = int;  // a file descriptor
inline constexpr PortHandle kInvalidPortHandle = -1;

// Why the last operation ended without success.
enum class PortFault {
  None,
  TimedOut,       // nothing came (or nothing could be written) within the bound
  DeviceFailure,  // unplugged or switched off: EIO, ENODEV, ENXIO, hang-up, ...
  OpenFailed,     // the path could not be opened (see PortLastErrorText)
  Busy,           // another user has the port (see PortBusyHolder); nothing was written
  NotADevice,     // the path is a file, folder, pipe or socket; nothing was written
  OtherError,
};

// What a path turned out to be when it was refused as no device.
enum class PathKind { Device, RegularFile, Directory, Fifo, Socket, BlockDevice, Other };

// The program that holds a port in use, as far as it can be found out.
struct PortHolder {
  int pid = 0;
  std::string name;  // its command name; empty when it cannot be read
};

// Outcome of polling a started write or read.
enum class IoState { Pending, Completed, Failed };

// ---- process-wide port state -------------------------------------------
// The serial-port flag: set while the port type is the serial port. It adds
// the 5 ms pause after PortWrite, makes reply reads gather a burst until an
// inter-byte gap, and chooses the serial port walk and the XOR framing.
void SetSerialPortFlag(bool serial);
bool SerialPortFlag();

// Called between polls of every reply wait (GUI: keep painting and timers).
void SetPortPumpHook(std::function<void()> pump);
void CallPortPump();

// Sees every byte that crosses the port: `sent` true for bytes written.
// Used for support traces; no hook, no cost.
void SetPortTraceHook(std::function<void(bool sent, const char* bytes, int count)> trace);

// The fault of the last failing operation and the text behind it: the OS
// text, "in use by PID n (name)" for a busy port, "not a device (...)" for a
// path that is none.
PortFault PortLastFault();
std::string PortLastErrorText();
bool PortLastErrorWasPermission();
// The errno behind the last failure, 0 when none.
int PortLastErrorNumber();
bool PortLastErrorWasBusy();
bool PortLastErrorWasNotADevice();
// For the last open refused as busy: the program holding the port, when it
// could be found (the holder of the port's lock, else a program that has the
// device open).
std::optional<PortHolder> PortBusyHolder();
// For the last open refused as no device: what the path is.
PathKind PortLastPathKind();

// ---- reply timing ----------------------------------------------------------
// A reply is the bytes that arrive after its request has left the line,
// gathered until the printer falls silent.
//
// The first byte is awaited for kReplyWaitMs, counted from when the request
// has left the line (a 23-byte line takes 24 ms at 9600 baud). Printers
// answer within a few milliseconds when idle and up to a few hundred when
// busy printing or waking from standby; twice the slowest seen (500 ms) still
// tells a silent printer within two requests.
inline constexpr int kReplyWaitMs = 1000;
// Silence that ends a reply. A USB printer may split a reply over transfers
// in consecutive 1 ms bus frames, so 1.8 ms of silence (a frame and most of
// another) end it there; every request of a Read pays it once.
// USB-serial adapters hand bytes over in 16 ms latency-timer slices, so a
// serial line needs more than one slice (a byte at 1200 baud takes 8.3 ms).
inline constexpr int kUsbReplyGapUs = 1800;
inline constexpr int kSerialReplyGapUs = 25000;
// A printer that never stops sending is cut off this long after its reply
// began.
inline constexpr int kReplyLongestMs = 3000;

// ---- operations ----------------------------------------------------------
// Opens a character device (links are followed) for this program alone:
// a terminal is taken with TIOCEXCL and an advisory lock on the device
// (flock), which every instance of the tool respects; a device node that
// refuses a second opener (EBUSY) counts the same. A port in use fails at
// once with PortFault::Busy, a path that is no character device with
// PortFault::NotADevice, in both cases before a byte is written.
PortHandle OpenPrinterPort(const std::string& path);

// Sets speed, 8 data bits, no parity, one stop bit (flow control kept),
// verifies by reading back and purges both queues. On failure the port is
// closed and `handle` becomes kInvalidPortHandle.
bool ConfigureSerialPort(PortHandle& handle, std::uint32_t baud);

// 0 when every byte was written, -1 on failure. Bounded by a time
// proportional to the length. 5 ms pause afterwards with the serial flag.
int PortWrite(PortHandle handle, const void* bytes, int length);

// > 0 bytes read, 0 read completed empty, -1 failed or gave up after about
// `budget` ms (budget 0: wait up to kLongestReadWaitMs).
int PortReadOnce(PortHandle handle, void* buffer, int capacity, int budget);
inline constexpr int kLongestReadWaitMs = 30000;

// The reply to the line last written by PortWrite: the bytes that arrive
// once it has left the line, gathered until the printer falls silent
// (reply timing above). 0 when none came within the wait; never < 0 —
// PortReplyLost() tells a printer that went away from one that said nothing.
int PortReadReply(PortHandle handle, void* buffer, int capacity);

// The same with a first-byte wait of `waitMs` counted from when the line
// last written left; gathering ends at a NUL as the last byte when `endAtNul`.
int PortReadReplyWithin(PortHandle handle, void* buffer, int capacity, int waitMs, bool endAtNul);

// The same, for answers that end with a NUL byte: gathering also ends when
// the last byte received is NUL. Buffer of 4096 bytes.
int PortReadToNul(PortHandle handle, void* buffer);

// Reads and throws away every byte already waiting on the port: stale bytes
// from an earlier exchange (a reply that came after its wait gave up, the
// tail of an interrupted download) never become the answer to a new
// request. The number of bytes discarded, or -1 when the device went away.
int PortDiscardInput(PortHandle handle);

// Start-and-poll I/O. The caller keeps the buffer valid until the operation
// completes, fails or the port closes. Polling waits up to `waitMs` (0: no
// wait) for progress and reports the bytes moved so far in `transferred`.
bool PortStartWrite(PortHandle handle, const void* bytes, int length);
IoState PortPollWrite(PortHandle handle, int waitMs, int* transferred);
bool PortStartRead(PortHandle handle, void* buffer, int capacity);
IoState PortPollRead(PortHandle handle, int waitMs, int* transferred);

// Waits (bounded) until written bytes have left the device's output queue.
// False on a time-out or when the device went away (PortLastFault tells).
bool PortDrainOutput(PortHandle handle, int timeoutMs);

// The end of an action that only writes: true once everything written has
// left and the device is still there. A printer unplugged during the last
// lines is so reported instead of being taken for a success.
bool PortConfirmOutput(PortHandle handle);
inline constexpr int kConfirmOutputBytes = 4096;  // what one line may still have queued

// True when the last reply wait ended because the device went away rather
// than because nothing came.
inline bool PortReplyLost() { return PortLastFault() == PortFault::DeviceFailure; }

// Gives up a started write: the bytes the descriptor has not taken are
// dropped, so that a close after a write that timed out does not wait for
// them once more.
void PortCancelWrite(PortHandle handle);

// Transmits what is still queued (bounded), gives a terminal back the line
// settings it had when opened, gives up its exclusive use, then closes.
void ClosePrinterPort(PortHandle handle);

// The printer port open now; kInvalidPortHandle when none is.
PortHandle OpenPortHandle();

// The write bound used by PortWrite and by callers that poll their own
// writes: a fixed allowance plus a per-byte time that follows the line speed.
int PortWriteBoundMs(PortHandle handle, int length);

// Closes the port at the end of a scope unless released.
class ScopedPort {
 public:
  explicit ScopedPort(PortHandle h) : handle_(h) {}
  ~ScopedPort() { Close(); }
  ScopedPort(const ScopedPort&) = delete;
  ScopedPort& operator=(const ScopedPort&) = delete;
  PortHandle get() const { return handle_; }
  PortHandle& ref() { return handle_; }
  bool valid() const { return handle_ != kInvalidPortHandle; }
  void Close() {
    if (handle_ != kInvalidPortHandle) ClosePrinterPort(handle_);
    handle_ = kInvalidPortHandle;
  }

 private:
  PortHandle handle_;
};

}  // namespace deveder
