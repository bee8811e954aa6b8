// Reading the system's own small files (sysfs attributes, /proc entries,
// /etc databases), for the port walk, port access and the doctor. A read
// never blocks and never takes more than it is allowed: a FIFO, a device or
// a link to /dev/zero in a prepared tree is read as nothing.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace deveder {

// What one small file may hold; sysfs attributes and /proc entries are far
// smaller, /etc/group of a large site is not.
inline constexpr std::size_t kSmallFileBytes = 1 << 20;

// The bytes of a regular file (links followed), at most `limit` of them;
// empty when it is missing, no regular file or cannot be read. Sysfs and
// procfs attributes count as regular files.
std::string ReadSmallFile(const std::string& path, std::size_t limit = kSmallFileBytes);
// Its first line, without the line end.
std::string ReadFirstLine(const std::string& path);
// The target of a symbolic link; empty when it is none or cannot be read.
std::string LinkText(const std::string& path);
// The last component of that target ("usblp" for a driver link).
std::string LinkTarget(const std::string& path);
bool Exists(const std::string& path);
// The names in a folder in the order the kernel lists them, "." and ".."
// left out; with `prefix`, only names that begin with it.
std::vector<std::string> Entries(const std::string& dir, const std::string& prefix = {});

}  // namespace deveder
