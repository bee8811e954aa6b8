// Files deveder-cli reads (backups, port lists, the system's own files for
// the doctor): regular files only, of a bounded size, opened so that a
// FIFO or a device at the path can neither block the run nor feed it
// without end.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace deveder::cli {

// The bytes of the regular file at `path` (links followed) when it holds at
// most `limit` of them; otherwise nullopt, with `why` (when given) saying
// what the path is instead.
std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t limit, std::string* why = nullptr);

}  // namespace deveder::cli
