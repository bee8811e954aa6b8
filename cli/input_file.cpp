#include "cli/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace deveder::cli {

std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t limit, std::string* why) {
  auto fail = [&](std::string text) -> std::optional<std::string> {
    if (why) *why = std::move(text);
    return std::nullopt;
  };
  // Non-blocking: opening a FIFO without a writer, or a device, waits for
  // nothing; fstat then tells what was opened.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return fail(std::strerror(errno));
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return fail("not a regular file");
  }
  std::string bytes;
  char chunk[4096];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int err = errno;
      ::close(fd);
      return fail(std::strerror(err));
    }
    if (n == 0) break;
    bytes.append(chunk, static_cast<std::size_t>(n));
    if (bytes.size() > limit) {
      ::close(fd);
      return fail("larger than " + std::to_string(limit) + " bytes");
    }
  }
  ::close(fd);
  return bytes;
}

}  // namespace deveder::cli
