// The WiFi page: the printer's WLAN module (mode, DHCP, access-point and
// station parameters, power-on auto-connect, MAC and local address).
//
// READ fetches seven "wlan." variables, WRITE sends five of them back. Until
// a READ has run to its end, WRITE and the mode and DHCP radio buttons refuse
// to act.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pages/core/page_logic.h"
#include "pages/core/page_values.h"
#include "pages/core/read_back.h"
#include "pages/core/write_values.h"
#include "protocol/command_line.h"

namespace deveder {

namespace wifi {

inline constexpr int kDialogId = 162;

// Controls of dialog 162.
inline constexpr int kMacBox = 1189;
inline constexpr int kLocalIp = 1161;
inline constexpr int kModeSta = 1155;
inline constexpr int kModeAp = 1156;
inline constexpr int kModeBoth = 1157;
inline constexpr int kDhcpEnable = 1163;
inline constexpr int kDhcpDisable = 1164;
inline constexpr int kApSsid = 1166;
inline constexpr int kApPassword = 1171;
inline constexpr int kApIp = 1172;
inline constexpr int kApMask = 1173;
inline constexpr int kApGateway = 1174;
inline constexpr int kStaSsid = 1179;
inline constexpr int kStaPassword = 1184;
inline constexpr int kStaIp = 1185;
inline constexpr int kStaMask = 1186;
inline constexpr int kStaGateway = 1187;
inline constexpr int kAutoYes = 1191;
inline constexpr int kAutoNo = 1192;
inline constexpr int kReadButton = 1059;
inline constexpr int kWriteButton = 1060;

// The five fields of each list value, in the order they travel, their
// labels and the group boxes around them.
inline constexpr int kApFields[5] = {kApSsid, kApPassword, kApIp, kApMask, kApGateway};
inline constexpr int kStaFields[5] = {kStaSsid, kStaPassword, kStaIp, kStaMask, kStaGateway};
inline constexpr int kApLabels[5] = {1165, 1167, 1168, 1169, 1170};
inline constexpr int kStaLabels[5] = {1178, 1180, 1181, 1182, 1183};
inline constexpr int kApGroup = 1158;
inline constexpr int kStaGroup = 1159;

// The WLAN variables (group 2).
inline constexpr PrinterVar kVarAp{"wlan.ap", 2, 23};
inline constexpr PrinterVar kVarSta{"wlan.sta", 2, 24};
inline constexpr PrinterVar kVarMode{"wlan.mode", 2, 25};
inline constexpr PrinterVar kVarDhcp{"wlan.dhcp", 2, 26};
inline constexpr PrinterVar kVarApac{"wlan.apac", 2, 27};
inline constexpr PrinterVar kVarLip{"wlan.lip", 2, 28};
inline constexpr PrinterVar kVarMac{"wlan.mac", 2, 29};

}  // namespace wifi

class ControlModel;

// Enables and disables the AP, STA and auto-connect fields for a mode
// (1 station, 2 access point, 3 both) and a DHCP choice (1 on, 0 fixed
// address). Any other mode changes nothing. The AP mask and gateway stay
// disabled in every mode; the MAC box and local address are never touched.
void UpdateWifiControls(ControlModel& controls, int mode, int dhcpChoice);

// Puts the comma-separated pieces of a list answer ("wlan.ap", "wlan.sta")
// into its five fields. An empty piece ends the walk when `emptyEndsWalk`
// (the access-point list), else it leaves its field and the walk goes on.
void FillListFields(ControlModel& controls, const int* fields, std::string_view answer, bool emptyEndsWalk,
                    int langId);

// The variables in the order a Read asks for them.
const std::vector<const char*>& WifiVariables();
// The variable of that name; null for a name the page does not read.
const PrinterVar* WifiVariable(std::string_view name);

// The mode and DHCP choice the fields follow, as a Read leaves them: the
// mode the printer answered (none yet when it gave none) and the choices
// kept from before where an answer selected no button.
struct WifiChoice {
  std::optional<int> answeredMode;
  int mode = 0;
  int dhcpChoice = 0;
};

// Puts one answer of a Read into the controls, as the Read does (`answer`
// empty when none came). With `readBack`, what the Read got for each
// variable it writes back is recorded with the controls' state: the AP and
// STA lists with their bytes, a number with no button of its own as not
// shown.
void ApplyWifiAnswer(ControlModel& controls, std::string_view var, std::string_view answer, int langId,
                     WifiChoice& choice, ReadBack* readBack);
// A whole Read's answers, in the Read's order.
void ApplyWifiValues(ControlModel& controls, const PageValues& values, int langId, WifiChoice& choice,
                     ReadBack* readBack);

// WRITE's lines for the controls, in the order mode, DHCP, AP, STA,
// auto-connect. With `readBack`, a variable the user left as the READ put
// it goes back as the printer gave it; one the printer did not answer or
// the page cannot show exactly, or whose bytes a line cannot carry, is kept
// by the printer (listed in `kept`). A field that cannot travel exactly, or
// holds a comma, refuses the plan (the field named by its group and label):
// it then holds no line.
WritePlan BuildWifiWrite(const ControlModel& controls, LineForm form, int langId, const ReadBack* readBack);

// A user's edit of one variable: 1, 2 or 3 for the mode, 0 or 1 for DHCP
// and auto-connect, and for a list up to five comma-separated fields (an
// empty value empties all five). The MAC and local address are shown only.
EditResult EditWifiValue(ControlModel& controls, std::string_view var, const QString& value);

class WifiPage : public PageLogic {
 public:
  int DialogId() const override { return wifi::kDialogId; }
  void OnCreate(PageContext& ctx) override;
  ControlResult OnControl(int id, ControlEvent event, PageContext& ctx) override;
  bool NeedsRead() const override { return !readOnce_; }
  ActionResult Read(PageContext& ctx) override { return ReadWifiSettings(ctx); }

  ActionResult ReadWifiSettings(PageContext& ctx);
  ActionResult WriteWifiSettings(PageContext& ctx);

  // True once a READ has run to its end; never cleared again.
  bool ReadOnce() const { return readOnce_; }
  // The page was read from the printer attached now, on the port chosen now.
  bool ReadFromThisPrinter(const PageContext& ctx) const {
    return readOnce_ && readAttachment_ == ctx.printer.attachment && readPort_ == ctx.link.portPath;
  }
  const ReadBack& LastRead() const { return readBack_; }
  int Mode() const { return mode_; }
  int DhcpChoice() const { return dhcpChoice_; }
  std::vector<KeptValue> KeptAtLastWrite() const override { return kept_; }

 private:
  // A mode or DHCP radio button: refused with "please read first" until a
  // READ has run; otherwise the choice is kept and the fields follow it.
  void OnModeClicked(int id, int mode, PageContext& ctx);
  void OnDhcpClicked(int id, int choice, PageContext& ctx);

  bool readOnce_ = false;
  std::uint32_t readAttachment_ = 0;
  QString readPort_;
  ReadBack readBack_;  // the AP and STA lists as read
  std::vector<KeptValue> kept_;
  int mode_ = 0;
  int dhcpChoice_ = 0;
};

}  // namespace deveder
