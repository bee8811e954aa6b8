// Files the tool writes (backups, deveder-cli's traces): whole or not at
// all. The bytes go to a temporary file beside the final one, which takes
// the final name only once they are on the disk; a run that stops before
// leaves the old file as it was. Mode 0600: backups and traces hold WiFi
// passwords and the Bluetooth PIN.
#pragma once

#include <cstdio>
#include <string>

namespace deveder {

// Why `path` can never be an output: a symbolic link (written through, it
// would replace or change the file it points to), a directory, or a folder
// that does not exist. Empty when it may be one.
std::string OutputPathProblem(const std::string& path);

// True when `a` and `b` are one file or device (links followed).
bool SameFile(const std::string& a, const std::string& b);

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  // Not committed: the temporary file is removed, the final one untouched.
  ~OutputFile();

  // Starts the file; false with `error` set when it cannot be. An existing
  // device or pipe at `path` is written directly (there is nothing to
  // replace).
  bool Open(const std::string& path, std::string& error);
  std::FILE* Stream() const { return stream_; }
  // Flushes, syncs and gives the file its name; false with `error` set when
  // any byte could not be written (the final path then stays as it was).
  bool Commit(std::string& error);

 private:
  void Discard();
  std::string path_;
  std::string temp_;  // empty when written directly
  std::FILE* stream_ = nullptr;
};

// Writes `bytes` to `path` as one OutputFile.
bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string& error);

}  // namespace deveder
