// The WiFi page's mapping between controls and variables: one row per
// variable drives the Read's order, what an answer does to the controls,
// what the Read remembers, a user's edit and the Write's lines.
#include <QString>
#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pages/core/control_model.h"
#include "pages/wifi/wifi_page.h"
#include "protocol/text_codec.h"

namespace deveder {

using namespace wifi;

namespace {

enum class Kind {
  Shown,  // shown only, never written
  Radio,  // a group of buttons standing for consecutive numbers
  List,   // five fields joined by commas
};

// What a row's value does to the page's mode and DHCP choice.
enum class Choice { None, Mode, Dhcp };

struct Row {
  const PrinterVar& var;
  Kind kind;
  const int* ids;            // the control; the buttons; the five fields
  int count = 1;             // how many of `ids`
  int firstValue = 0;        // (radio) the number of the first button
  Choice choice = Choice::None;
  bool emptyEndsWalk = false;  // (list) an empty piece ends the walk
  const int* labels = nullptr; // (list) the labels of the five fields
  int group = 0;               // (list) the group box around them
};

constexpr int kMac[] = {kMacBox};
constexpr int kLip[] = {kLocalIp};
constexpr int kModeButtons[] = {kModeSta, kModeAp, kModeBoth};
constexpr int kDhcpButtons[] = {kDhcpDisable, kDhcpEnable};
constexpr int kAutoButtons[] = {kAutoNo, kAutoYes};

// In the Read's order; the Write sends the rows that are not shown only,
// in the same order.
const Row kRows[] = {
    {.var = kVarMac, .kind = Kind::Shown, .ids = kMac},
    {.var = kVarLip, .kind = Kind::Shown, .ids = kLip},
    {.var = kVarMode, .kind = Kind::Radio, .ids = kModeButtons, .count = 3, .firstValue = 1, .choice = Choice::Mode},
    {.var = kVarDhcp, .kind = Kind::Radio, .ids = kDhcpButtons, .count = 2, .choice = Choice::Dhcp},
    {.var = kVarAp, .kind = Kind::List, .ids = kApFields, .count = 5, .emptyEndsWalk = true, .labels = kApLabels,
     .group = kApGroup},
    {.var = kVarSta, .kind = Kind::List, .ids = kStaFields, .count = 5, .labels = kStaLabels, .group = kStaGroup},
    {.var = kVarApac, .kind = Kind::Radio, .ids = kAutoButtons, .count = 2},
};

const Row* RowOf(std::string_view name) {
  for (const Row& r : kRows)
    if (name == r.var.name) return &r;
  return nullptr;
}

std::vector<int> ControlsOf(const Row& r) { return std::vector<int>(r.ids, r.ids + r.count); }

int ToInt(long v) { return static_cast<int>(std::clamp<long>(v, INT_MIN, INT_MAX)); }

// A WLAN answer as a C string: it ends at its terminating NUL.
std::string_view AnswerBytes(std::string_view answer) {
  const std::size_t nul = answer.find('\0');
  return nul == std::string_view::npos ? answer : answer.substr(0, nul);
}

// The number of the selected button; nullopt when none is selected.
std::optional<int> CheckedValue(const Row& r, const ControlModel& c) {
  for (int i = 0; i < r.count; ++i)
    if (c.Checked(r.ids[i])) return r.firstValue + i;
  return std::nullopt;
}

void SelectButton(const Row& r, ControlModel& c, int which) {
  for (int i = 0; i < r.count; ++i) c.SetChecked(r.ids[i], i == which);
}

// What the controls show of an answer, once applied. A list is the
// printer's bytes, kept as read; a number is shown when its button is the
// one selected and stands for exactly the bytes answered.
ReadBack::Got GotOf(const Row& r, const ControlModel& c, std::string_view answer) {
  if (answer.empty()) return ReadBack::Got::Unanswered;
  const std::string_view bytes = AnswerBytes(answer);
  if (r.kind == Kind::List) {
    bool fieldsEmpty = true;
    for (int i = 0; i < r.count; ++i) fieldsEmpty = fieldsEmpty && c.Text(r.ids[i]).isEmpty();
    return !bytes.empty() || fieldsEmpty ? ReadBack::Got::Answered : ReadBack::Got::NotShown;
  }
  const std::optional<int> shown = CheckedValue(r, c);
  return shown && std::to_string(*shown) == bytes ? ReadBack::Got::Answered : ReadBack::Got::NotShown;
}

}  // namespace

const std::vector<const char*>& WifiVariables() {
  static const std::vector<const char*> names = [] {
    std::vector<const char*> out;
    for (const Row& r : kRows) out.push_back(r.var.name);
    return out;
  }();
  return names;
}

const PrinterVar* WifiVariable(std::string_view name) {
  const Row* r = RowOf(name);
  return r ? &r->var : nullptr;
}

void ApplyWifiAnswer(ControlModel& c, std::string_view var, std::string_view answer, int lang, WifiChoice& choice,
                     ReadBack* readBack) {
  const Row* row = RowOf(var);
  if (!row) return;
  if (answer.data() == nullptr) answer = std::string_view("", 0);
  const int n = static_cast<int>(answer.size());
  // An integer answer; nullopt when none came, which changes no button.
  const std::optional<int> number =
      n == 0 ? std::nullopt
             : std::optional<int>(ToInt(ParseDecimal(ReplyToText(answer.data(), n, lang).toStdString())));
  switch (row->kind) {
    case Kind::Shown:
      c.SetText(row->ids[0], ReplyToText(answer.data(), n, lang));
      return;  // never written: nothing to remember
    case Kind::Radio:
      if (number && *number >= row->firstValue && *number < row->firstValue + row->count)
        SelectButton(*row, c, *number - row->firstValue);
      break;
    case Kind::List:
      FillListFields(c, row->ids, AnswerBytes(answer), row->emptyEndsWalk, lang);
      break;
  }
  if (row->choice == Choice::Mode) choice.answeredMode = number;
  if (row->choice == Choice::Dhcp) {
    // The radio button checked of a group, as the value it stands for.
    const Row& mode = *RowOf(kVarMode.name);
    const int checkedMode = CheckedValue(mode, c).value_or(choice.mode);
    const int checkedDhcp = CheckedValue(*row, c).value_or(choice.dhcpChoice);
    choice.mode = choice.answeredMode ? *choice.answeredMode : checkedMode;
    choice.dhcpChoice = number ? *number : checkedDhcp;
    UpdateWifiControls(c, choice.mode, choice.dhcpChoice);
  }
  if (readBack)
    readBack->Record(row->var.name, GotOf(*row, c, answer), std::string(AnswerBytes(answer)), c, ControlsOf(*row));
}

void ApplyWifiValues(ControlModel& c, const PageValues& values, int lang, WifiChoice& choice, ReadBack* readBack) {
  choice.answeredMode.reset();
  if (readBack) readBack->Clear();
  for (const Row& r : kRows) {
    auto it = values.find(r.var.name);
    ApplyWifiAnswer(c, r.var.name, it == values.end() ? std::string_view() : std::string_view(it->second), lang,
                    choice, readBack);
  }
}

EditResult EditWifiValue(ControlModel& c, std::string_view var, const QString& value) {
  const Row* row = RowOf(var);
  if (!row) return {"is not a WiFi variable", {}};
  switch (row->kind) {
    case Kind::Shown:
      return {"is shown only; the printer's value cannot be written", {}};
    case Kind::Radio: {
      QStringList names;
      for (int i = 0; i < row->count; ++i) names << QString::number(row->firstValue + i);
      const qsizetype at = names.indexOf(value);
      if (at < 0) return {"fits no choice", names};
      SelectButton(*row, c, static_cast<int>(at));
      return {};
    }
    case Kind::List: {
      const QStringList pieces = value.isEmpty() ? QStringList() : value.split(QLatin1Char(','));
      if (pieces.size() > row->count)
        return {"has more than five comma-separated fields (a comma cannot be part of one)", {}};
      for (int i = 0; i < row->count; ++i) c.SetText(row->ids[i], i < pieces.size() ? pieces[i] : QString());
      return {};
    }
  }
  return {"is not a WiFi variable", {}};
}

namespace {

// A list value from its five fields joined by commas; no line when all
// five are empty. A field that cannot travel exactly refuses the Write,
// and so does a comma in one: the printer would read one field more.
void ListFromFields(WriteBuilder& b, const Row& r, const ControlModel& c) {
  std::string value;
  bool allEmpty = true;
  for (int i = 0; i < r.count; ++i) {
    std::optional<std::string> item = b.FromText(r.var.name, c.Text(r.ids[i]), r.ids[i]);
    if (!item) return;
    if (item->find(',') != std::string::npos) {
      // Named as the page labels it: the group, then the field.
      b.Refuse({c.Text(r.group) + QLatin1Char(' ') + c.Text(r.labels[i]), ValueFault::None, U',', true});
      return;
    }
    allEmpty = allEmpty && item->empty();
    value += (i ? "," : "") + *item;
  }
  if (!allEmpty) b.TextLine(r.var, value);
}

}  // namespace

WritePlan BuildWifiWrite(const ControlModel& c, LineForm form, int langId, const ReadBack* readBack) {
  WritePlan plan;
  WriteBuilder b(plan, c, form, langId, readBack);
  for (const Row& r : kRows) {
    if (r.kind == Kind::Shown) continue;
    bool kept = false;
    // A list is named by its group, a choice by its buttons' group.
    if (const std::optional<std::string> asRead = b.AsRead(r.var, &kept, r.kind == Kind::List ? r.group : r.ids[0])) {
      if (!asRead->empty()) b.TextLine(r.var, *asRead);
      continue;
    }
    if (kept) continue;
    if (r.kind == Kind::List) ListFromFields(b, r, c);
    else if (const std::optional<int> v = CheckedValue(r, c)) b.Line(SetvarIntLine(r.var, form, *v));
  }
  b.Finish();
  return plan;
}

}  // namespace deveder
