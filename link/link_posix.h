// What the POSIX links share below their interface: waiting on a
// descriptor, and the constructors the factory uses.
#pragma once

#include <poll.h>

#include <memory>

#include "link/link.h"

namespace deveder::posix {

// A wait that ended: the revents seen (> 0), 0 when the deadline passed,
// kWaitFailed on a poll error (errno set), kWaitStopped when the stop hook
// asked. Calls the pump between slices when `pump`.
inline constexpr int kWaitFailed = -1;
inline constexpr int kWaitStopped = -2;
int WaitFor(int fd, short events, Deadline deadline, bool pump);

// Errors that are no failure: try again.
bool IsTransient(int err);

std::unique_ptr<Link> MakeTerminalLink(int fd, bool serialMode, const std::optional<ReplyTiming>& timing);
std::unique_ptr<Link> MakeUsbPrinterLink(int fd, bool serialMode, const std::optional<ReplyTiming>& timing);
std::unique_ptr<Link> MakeTcpLink(int fd, bool serialMode, const std::optional<ReplyTiming>& timing);

}  // namespace deveder::posix
