// The simulated printer's variables: every variable of the settings,
// Bluetooth and WLAN catalogues plus heat_section, heat_time and model,
// addressable by name and (except the named-only ones) by group and index.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace deveder::sim {

struct SimVar {
  std::string name;
  int group;  // -1: named only
  int index;
  std::string value;  // printer bytes; WLAN values go out with one NUL added
};

class SimStore {
 public:
  SimStore();  // the catalogue with plausible defaults

  // Lookups; nullopt for a variable the printer does not know.
  std::optional<std::string> Get(const std::string& name) const;
  std::optional<std::string> NameOf(int group, int index) const;
  bool Set(const std::string& name, const std::string& value);
  // A model without the variable: it answers neither its name nor number.
  void Forget(const std::string& name);
  bool Knows(const std::string& name) const;
  bool IsWlan(const std::string& name) const { return name.rfind("wlan.", 0) == 0; }
  bool IsNamedOnly(const std::string& name) const;
  std::vector<std::string> Names() const;

 private:
  std::map<std::string, SimVar> vars_;
  std::map<std::pair<int, int>, std::string> byNumber_;
};

}  // namespace deveder::sim
