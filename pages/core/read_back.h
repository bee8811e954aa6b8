// What a Read got for each variable of a page, and what it left in the
// controls, so that a Write changes only what the user changed.
//
// A variable the printer answered and the controls show goes back byte for
// byte while its controls still show what the Read put there: splitting a
// value over several controls (a descriptor at ";", a list at ","),
// dropping colons from an address or showing nothing for a value too long
// to show loses bytes on the way to the controls. A variable the printer
// did not answer, or whose value its control cannot hold exactly (a word no
// item stands for, a number with no button), is left with the printer until
// the user changes its controls. A variable with no record at all is
// written from its controls.
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
  enum class Got {
    Answered,    // the controls show the bytes
    Unanswered,  // no answer came
    NotShown,    // answered, but the controls cannot hold the value exactly
  };
  // A variable's record, while every control of it shows what the Read
  // left there.
  struct Untouched {
    Got got;
    std::string bytes;  // as read; empty when unanswered
  };

  void Clear() { entries_.clear(); }
  // After a Read has put `bytes` into the controls `ids`, which show them.
  void Remember(const std::string& var, std::string bytes, const ControlModel& controls,
                std::initializer_list<int> ids);
  // After a Read got `got` for `var`; `ids` are the controls that show it.
  void Record(const std::string& var, Got got, std::string bytes, const ControlModel& controls,
              std::vector<int> ids);

  // The record of `var` while none of its controls has changed since the
  // Read (the user changed nothing of it); nullopt once one was changed, or
  // when nothing was recorded.
  std::optional<Untouched> IfUntouched(const std::string& var, const ControlModel& controls) const;
  // What the Read got for `var`, whatever the controls show now; nullopt
  // when the Read did not handle it.
  std::optional<Untouched> WhatCame(const std::string& var) const;

 private:
  struct Entry {
    Got got;
    std::string bytes;
    std::vector<int> ids;
    QStringList state;
  };
  static QStringList StateOf(const ControlModel& controls, const std::vector<int>& ids);
  std::map<std::string, Entry> entries_;
};

}  // namespace deveder
