#include "link/sys_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace deveder {

std::string ReadSmallFile(const std::string& path, std::size_t limit) {
  std::string out;
  // Non-blocking: a FIFO opened for reading would wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return out;
  struct stat st{};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    char buf[4096];
    while (out.size() < limit) {
      const ssize_t n = ::read(fd, buf, std::min(sizeof buf, limit - out.size()));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      out.append(buf, static_cast<std::size_t>(n));
    }
  }
  ::close(fd);
  return out;
}

std::string ReadFirstLine(const std::string& path) {
  std::string text = ReadSmallFile(path, 4096);
  const std::size_t end = text.find('\n');
  if (end != std::string::npos) text.resize(end);
  if (!text.empty() && text.back() == '\r') text.pop_back();
  return text;
}

std::string LinkText(const std::string& path) {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf - 1);
  if (n <= 0) return {};
  return std::string(buf, static_cast<std::size_t>(n));
}

std::string LinkTarget(const std::string& path) {
  const std::string target = LinkText(path);
  const std::size_t slash = target.rfind('/');
  return slash == std::string::npos ? target : target.substr(slash + 1);
}

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

std::vector<std::string> Entries(const std::string& dir, const std::string& prefix) {
  std::vector<std::string> names;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return names;
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (name.compare(0, prefix.size(), prefix) == 0) names.push_back(name);
  }
  ::closedir(d);
  return names;
}

}  // namespace deveder
