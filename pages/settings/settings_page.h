// The settings page: the printer's general settings read and written as one
// set. A Read asks for every variable with one getvar line and puts each
// reply into its control; a Write sends the page's contents back, one setvar
// line per variable. Only a Read that got through all its steps unlocks the
// Write, for the rest of the run.
#pragma once

#include <string>
#include <vector>

#include "pages/core/page_logic.h"
#include "pages/core/page_values.h"
#include "pages/core/read_back.h"
#include "pages/core/write_values.h"
#include "pages/settings/settings_tables.h"
#include "protocol/command_line.h"

namespace deveder {

// The lines of one Write, built from the controls before any is sent.
struct SettingsWritePlan : WritePlan {
  // False when a radio pair of the ESC/POS group has no selected button:
  // "msw" is missing and the Write ends silently after the other lines.
  bool complete = true;
};

// What the last Read took from the printer, beyond what the controls show.
struct SettingsReadBack {
  ReadBack values;  // every variable the Read handled: answered, unanswered or not shown
  std::string msw;  // the 16 digits as read; empty when none were read
};

// The Write's lines for the controls in `form`. "app" and "app_str" belong
// to the set on a Chinese system (2052) only; the heating pair to the
// layouts that have its controls. With `readBack`, a variable the user left
// as the Read put it goes out with the bytes as read; one the printer did
// not answer, or whose value the page cannot show exactly (a word, number
// or index no item or button stands for, a value too long for its line, or
// bytes no line can carry) gets no line and is listed in `kept`, and "msw"
// keeps the digits the page does not show. A value that cannot travel
// exactly refuses the plan: it then holds no line.
SettingsWritePlan BuildSettingsWrite(const ControlModel& controls, LineForm form, int langId,
                                     const SettingsReadBack* readBack = nullptr);

// The variables in the order a Read asks for them ("model" comes from the
// probe and is first).
const std::vector<const char*>& SettingsVariables();
// The variables a Read asks the printer for on this layout and system, in
// order: SettingsVariables() without "model", the heating pair only where
// its controls are, "app" and "app_str" on a Chinese system only.
std::vector<PrinterVar> SettingsReadRequests(const ControlModel& controls, int langId);

// Puts one answer of a Read into the controls, as the Read does: `var` is
// one of SettingsVariables(), `answer` its bytes (empty when none came).
// With `readBack`, what the Read got is recorded with the controls' state.
// A variable that does not belong to this layout and system changes
// nothing. False for an "msw" answer that is a broken line (the Read stops
// there).
bool ApplySettingsAnswer(ControlModel& controls, std::string_view var, std::string_view answer, int langId,
                         SettingsReadBack* readBack);

// A whole Read's answers put into the controls in the Read's order. The
// application list is filled first, on a Chinese system, for the printer's
// languages and model name; "model" in `values` is the name the probe gave.
// False where the Read would have stopped.
bool ApplySettingsValues(ControlModel& controls, const PageValues& values, int langId, std::uint8_t languageMask,
                         std::string_view modelName, SettingsReadBack* readBack);

// A user's edit of one variable, as typed into or chosen on the page: text
// for an edit (empty allowed), an item's own text for a list, 0 or 1 for a
// radio pair, 16 hexadecimal digits for "msw". Nothing changes when refused.
EditResult EditSettingsValue(ControlModel& controls, std::string_view var, const QString& value, int langId);

class SettingsPage : public PageLogic {
 public:
  int DialogId() const override { return kSettingsDialogId; }
  // Clears the read-once flag and fills the code page and application lists.
  void OnCreate(PageContext& ctx) override;
  // Read (1016) and Write (1017).
  ControlResult OnControl(int id, ControlEvent event, PageContext& ctx) override;
  bool NeedsRead() const override { return !readOnce_; }
  ActionResult Read(PageContext& ctx) override { return OnReadSettings(ctx); }

  // Fills the page from the printer. Ok when every step ran: the
  // read-once flag is then set and "Read OK" shown. Every failure has shown
  // one message.
  ActionResult OnReadSettings(PageContext& ctx);
  // Sends the page to the printer. Ok when every line up to "msw" went
  // out and "Write OK" was shown.
  ActionResult OnWriteSettings(PageContext& ctx);

  bool ReadOnce() const { return readOnce_; }
  // The page was read from the printer attached now, on the port chosen now.
  bool ReadFromThisPrinter(const PageContext& ctx) const {
    return readOnce_ && readAttachment_ == ctx.printer.attachment && readPort_ == ctx.link.portPath;
  }
  const SettingsReadBack& LastRead() const { return readBack_; }
  std::vector<KeptValue> KeptAtLastWrite() const override { return kept_; }

 private:
  bool readOnce_ = false;
  std::uint32_t readAttachment_ = 0;
  QString readPort_;
  SettingsReadBack readBack_;
  std::vector<KeptValue> kept_;
};

}  // namespace deveder
