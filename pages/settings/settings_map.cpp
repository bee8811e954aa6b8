// The settings page's mapping between controls and variables: one row per
// variable drives the Read's order, what an answer does to the controls,
// what the Read remembers, a user's edit and the Write's lines.
#include <QString>
#include <array>
#include <climits>
#include <optional>
#include <string>
#include <string_view>

#include "pages/settings/settings_page.h"
#include "protocol/text_codec.h"

namespace deveder {

namespace {

// How a row's controls hold its value.
enum class Kind {
  Text,   // one edit
  Pair,   // two edits, one value split at a separator
  List,   // a list selected by the beginning of the reply; the item's text goes out
  Index,  // a list whose index stands for a word or number on the wire
  Radio,  // a radio pair: 0 for the first button, 1 for the second
  Msw,    // the ESC/POS group and the font-size list, as 16 digits
};

// Where a row belongs to the page.
enum class Layout {
  Every,
  ChineseOnly,   // on a Chinese system only
  WhereControl,  // on the layouts that have its control
};

// What an empty answer does to a text row.
enum class Empty {
  Sets,          // the edit is emptied
  KeepsWhole,    // nothing changes
  KeepsEachPart, // (pairs) each empty part leaves its edit
};

// An index list and its values on the wire.
struct IndexRule {
  int (*indexOf)(std::string_view answer, const QString& text);
  QString (*valueOf)(int index);
  bool sentUnselected;  // with no item selected the value of index -1 goes
};

struct Row {
  const PrinterVar& var;
  Kind kind;
  int first;       // the edit or list; the first edit or button of a pair
  int second = 0;  // the second edit or button of a pair
  Layout layout = Layout::Every;
  Empty empty = Empty::Sets;
  bool sendEmpty = false;  // an empty value still goes out
  int writeAt = 0;         // place in the Write's order
  char split = 0;          // the separator of a pair
  bool wholeText = false;  // shown whole, not cut to a reply's display length
  const IndexRule* index = nullptr;
};

int IndexOf(long value) { return value < INT_MIN || value > INT_MAX ? -1 : static_cast<int>(value); }
long NumberOf(const QString& text) { return ParseDecimal(text.toStdString()); }
QString Decimal(long v) { return QString::number(v); }

// The media answer is compared as a C string: it ends at a NUL.
const IndexRule kMediaRule{
    [](std::string_view answer, const QString&) { return MediaIndexOfReply(std::string(answer).c_str()); },
    [](int i) { return QString::fromLatin1(MediaWordOfIndex(i)); }, false};
const IndexRule kCodePageRule{[](std::string_view, const QString& t) { return CodePageRowOfNumber(NumberOf(t)); },
                              [](int i) { return Decimal(CodePageNumberOfRow(i)); }, false};
const IndexRule kAppRule{[](std::string_view, const QString& t) { return IndexOf(NumberOf(t)); },
                         [](int i) { return Decimal(i); }, true};
const IndexRule kMenuLangRule{[](std::string_view, const QString& t) { return NumberOf(t) == 1 ? 1 : 0; },
                              [](int i) { return Decimal(i); }, false};

// In the Read's order ("model" comes from the probe). The Write's order
// differs in one place: "usbd" and "density" go before the heating pair.
const Row kRows[] = {
    {.var = setvar::kModel, .kind = Kind::Text, .first = kSetModel, .empty = Empty::KeepsWhole, .writeAt = 0,
     .wholeText = true},
    {.var = setvar::kMfg, .kind = Kind::Text, .first = kSetMfg, .empty = Empty::KeepsWhole, .sendEmpty = true,
     .writeAt = 1},
    {.var = setvar::kSn, .kind = Kind::Text, .first = kSetSerial, .empty = Empty::KeepsWhole, .writeAt = 2},
    {.var = setvar::kHeatSection, .kind = Kind::List, .first = kSetHeatSections, .layout = Layout::WhereControl,
     .writeAt = 5},
    {.var = setvar::kHeatTime, .kind = Kind::Text, .first = kSetHeatTime, .layout = Layout::WhereControl,
     .writeAt = 6},
    {.var = setvar::kUsbd, .kind = Kind::Pair, .first = kSetUsbMfg, .second = kSetUsbModel,
     .empty = Empty::KeepsWhole, .sendEmpty = true, .writeAt = 3, .split = ';'},
    {.var = setvar::kDensity, .kind = Kind::List, .first = kSetDensity, .writeAt = 4},
    {.var = setvar::kSpeed, .kind = Kind::List, .first = kSetSpeed, .writeAt = 7},
    {.var = setvar::kMedia, .kind = Kind::Index, .first = kSetMedia, .sendEmpty = true, .writeAt = 8,
     .index = &kMediaRule},
    {.var = setvar::kEncode, .kind = Kind::List, .first = kSetEncode, .writeAt = 9},
    {.var = setvar::kCodePage, .kind = Kind::Index, .first = kSetCodePage, .sendEmpty = true, .writeAt = 10,
     .index = &kCodePageRule},
    {.var = setvar::kSliceOffset, .kind = Kind::Text, .first = kSetSliceOffset, .writeAt = 11},
    {.var = setvar::kXOffset, .kind = Kind::Text, .first = kSetXOffset, .writeAt = 12},
    {.var = setvar::kYOffset, .kind = Kind::Text, .first = kSetYOffset, .writeAt = 13},
    {.var = setvar::kLineHeight, .kind = Kind::Text, .first = kSetLineHeight, .writeAt = 14},
    {.var = setvar::kPpl, .kind = Kind::List, .first = kSetPpl, .writeAt = 15},
    {.var = setvar::kApp, .kind = Kind::Index, .first = kSetApp, .layout = Layout::ChineseOnly, .sendEmpty = true,
     .writeAt = 16, .index = &kAppRule},
    {.var = setvar::kAppStr, .kind = Kind::Pair, .first = kSetAppNameEn, .second = kSetAppNameCn,
     .layout = Layout::ChineseOnly, .empty = Empty::KeepsEachPart, .sendEmpty = true, .writeAt = 17, .split = '/'},
    {.var = setvar::kWarnFormat, .kind = Kind::Radio, .first = kSetWarnLoop, .second = kSetWarnTriple,
     .sendEmpty = true, .writeAt = 18},
    {.var = setvar::kCoverAction, .kind = Kind::Radio, .first = kSetCoverLocate, .second = kSetCoverNoAction,
     .sendEmpty = true, .writeAt = 19},
    {.var = setvar::kMenuLang, .kind = Kind::Index, .first = kSetMenuLang, .sendEmpty = true, .writeAt = 20,
     .index = &kMenuLangRule},
    {.var = setvar::kMsw, .kind = Kind::Msw, .first = 0, .sendEmpty = true, .writeAt = 21},
};
constexpr std::size_t kRowCount = std::size(kRows);

// The rows in the Write's order.
const std::array<const Row*, kRowCount>& WriteOrder() {
  static const std::array<const Row*, kRowCount> order = [] {
    std::array<const Row*, kRowCount> out{};
    for (const Row& r : kRows) out[static_cast<std::size_t>(r.writeAt)] = &r;
    return out;
  }();
  return order;
}

const Row* RowOf(std::string_view var) {
  for (const Row& r : kRows)
    if (var == r.var.name) return &r;
  return nullptr;
}

bool OnThisPage(const Row& r, const ControlModel& c, int lang) {
  if (r.layout == Layout::ChineseOnly) return lang == kLangChinese;
  if (r.layout == Layout::WhereControl) return c.Has(r.first);
  return true;
}

// The controls a row's value lives in.
std::vector<int> ControlsOf(const Row& r) {
  if (r.kind == Kind::Msw)
    return {kSetRewindYes,   kSetRewindNo,    kSetSbcs,      kSetMbcs,      kSetBufferYes,
            kSetBufferNo,    kSetFontCmdYes,  kSetFontCmdNo, kSetFontSavedYes,
            kSetFontSavedNo, kSetEnlargeYes,  kSetEnlargeNo, kSetFontSize};
  if (r.second != 0) return {r.first, r.second};
  return {r.first};
}

// The text the Write sends for a row from its controls (msw aside);
// nullopt when the controls give none: a list or pair without a selection.
std::optional<QString> ControlValue(const Row& r, const ControlModel& c) {
  switch (r.kind) {
    case Kind::Text:
      return c.Text(r.first);
    case Kind::Pair:
      return c.Text(r.first) + QLatin1Char(r.split) + c.Text(r.second);
    case Kind::List:
      return CurrentItemText(c, r.first);
    case Kind::Index: {
      const int i = c.CurrentIndex(r.first);
      if (i < 0 && !r.index->sentUnselected) return std::nullopt;
      return r.index->valueOf(i);
    }
    case Kind::Radio:
      if (!c.Checked(r.first) && !c.Checked(r.second)) return std::nullopt;
      return QString::number(c.Checked(r.first) ? 0 : 1);
    case Kind::Msw:
      break;
  }
  return std::nullopt;
}

// Puts an answer into a row's controls. False for an msw answer that is a
// broken line.
bool Apply(const Row& r, ControlModel& c, std::string_view answer, const QString& text) {
  const bool none = answer.empty();
  switch (r.kind) {
    case Kind::Text:
      if (!none || r.empty == Empty::Sets) c.SetText(r.first, text);
      break;
    case Kind::Pair: {
      if (none && r.empty == Empty::KeepsWhole) break;
      const qsizetype cut = text.indexOf(QLatin1Char(r.split));
      const QString before = cut < 0 ? text : text.left(cut);
      const QString after = cut < 0 ? QString() : text.mid(cut + 1);
      const bool eachPart = r.empty == Empty::KeepsEachPart;
      if (!eachPart || !before.isEmpty()) c.SetText(r.first, before);
      if (!eachPart || !after.isEmpty()) c.SetText(r.second, after);
      break;
    }
    case Kind::List:
      // An empty reply says nothing about the setting and leaves the
      // selection as it was: every item would match it.
      if (!none) SelectItemPrefix(c, r.first, text);
      break;
    case Kind::Index:
      c.SetCurrentIndex(r.first, r.index->indexOf(answer, text));
      break;
    case Kind::Radio:
      if (NumberOf(text) != 0) SelectRadio(c, r.second, r.first);
      else SelectRadio(c, r.first, r.second);
      break;
    case Kind::Msw:
      // Only a 16-byte reply is a digit string; one that holds anything but
      // hexadecimal digits is taken as a broken line.
      if (answer.size() == static_cast<std::size_t>(kMswDigits)) return ApplyMswDigits(c, answer);
      break;
  }
  return true;
}

// What the controls show of an answer, once applied: a text is the
// printer's bytes, kept as read; a word, number or index is shown when the
// controls would send exactly the bytes answered.
ReadBack::Got GotOf(const Row& r, const ControlModel& c, std::string_view answer, int lang) {
  if (answer.empty()) return ReadBack::Got::Unanswered;
  if (r.kind == Kind::Text || r.kind == Kind::Pair) return ReadBack::Got::Answered;
  if (r.kind == Kind::Msw)
    return answer.size() == static_cast<std::size_t>(kMswDigits) ? ReadBack::Got::Answered : ReadBack::Got::NotShown;
  const std::optional<QString> shown = ControlValue(r, c);
  if (!shown) return ReadBack::Got::NotShown;
  const LineValue bytes = TextToLineValue(*shown, lang);
  return bytes.ok() && bytes.bytes == answer ? ReadBack::Got::Answered : ReadBack::Got::NotShown;
}

}  // namespace

const std::vector<const char*>& SettingsVariables() {
  static const std::vector<const char*> names = [] {
    std::vector<const char*> out;
    for (const Row& r : kRows) out.push_back(r.var.name);
    return out;
  }();
  return names;
}

std::vector<PrinterVar> SettingsReadRequests(const ControlModel& c, int lang) {
  std::vector<PrinterVar> out;
  for (const Row& r : kRows)
    if (&r.var != &setvar::kModel && OnThisPage(r, c, lang)) out.push_back(r.var);
  return out;
}

bool ApplySettingsAnswer(ControlModel& c, std::string_view var, std::string_view answer, int lang,
                         SettingsReadBack* readBack) {
  const Row* row = RowOf(var);
  if (!row || !OnThisPage(*row, c, lang)) return true;
  if (answer.data() == nullptr) answer = std::string_view("", 0);
  const QString text = row->wholeText ? FromPrinterBytes(answer, lang)
                                      : ReplyToText(answer.data(), static_cast<int>(answer.size()), lang);
  if (!Apply(*row, c, answer, text)) return false;
  if (!readBack) return true;
  const ReadBack::Got got = GotOf(*row, c, answer, lang);
  readBack->values.Record(row->var.name, got, std::string(answer), c, ControlsOf(*row));
  if (row->kind == Kind::Msw && got == ReadBack::Got::Answered) readBack->msw = std::string(answer);
  return true;
}

bool ApplySettingsValues(ControlModel& c, const PageValues& values, int lang, std::uint8_t languageMask,
                         std::string_view modelName, SettingsReadBack* readBack) {
  if (readBack) {
    readBack->values.Clear();
    readBack->msw.clear();
  }
  for (const Row& r : kRows) {
    // The application list depends on the printer's languages and model;
    // without it the list shows its one fixed item.
    if (r.first == kSetApp) {
      if (lang != kLangChinese) c.SetCurrentIndex(kSetApp, 0);
      else FillAppList(c, languageMask, modelName);
    }
    auto it = values.find(r.var.name);
    if (!ApplySettingsAnswer(c, r.var.name, it == values.end() ? std::string_view() : std::string_view(it->second),
                             lang, readBack))
      return false;
  }
  return true;
}

namespace {

// Selects the list item whose text is `value`, as a user picks it.
EditResult PickItem(ControlModel& c, int id, const QString& value) {
  const int index = FindItemExact(c, id, value);
  if (index < 0) return {"fits no item", Items(c, id)};
  c.SetCurrentIndex(id, index);
  return {};
}

// Selects the item whose value on the wire is `value`.
EditResult PickIndex(ControlModel& c, int id, const QString& value, const IndexRule& rule) {
  QStringList values;
  for (int i = 0; i < c.ItemCount(id); ++i) values << rule.valueOf(i);
  const qsizetype at = values.indexOf(value);
  if (at < 0) return {"fits no item", values};
  c.SetCurrentIndex(id, static_cast<int>(at));
  return {};
}

EditResult PickRadio(ControlModel& c, int off0, int on1, const QString& value) {
  if (value == QLatin1String("0")) SelectRadio(c, off0, on1);
  else if (value == QLatin1String("1")) SelectRadio(c, on1, off0);
  else return {"fits no choice", {QStringLiteral("0"), QStringLiteral("1")}};
  return {};
}

}  // namespace

EditResult EditSettingsValue(ControlModel& c, std::string_view var, const QString& value, int lang) {
  const Row* row = RowOf(var);
  if (!row) return {"is not a settings variable", {}};
  if (row->layout == Layout::ChineseOnly && lang != kLangChinese)
    return {"is written on Chinese systems only (--lang zh)", {}};
  if (row->layout == Layout::WhereControl && !c.Has(row->first))
    return {"has no control on this layout (Chinese systems only)", {}};
  switch (row->kind) {
    case Kind::Text:
      c.SetText(row->first, value);
      return {};
    case Kind::Pair: {
      // Split where the Read splits it.
      const qsizetype cut = value.indexOf(QLatin1Char(row->split));
      c.SetText(row->first, cut < 0 ? value : value.left(cut));
      c.SetText(row->second, cut < 0 ? QString() : value.mid(cut + 1));
      return {};
    }
    case Kind::List:
      return PickItem(c, row->first, value);
    case Kind::Index:
      return PickIndex(c, row->first, value, *row->index);
    case Kind::Radio:
      return PickRadio(c, row->first, row->second, value);
    case Kind::Msw: {
      const std::string digits = value.toStdString();
      // The digits the page does not show go out as the printer gave them.
      if (digits.size() != static_cast<std::size_t>(kMswDigits) || !ApplyMswDigits(c, digits))
        return {"is not 16 hexadecimal digits", {}};
      return {};
    }
  }
  return {"is not a settings variable", {}};
}

SettingsWritePlan BuildSettingsWrite(const ControlModel& c, LineForm form, int langId,
                                     const SettingsReadBack* readBack) {
  SettingsWritePlan plan;
  WriteBuilder b(plan, c, form, langId, readBack ? &readBack->values : nullptr);
  for (const Row* row : WriteOrder()) {
    if (!OnThisPage(*row, c, langId)) continue;
    std::optional<std::string> msw;
    if (row->kind == Kind::Msw) {
      // A radio pair without a selected button gives no digits: the Write
      // is then not whole and ends before "msw".
      msw = BuildMswDigits(c);
      plan.complete = msw.has_value();
      if (!msw) continue;
    }
    bool kept = false;
    std::optional<std::string> bytes = b.AsRead(row->var, &kept, row->first);
    if (kept) continue;
    if (!bytes && msw) {
      // The digits and bits the page does not show stay as read.
      bytes = readBack && readBack->msw.size() == static_cast<std::size_t>(kMswDigits)
                  ? MergeMswDigits(*msw, readBack->msw)
                  : *msw;
    } else if (!bytes) {
      const std::optional<QString> text = ControlValue(*row, c);
      if (!text) continue;
      // A pair is named by the edit that holds what cannot go.
      const bool second = row->kind == Kind::Pair && TextToLineValue(c.Text(row->first), langId).ok();
      bytes = b.FromText(row->var.name, *text, second ? row->second : row->first);
    }
    if (bytes && (!bytes->empty() || row->sendEmpty)) b.TextLine(row->var, *bytes);
  }
  b.Finish();
  return plan;
}

}  // namespace deveder
