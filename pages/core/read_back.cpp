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
  Record(var, Got::Answered, std::move(bytes), c, std::vector<int>(ids));
}

void ReadBack::Record(const std::string& var, Got got, std::string bytes, const ControlModel& c,
                      std::vector<int> ids) {
  Entry e{got, std::move(bytes), std::move(ids), {}};
  e.state = StateOf(c, e.ids);
  entries_[var] = std::move(e);
}

std::optional<ReadBack::Untouched> ReadBack::IfUntouched(const std::string& var, const ControlModel& c) const {
  auto it = entries_.find(var);
  if (it == entries_.end() || StateOf(c, it->second.ids) != it->second.state) return std::nullopt;
  return Untouched{it->second.got, it->second.bytes};
}

std::optional<ReadBack::Untouched> ReadBack::WhatCame(const std::string& var) const {
  auto it = entries_.find(var);
  if (it == entries_.end()) return std::nullopt;
  return Untouched{it->second.got, it->second.bytes};
}

}  // namespace deveder
