// The logic of one page, free of widgets. The window's page classes (and the
// command-line tool) hand it the page's events by control id.
#pragma once

#include <optional>
#include <vector>

#include "pages/core/action_result.h"
#include "pages/core/page_context.h"
#include "pages/core/write_values.h"

namespace deveder {

enum class ControlEvent {
  Clicked,          // push button, radio button or check box pressed
  SelectionChanged, // a list box's selection changed by the user
  TextEdited,       // an edit's text changed by the user
};

// What a control event did: whether the page handled it, and the result of
// the action it ran, if it ran one.
struct ControlResult {
  bool handled = false;
  std::optional<ActionResult> action;

  static ControlResult Unhandled() { return {}; }
  static ControlResult Handled() { return {true, std::nullopt}; }
  static ControlResult Ran(ActionResult result) { return {true, std::move(result)}; }
  explicit operator bool() const { return handled; }
};

class PageLogic {
 public:
  virtual ~PageLogic() = default;
  // The page's dialog id (144, 132, ...).
  virtual int DialogId() const = 0;
  // After the template's controls exist: fill lists, clear flags.
  virtual void OnCreate(PageContext& ctx) { (void)ctx; }
  // A user event on a control: unhandled, or handled with the result of the
  // action it ran.
  virtual ControlResult OnControl(int id, ControlEvent event, PageContext& ctx) = 0;
  // Pages read when first shown (settings, Bluetooth, WiFi): true while the
  // read-once flag is clear.
  virtual bool NeedsRead() const { return false; }
  // The page's read, run by the main window and the communication page.
  virtual ActionResult Read(PageContext& ctx) { (void)ctx; return {}; }
  // The printer's own values the last Write left out because a line cannot
  // carry them back (the printer keeps them).
  virtual std::vector<KeptValue> KeptAtLastWrite() const { return {}; }
};

}  // namespace deveder
