// Dialog templates as data: one table per dialog and language, taken from the
// page descriptions. One builder (app/) turns a template into widgets, and the
// in-memory control model is built from the same table, so headless page
// logic sees exactly the controls the window has.
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace deveder {

enum class ControlKind {
  Label,         // static text
  GroupBox,
  PushButton,
  RadioButton,
  CheckBox,
  Edit,
  ComboEdit,     // combo box with an editable field
  ComboList,     // drop-down list
  ProgressBar,
  IpAddress,     // four-octet address field
  Tab,
};

// Style bits of a control.
enum ControlStyle : std::uint32_t {
  kStyleNone = 0,
  kStyleHidden = 1u << 0,      // not visible at first
  kStyleDisabled = 1u << 1,    // disabled at first
  kStyleDigitsOnly = 1u << 2,  // edit accepts 0-9 as typed input
  kStyleGroupStart = 1u << 3,  // radio button that starts a new exclusive group
  kStyleSorted = 1u << 4,      // list keeps its items sorted
  kStyleAutoHScroll = 1u << 5,
  kStyleReadOnly = 1u << 6,
  kStylePassword = 1u << 7,
  kStyleMultiLine = 1u << 8,
};

inline constexpr int kStaticId = 0xFFFF;  // labels without an id of their own

struct ControlTemplate {
  int id;                // resource id, or kStaticId
  ControlKind kind;
  std::uint32_t style;   // ControlStyle bits
  const char* caption;   // UTF-8, "" for none
  int x, y, w, h;        // dialog units
  const char* items;     // initial list items separated by '\n', or nullptr
};

struct DialogTemplate {
  int id;                // 102, 130, 132, ...
  int langId;            // 1033 or 2052
  const char* title;     // UTF-8, "" for child pages
  int width, height;     // dialog units
  int fontPoints;
  std::vector<ControlTemplate> controls;
};

// The template of a dialog in a language (2052 Chinese, anything else
// English). Every dialog exists in both languages.
const DialogTemplate& FindDialogTemplate(int dialogId, int langId);

// A field as the page labels it: the label in front of the control (or the
// control's own caption), after the caption of the group box around it when
// another label of the page reads the same ("STA Mode SSID"); a radio
// button by its group. Empty when the control has none of them.
QString FieldCaption(const DialogTemplate& dialog, int controlId);

// Pixel geometry of dialog units: x * avgCharWidth / 4, y * charHeight / 8.
struct DialogUnits {
  int avgCharWidth;
  int charHeight;
  int toPixelsX(int x) const { return x * avgCharWidth / 4; }
  int toPixelsY(int y) const { return y * charHeight / 8; }
};

}  // namespace deveder
