#include "pages/core/page_values.h"

#include "protocol/command_line.h"

namespace deveder {

bool ParseNamedSetvar(std::string_view line, std::string& name, std::string& value) {
  // The head of a named setvar line, as built for any variable.
  static const std::string head = [] {
    const std::string probe = GetvarNamedLine("x");
    return probe.substr(0, probe.find("getvar")) + "setvar \"";
  }();
  if (line.substr(0, head.size()) != head) return false;
  const std::size_t close = line.find('"', head.size());
  if (close == std::string_view::npos || line.substr(close, 3) != "\" \"") return false;
  const std::size_t end = line.rfind("\"\r\n");
  if (end == std::string_view::npos || end < close + 3 || end + 3 != line.size()) return false;
  name = std::string(line.substr(head.size(), close - head.size()));
  value = std::string(line.substr(close + 3, end - close - 3));
  return true;
}

}  // namespace deveder
