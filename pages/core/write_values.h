// What a Write sends, decided for every value before its first line goes
// out. A value the user left as the Read put it goes back as the printer's
// own bytes; when a line cannot carry those bytes (a control byte or a
// double quote, or too many for one line), when the printer gave no answer
// or when its controls cannot show it exactly, it is left out and the
// printer keeps it. Any other value is its control's text, which must
// travel exactly: a character a line cannot carry, or one the code page
// lacks, refuses the whole Write.
#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "protocol/command_line.h"
#include "protocol/line_value.h"

namespace deveder {

class ControlModel;
class ReadBack;
struct PageContext;

// A value the user gave that cannot travel in a command line: the action
// that would send it sends nothing.
struct ValueRefusal {
  QString field;  // the variable's name, or what the user knows the value as
  ValueFault fault = ValueFault::None;
  char32_t character = 0;
  // A comma typed into one field of a comma-separated list: the printer
  // would read one field more (`fault` is then None).
  bool splitsList = false;
  int control = 0;  // the control that holds the value; 0: none to name
};
// Names the field and the character, in the interface language.
QString ValueRefusalMessage(const ValueRefusal& refusal, int langId);
// The refusal of a converted value, when it cannot go.
std::optional<ValueRefusal> RefusalOf(const QString& field, const LineValue& value, int control = 0);

// Why a value the user left as the Read put it is not written.
enum class KeptWhy {
  Unsendable,  // the printer's bytes hold what a line cannot carry
  Unanswered,  // the printer gave no answer
  NotShown,    // the page cannot show it exactly, or it is too long for a line
};
// A value the user did not change that the Write leaves with the printer.
struct KeptValue {
  std::string var;
  std::string bytes;  // as read; empty when unanswered
  KeptWhy why = KeptWhy::Unsendable;
  int control = 0;  // the control that shows it; 0: none to name
};
// One notice, not an error: which values were left with the printer and
// why, in the interface language; each named by `name`, else as its
// variable.
QString KeptValuesMessage(const std::vector<KeptValue>& kept, int langId,
                          const std::function<QString(const KeptValue&)>& name = {});

// The two messages as a page shows them: each field named as the page's
// seam names it (the window: as the page labels it; deveder-cli: by its
// variable).
QString RefusalMessageOnPage(const PageContext& ctx, int dialogId, ValueRefusal refusal);
QString KeptValuesMessageOnPage(const PageContext& ctx, int dialogId, const std::vector<KeptValue>& kept);

// The lines of one Write, built from the controls before any is sent.
struct WritePlan {
  std::vector<std::string> lines;  // in order of sending; none when refused
  std::optional<ValueRefusal> refusal;
  const char* tooLong = nullptr;  // the variable whose line would pass 4095 bytes
  std::vector<KeptValue> kept;    // left out: the printer keeps them
  bool refused() const { return refusal.has_value() || tooLong != nullptr; }
};

// Builds a WritePlan value by value.
class WriteBuilder {
 public:
  // `readBack` may be null: every value is then the control's text.
  WriteBuilder(WritePlan& plan, const ControlModel& controls, LineForm form, int langId, const ReadBack* readBack);

  // While every control of `var` shows what the Read put there: the bytes
  // as read, or nothing with `*kept` set when the printer keeps the value
  // (unanswered, not shown as it is, or bytes no line can carry back; the
  // value is then recorded as kept). nullopt also when changed or when the
  // Read recorded nothing for it.
  // `control` shows the value.
  std::optional<std::string> AsRead(const PrinterVar& var, bool* kept, int control = 0);
  // A text of the user's, converted exactly; nullopt (and the refusal
  // recorded, the first one only) when it cannot go. `control` holds it.
  std::optional<std::string> FromText(const char* field, const QString& text, int control = 0);
  // Both in one: the value of `var` as read while unchanged, else `text`.
  // nullopt when kept or refused.
  std::optional<std::string> Value(const PrinterVar& var, const QString& text);
  // Records a refusal of the user's value (the first one only).
  void Refuse(ValueRefusal refusal);

  // Appends the line of bytes already decided (or records it as too long).
  void TextLine(const PrinterVar& var, const std::string& bytes);
  void Line(std::string line);

  // The lines are dropped once the Write is refused: nothing of it is sent.
  void Finish();
  bool Refused() const { return plan_.refused(); }
  LineForm form() const { return form_; }
  int lang() const { return lang_; }

 private:
  WritePlan& plan_;
  const ControlModel& controls_;
  LineForm form_;
  int lang_;
  const ReadBack* readBack_;
};

}  // namespace deveder
