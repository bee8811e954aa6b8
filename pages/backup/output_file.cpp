#include "pages/backup/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace deveder {

namespace {

std::string Folder(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Why(const std::string& path) { return path + ": " + std::strerror(errno); }

}  // namespace

std::string OutputPathProblem(const std::string& path) {
  if (path.empty()) return "an empty file name";
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (S_ISLNK(st.st_mode))
      return path + " is a symbolic link; give the file it points to, or a new name (a link is never written through)";
    if (S_ISDIR(st.st_mode)) return path + " is a directory";
    return {};
  }
  if (errno != ENOENT) return Why(path);
  struct stat dir {};
  const std::string folder = Folder(path);
  if (::stat(folder.c_str(), &dir) != 0 || !S_ISDIR(dir.st_mode)) return "no folder " + folder + " for " + path;
  return {};
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  if (S_ISCHR(sa.st_mode) && S_ISCHR(sb.st_mode)) return sa.st_rdev == sb.st_rdev;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

OutputFile::~OutputFile() { Discard(); }

void OutputFile::Discard() {
  if (stream_) std::fclose(stream_);
  stream_ = nullptr;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

bool OutputFile::Open(const std::string& path, std::string& error) {
  Discard();
  error = OutputPathProblem(path);
  if (!error.empty()) return false;
  path_ = path;
  struct stat st {};
  int fd = -1;
  if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    // A device or a pipe takes the bytes as they come. A pipe without a
    // reader is refused at once rather than waited on.
    fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || ::fcntl(fd, F_SETFL, 0) != 0) {
      error = Why(path);
      if (fd >= 0) ::close(fd);
      return false;
    }
  } else {
    const std::size_t slash = path.rfind('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string pattern = Folder(path) + "/." + base + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd = ::mkostemp(name.data(), O_CLOEXEC);  // created 0600
    if (fd < 0) {
      error = Why(path);
      return false;
    }
    temp_ = name.data();
  }
  stream_ = ::fdopen(fd, "w");
  if (!stream_) {
    error = Why(path);
    ::close(fd);
    Discard();
    return false;
  }
  return true;
}

bool OutputFile::Commit(std::string& error) {
  if (!stream_) {
    error = path_ + ": not open";
    return false;
  }
  bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_);
  if (ok && !temp_.empty()) ok = ::fsync(::fileno(stream_)) == 0;
  const int saved = errno;
  const bool closed = std::fclose(stream_) == 0;
  stream_ = nullptr;
  if (!ok || !closed) {
    errno = ok ? errno : saved;
    error = Why(path_);
    Discard();
    return false;
  }
  if (temp_.empty()) return true;
  if (::rename(temp_.c_str(), path_.c_str()) != 0) {
    error = Why(path_);
    Discard();
    return false;
  }
  temp_.clear();
  // The new name itself is on the disk once its folder is.
  const int dir = ::open(Folder(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string& error) {
  OutputFile out;
  if (!out.Open(path, error)) return false;
  if (std::fwrite(bytes.data(), 1, bytes.size(), out.Stream()) != bytes.size()) {
    error = Why(path);
    return false;
  }
  return out.Commit(error);
}

}  // namespace deveder
