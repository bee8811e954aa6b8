// A page's variables as values, apart from any port: the printer's answers
// a Read puts into the controls, the edits a user makes to them, and the
// values a Write's lines carry.
#pragma once

#include <QStringList>
#include <map>
#include <string>
#include <string_view>

namespace deveder {

// Answers by variable name, as printer bytes. A variable that is absent got
// no answer (0 bytes), as from a printer that stays silent on it.
using PageValues = std::map<std::string, std::string>;

// What one user edit did. `error` is empty when the controls took the value;
// otherwise it says why not, and `fits` lists the values that would fit
// (empty when any text fits but this one cannot be given).
struct EditResult {
  std::string error;
  QStringList fits;
  bool ok() const { return error.empty(); }
};

// The variable and value bytes of a setvar line in the named form; false
// for any other line.
bool ParseNamedSetvar(std::string_view line, std::string& name, std::string& value);

}  // namespace deveder
