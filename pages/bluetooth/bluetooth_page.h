// The Bluetooth page: the printer's Bluetooth module (MAC address, friendly
// name, pairing PIN, module baud rate, class of device).
//
// Read fetches the five "bluetooth." variables; Update sends all five back
// and refuses to run until a Read has run to its end. Both end with a
// self-closing success box captioned with the page's tab title.
#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <vector>

#include "pages/core/page_logic.h"
#include "pages/core/page_values.h"
#include "pages/core/read_back.h"
#include "pages/core/write_values.h"
#include "protocol/command_line.h"

namespace deveder {

namespace bluetooth {

inline constexpr int kDialogId = 132;

// Controls of dialog 132.
inline constexpr int kAddressEdit = 1006;
inline constexpr int kNameEdit = 1011;
inline constexpr int kPinEdit = 1010;
inline constexpr int kBaudList = 1005;
inline constexpr int kCodList = 1008;
inline constexpr int kReadButton = 1004;
inline constexpr int kUpdateButton = 1007;

// The Bluetooth variables (group 1).
inline constexpr PrinterVar kVarAddress{"bluetooth.address", 1, 16};
inline constexpr PrinterVar kVarPin{"bluetooth.bluetooth_pin", 1, 17};
inline constexpr PrinterVar kVarName{"bluetooth.friendly_name", 1, 18};
inline constexpr PrinterVar kVarBaud{"bluetooth.baud", 1, 19};
inline constexpr PrinterVar kVarCod{"bluetooth.cod", 1, 20};

}  // namespace bluetooth

class ControlModel;

// What a reply does to the page: field 0-4 in read order (address, name,
// PIN, baud list, COD list); `count` reply bytes, 0 when none came.
void ApplyBluetoothReply(ControlModel& controls, int field, const char* reply, int count, int langId);

// The variables in the order a Read asks for them.
const std::vector<const char*>& BluetoothVariables();

// A whole Read's answers put into the controls in the Read's order (a
// variable absent got no answer). With `readBack`, what the Read got for
// each variable is recorded with the controls' state.
void ApplyBluetoothValues(ControlModel& controls, const PageValues& values, int langId, ReadBack* readBack);

// Update's lines for the controls, in the order address, name, PIN, baud
// rate, class of device. The first field that gives no value ends the lines
// (`missing` then holds its message; the lines before it still go). With
// `readBack`, a name or PIN left as the Read put it goes back as the printer
// gave it; an unchanged field the printer did not answer, a list entry that
// is not exactly the answer, or a value a line cannot carry, is kept by the
// printer (listed in `kept`, and no end of the lines). A field that cannot
// travel exactly refuses the plan: it then holds no line.
struct BluetoothWritePlan : WritePlan {
  const char* missing = nullptr;  // UTF-8
};
BluetoothWritePlan BuildBluetoothWrite(const ControlModel& controls, LineForm form, int langId,
                                       const ReadBack* readBack);

// A user's edit of one variable: the text of an edit (the address with or
// without colons) or a list item's own text. An empty value is refused:
// Update sends no field without one.
EditResult EditBluetoothValue(ControlModel& controls, std::string_view var, const QString& value);

class BluetoothPage : public PageLogic {
 public:
  int DialogId() const override { return bluetooth::kDialogId; }
  void OnCreate(PageContext& ctx) override;
  ControlResult OnControl(int id, ControlEvent event, PageContext& ctx) override;
  bool NeedsRead() const override { return !readOnce_; }
  ActionResult Read(PageContext& ctx) override { return ReadBluetoothSettings(ctx); }

  ActionResult ReadBluetoothSettings(PageContext& ctx);
  ActionResult WriteBluetoothSettings(PageContext& ctx);

  // True once a Read has run to its end; never cleared again.
  bool ReadOnce() const { return readOnce_; }
  // The page was read from the printer attached now, on the port chosen now.
  bool ReadFromThisPrinter(const PageContext& ctx) const {
    return readOnce_ && readAttachment_ == ctx.printer.attachment && readPort_ == ctx.link.portPath;
  }
  std::vector<KeptValue> KeptAtLastWrite() const override { return kept_; }
  const ReadBack& LastRead() const { return readBack_; }

 private:
  bool readOnce_ = false;
  std::uint32_t readAttachment_ = 0;
  QString readPort_;
  ReadBack readBack_;  // the three edits as read
  std::vector<KeptValue> kept_;
};

}  // namespace deveder
