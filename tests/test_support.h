// Small helpers shared by the test programs.
#pragma once

#include <dirent.h>

#include <QString>
#include <optional>
#include <vector>

#include "link/port.h"
#include "pages/core/page_context.h"

namespace deveder::tst {

// Open descriptors of this process.
inline int CountOpenFds() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d)) ++n;
    closedir(d);
  }
  return n;
}

// Sets the serial-port flag for a scope and restores it.
class SerialFlag {
 public:
  explicit SerialFlag(bool on) : saved_(SerialPortFlag()) { SetSerialPortFlag(on); }
  ~SerialFlag() { SetSerialPortFlag(saved_); }

 private:
  bool saved_;
};

// A Ui that records what the user would have seen.
class RecordingUi : public Ui {
 public:
  void ShowMessage(const QString& text) override { messages.push_back(text); }
  void ShowTimedMessage(const QString& text, const QString& caption) override {
    messages.push_back(text);
    captions.push_back(caption);
  }
  std::optional<QString> ChooseOpenFile(const QString& initialName, const QString& filter) override {
    lastInitialName = initialName;
    lastFilter = filter;
    return nextFile;
  }
  std::vector<QString> messages;
  std::vector<QString> captions;
  std::optional<QString> nextFile;
  QString lastInitialName, lastFilter;
};

}  // namespace deveder::tst
