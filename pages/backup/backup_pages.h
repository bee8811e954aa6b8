// The three pages whose values a backup holds (settings, WiFi, Bluetooth),
// by their buttons and their own mapping between controls and variables:
// what a Write would send from the controls as they stand, and a user's
// edit of one variable. The window and deveder-cli both save, restore and
// verify through these; neither keeps a mapping of its own.
#pragma once

#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "pages/core/page_logic.h"
#include "pages/core/page_values.h"
#include "protocol/command_line.h"

namespace deveder {

// The lines a Write would send, and why it would stop before its last line
// (empty when it would not).
struct WriteLines {
  std::vector<std::string> lines;
  std::string stop;
  bool refused = false;  // by a value itself: one no line can carry, or one too long for its line
};

struct PageDef {
  const char* command;  // "settings", "wifi", "bt"
  const char* jsonKey;  // "settings", "wifi", "bluetooth"
  int readButton;
  int writeButton;
  std::vector<const char*> vars;                        // in output order
  std::vector<std::pair<const char*, int>> shownOnly;   // never written: the control shown
  std::function<std::unique_ptr<PageLogic>()> make;
  // Lists the Read fills from what the printer is: an edit of one can be
  // checked only after the Read.
  std::vector<const char*> filledByRead;
  // What the page's Write would send now.
  std::function<WriteLines(const PageLogic&, const ControlModel&, LineForm, int lang)> plan;
  // A user's edit of one variable.
  std::function<EditResult(ControlModel&, std::string_view, const QString&, int lang)> edit;
  // What the page's last Read got for each variable.
  std::function<const ReadBack&(const PageLogic&)> readBack;
};

const PageDef& SettingsDef();
const PageDef& WifiDef();
const PageDef& BluetoothDef();
const std::vector<const PageDef*>& AllPages();

// User edits by variable name, text as typed.
using Edits = std::map<std::string, QString>;

// Printer bytes of each variable; nullopt where the Write would send nothing.
using Values = std::map<std::string, std::optional<std::string>>;

// What the page's Write would send now, by variable. Shown-only variables
// carry the text their control shows.
Values CurrentValues(const PageDef& def, const PageLogic& logic, const ControlModel& controls, int lang);

// The key of a page's object that lists the variables left with the
// printer by a Write from the page as read: unanswered, or a value the page
// cannot show exactly.
inline constexpr const char* kLeftWithPrinterKey = "left_with_printer";

// A Read's values, and the variables it left with the printer.
struct PageRead {
  Values values;
  std::set<std::string> left;
};

// What the printer answered to the page's last Read, by variable: its bytes
// as they came, nullopt when it gave no answer. Variables the Read did not
// ask for carry what the page's Write would send. `left` gets the variables
// a Write would leave with the printer.
Values AnsweredValues(const PageDef& def, const PageLogic& logic, const ControlModel& controls, int lang,
                      std::set<std::string>& left);

// Whether `name` is one of the page's variables, and one it writes.
bool IsVar(const PageDef& def, const std::string& name);
bool IsShownOnly(const PageDef& def, const std::string& name);

// Puts user edits (text as typed) into the page's controls. Empty when all
// fit; otherwise one line per refused edit, naming it and what would fit.
std::string ApplyEdits(const PageDef& def, ControlModel& controls, const Edits& edits, int lang);

// Names every edit the page's Write would refuse, before the printer is
// asked anything: unknown and shown-only variables, values that fit no
// control, and values the Write's lines cannot carry (a control character,
// a character the code page lacks, a line too long). Empty when none.
std::string CheckEdits(const PageDef& def, const Edits& edits, int lang);

// Output: one JSON object, or aligned "name  value" lines.
// `left` is shown as a mark of its own: a list in the JSON object, a note
// after the value in the lines.
std::string ValuesJson(const PageDef& def, const Values& values, int lang, const std::set<std::string>& left = {});
std::string ValuesText(const PageDef& def, const Values& values, int lang, const std::set<std::string>& left = {});

}  // namespace deveder
