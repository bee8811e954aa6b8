// Standard streams are never ports. A program started with descriptor 0, 1
// or 2 closed would hand that number to the next file it opens: the printer
// port would become standard output, and the program's report would be sent
// to the printer as a print job. Every program calls this first, before it
// opens anything.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace deveder {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed. A
// program that cannot do so ends at once (status 127): it could not tell
// its port from its output.
inline void EnsureStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free descriptor is taken, which is `fd` itself unless a
    // lower one was closed as well (then already filled in this loop).
    const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened < 0) std::_Exit(127);
    if (opened != fd) {
      if (dup2(opened, fd) != fd) std::_Exit(127);
      close(opened);
    }
  }
}

}  // namespace deveder
