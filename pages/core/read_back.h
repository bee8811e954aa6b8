// What a Read put into the controls, kept with the printer's own bytes, so
// that a Write gives back byte for byte what the user did not change.
//
// Splitting a value over several controls (a descriptor at ";", a list at
// ","), dropping colons from an address or showing nothing for a value too
// long to show loses bytes on the way to the controls; while the controls
// still show what the Read put there, the Write sends the bytes as read.
#pragma once

#include <QStringList>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace deveder {

class ControlModel;

class ReadBack {
 public:
  void Clear() { entries_.clear(); }
  // After a Read has put `bytes` into the controls `ids`.
  void Remember(const std::string& var, std::string bytes, const ControlModel& controls,
                std::initializer_list<int> ids);
  void Forget(const std::string& var) { entries_.erase(var); }
  // The bytes as read, while every control of `var` still shows what the
  // Read put there; nullopt once one was changed (or nothing was read).
  std::optional<std::string> Unchanged(const std::string& var, const ControlModel& controls) const;

 private:
  struct Entry {
    std::string bytes;
    std::vector<int> ids;
    QStringList state;
  };
  static QStringList StateOf(const ControlModel& controls, const std::vector<int>& ids);
  std::map<std::string, Entry> entries_;
};

}  // namespace deveder
