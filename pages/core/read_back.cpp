#include "pages/core/read_back.h"

#include "pages/core/control_model.h"

namespace deveder {

QStringList ReadBack::StateOf(const ControlModel& c, const std::vector<int>& ids) {
  QStringList state;
  for (int id : ids)
    state << c.Text(id) << QString::number(c.CurrentIndex(id)) << QString::number(c.Checked(id) ? 1 : 0);
  return state;
}

void ReadBack::Remember(const std::string& var, std::string bytes, const ControlModel& c,
                        std::initializer_list<int> ids) {
  Entry e{std::move(bytes), std::vector<int>(ids), {}};
  e.state = StateOf(c, e.ids);
  entries_[var] = std::move(e);
}

std::optional<std::string> ReadBack::Unchanged(const std::string& var, const ControlModel& c) const {
  auto it = entries_.find(var);
  if (it == entries_.end() || StateOf(c, it->second.ids) != it->second.state) return std::nullopt;
  return it->second.bytes;
}

}  // namespace deveder
