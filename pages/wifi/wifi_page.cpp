#include "pages/wifi/wifi_page.h"

#include <QFile>
#include <algorithm>
#include <climits>
#include <functional>
#include <utility>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/port.h"
#include "pages/core/page_port.h"
#include "pages/core/control_model.h"
#include "protocol/printer_info.h"
#include "protocol/reply_channel.h"
#include "protocol/text_codec.h"
#include "resources/strings.h"
#include "pages/core/port_cause.h"

namespace deveder {

using namespace wifi;

namespace {

bool SendLine(PortHandle port, const std::string& line) {
  return PortWrite(port, line.data(), static_cast<int>(line.size())) == 0;
}

int ToInt(long v) { return static_cast<int>(std::clamp<long>(v, INT_MIN, INT_MAX)); }

// A WLAN answer as a C string: it ends at its terminating NUL.
std::string_view AnswerBytes(const char* buf, int count) {
  const void* nul = std::memchr(buf, '\0', static_cast<std::size_t>(count));
  return std::string_view(buf, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buf)
                                   : static_cast<std::size_t>(count));
}

int AnswerNumber(const char* buf, int count, int langId) {
  return ToInt(ParseDecimal(ReplyToText(buf, count, langId).toStdString()));
}

}  // namespace

// Puts the comma-separated pieces of a list answer into its five fields, the
// n-th piece into the n-th field. The walk ends after the piece with no comma
// behind it or after the fifth field. An empty piece either ends the walk
// (the access-point list) or leaves its field as it is and the walk goes on
// (the station list). Fields the walk does not reach keep their text.
void FillListFields(ControlModel& c, const int (&fields)[5], std::string_view answer, bool emptyEndsWalk,
                    int langId) {
  std::size_t pos = 0;
  for (int field : fields) {
    const std::size_t comma = answer.find(',', pos);
    const std::string_view piece =
        answer.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos);
    if (piece.empty()) {
      if (emptyEndsWalk) return;
    } else {
      c.SetText(field, ReplyToText(piece.data(), static_cast<int>(piece.size()), langId));
    }
    if (comma == std::string_view::npos) return;
    pos = comma + 1;
  }
}

namespace {

// The five field texts of a list value as printer bytes.
std::vector<std::string> ListItems(const ControlModel& c, const int (&fields)[5], int langId) {
  std::vector<std::string> items;
  for (int field : fields) items.push_back(ToPrinterBytes(c.Text(field), langId));
  return items;
}

bool AllEmpty(const std::vector<std::string>& items) {
  return std::all_of(items.begin(), items.end(), [](const std::string& s) { return s.empty(); });
}

}  // namespace

void UpdateWifiControls(ControlModel& c, int mode, int dhcpChoice) {
  if (mode < 1 || mode > 3) return;
  const bool ap = mode != 1;
  const bool sta = mode != 2;
  const bool fixedAddress = sta && dhcpChoice == 0;
  for (int id : {kApSsid, kApPassword, kApIp}) c.SetEnabled(id, ap);
  for (int id : {kApMask, kApGateway}) c.SetEnabled(id, false);
  for (int id : {kStaSsid, kStaPassword}) c.SetEnabled(id, sta);
  for (int id : {kStaIp, kStaMask, kStaGateway}) c.SetEnabled(id, fixedAddress);
  for (int id : {kAutoYes, kAutoNo}) c.SetEnabled(id, sta);
}

void WifiPage::OnCreate(PageContext& ctx) {
  readOnce_ = false;
  mode_ = 0;
  dhcpChoice_ = 0;
  for (int id : {kMacBox, kLocalIp, kApMask, kApGateway, kStaIp, kStaMask, kStaGateway})
    ctx.controls.SetEnabled(id, false);
}

bool WifiPage::OnControl(int id, ControlEvent event, PageContext& ctx) {
  if (event != ControlEvent::Clicked) return false;
  switch (id) {
    case kReadButton:
      ReadWifiSettings(ctx);
      return true;
    case kWriteButton:
      WriteWifiSettings(ctx);
      return true;
    case kModeSta:
      OnModeClicked(id, 1, ctx);
      return true;
    case kModeAp:
      OnModeClicked(id, 2, ctx);
      return true;
    case kModeBoth:
      OnModeClicked(id, 3, ctx);
      return true;
    case kDhcpEnable:
      OnDhcpClicked(id, 1, ctx);
      return true;
    case kDhcpDisable:
      OnDhcpClicked(id, 0, ctx);
      return true;
    case kAutoYes:
    case kAutoNo:
      // No action of their own: WRITE reads them.
      SelectRadio(ctx.controls, id, id == kAutoYes ? kAutoNo : kAutoYes);
      return true;
    default:
      return false;
  }
}

// A click selects its button in every case (the window has done so already;
// headless callers rely on it); only a read page acts on it.
void WifiPage::OnModeClicked(int id, int mode, PageContext& ctx) {
  SelectRadioOf(ctx.controls, {kModeSta, kModeAp, kModeBoth}, id - kModeSta);
  if (!readOnce_) {
    ctx.ui.ShowMessage(LoadString(kStrPleaseReadFirst, ctx.langId));
    return;
  }
  mode_ = mode;
  UpdateWifiControls(ctx.controls, mode_, dhcpChoice_);
}

void WifiPage::OnDhcpClicked(int id, int choice, PageContext& ctx) {
  SelectRadio(ctx.controls, id, id == kDhcpEnable ? kDhcpDisable : kDhcpEnable);
  if (!readOnce_) {
    ctx.ui.ShowMessage(LoadString(kStrPleaseReadFirst, ctx.langId));
    return;
  }
  dhcpChoice_ = choice;
  UpdateWifiControls(ctx.controls, mode_, dhcpChoice_);
}

void WifiPage::ReadWifiSettings(PageContext& ctx) {
  if (!TextConversionAvailable(ctx.langId)) {
    ctx.ui.ShowMessage(NoTextConversionMessage(ctx.langId));
    return;
  }
  ScopedPort port(OpenPagePort(ctx));
  if (!port.valid()) {
    ShowPortOpenFailure(ctx);
    return;
  }
  auto lost = [&] {
    port.Close();
    ctx.ui.ShowMessage(kMsgConnectionLost);
  };
  ReplyChannel channel(port.get());
  if (channel.Drain() == ReplyChannel::Outcome::Lost) return lost();
  if (!ctx.printer.named() && channel.Probe(ctx.printer) == ReplyChannel::Outcome::Lost) return lost();
  if (channel.Silent()) return lost();
  const LineForm form = FormForFlag(ctx.printer.namedFormFlag);
  ControlModel& c = ctx.controls;
  const int lang = ctx.langId;

  // An integer answer; nullopt when none came, which changes no button.
  auto number = [&](int n) -> std::optional<int> {
    if (n == 0) return std::nullopt;
    return AnswerNumber(channel.data(), n, lang);
  };
  auto remember = [&](const PrinterVar& var, int n, const int (&fields)[5]) {
    const std::string_view answer = AnswerBytes(channel.data(), n);
    if (answer.empty()) readBack_.Forget(var.name);
    else readBack_.Remember(var.name, std::string(answer), c, {fields[0], fields[1], fields[2], fields[3], fields[4]});
  };
  // The radio button checked of a group, as the value it stands for.
  auto checkedMode = [&] { return c.Checked(kModeSta) ? 1 : c.Checked(kModeAp) ? 2 : c.Checked(kModeBoth) ? 3 : mode_; };
  auto checkedDhcp = [&] { return c.Checked(kDhcpEnable) ? 1 : c.Checked(kDhcpDisable) ? 0 : dhcpChoice_; };

  // The seven variables in the order they are read, each with what its
  // answer (NUL-terminated on a WLAN module; 0 bytes when none came) does.
  std::optional<int> mode;
  const std::pair<PrinterVar, std::function<void(int)>> steps[] = {
      {kVarMac, [&](int n) { c.SetText(kMacBox, ReplyToText(channel.data(), n, lang)); }},
      {kVarLip, [&](int n) { c.SetText(kLocalIp, ReplyToText(channel.data(), n, lang)); }},
      {kVarMode,
       [&](int n) {
         mode = number(n);
         if (mode && *mode >= 1 && *mode <= 3) SelectRadioOf(c, {kModeSta, kModeAp, kModeBoth}, *mode - 1);
       }},
      {kVarDhcp,
       [&](int n) {
         const std::optional<int> dhcp = number(n);
         if (dhcp == 0) SelectRadio(c, kDhcpDisable, kDhcpEnable);
         if (dhcp == 1) SelectRadio(c, kDhcpEnable, kDhcpDisable);
         mode_ = mode ? *mode : checkedMode();
         dhcpChoice_ = dhcp ? *dhcp : checkedDhcp();
         UpdateWifiControls(c, mode_, dhcpChoice_);
       }},
      {kVarAp,
       [&](int n) {
         FillListFields(c, kApFields, AnswerBytes(channel.data(), n), true, lang);
         remember(kVarAp, n, kApFields);
       }},
      {kVarSta,
       [&](int n) {
         FillListFields(c, kStaFields, AnswerBytes(channel.data(), n), false, lang);
         remember(kVarSta, n, kStaFields);
       }},
      {kVarApac,
       [&](int n) {
         const std::optional<int> apac = number(n);
         if (apac == 0) SelectRadio(c, kAutoNo, kAutoYes);
         if (apac == 1) SelectRadio(c, kAutoYes, kAutoNo);
       }},
  };
  for (const auto& [var, apply] : steps) {
    if (channel.Ask(GetvarLine(var, form), true) == ReplyChannel::Outcome::Lost) return lost();
    // A printer that answered none of the first requests is not there to be
    // read: nothing on the page changes, and WRITE stays as it was.
    if (channel.Silent()) return lost();
    apply(channel.count());
  }
  readOnce_ = true;
}

void WifiPage::WriteWifiSettings(PageContext& ctx) {
  if (!TextConversionAvailable(ctx.langId)) {
    ctx.ui.ShowMessage(NoTextConversionMessage(ctx.langId));
    return;
  }
  ScopedPort port(OpenPagePort(ctx));
  if (!port.valid()) {
    ShowPortOpenFailure(ctx);
    return;
  }
  if (!readOnce_) {
    ctx.ui.ShowMessage(LoadString(kStrPleaseReadFirst, ctx.langId));
    return;
  }
  const LineForm form = FormForFlag(ctx.printer.namedFormFlag);
  const ControlModel& c = ctx.controls;

  // Each step yields the line to send, nothing (no line for this step), or a
  // refusal of a value too long for one line, which ends the write.
  auto send = [&](const std::string& line) {
    if (SendLine(port.get(), line)) return true;
    ctx.ui.ShowMessage(kMsgConnectionLost);
    return false;
  };
  auto sendList = [&](const PrinterVar& var, const int (&fields)[5]) {
    // Fields left as the READ put them go back as the printer gave them.
    const std::optional<std::string> asRead = readBack_.Unchanged(var.name, c);
    const std::vector<std::string> items = ListItems(c, fields, ctx.langId);
    if (!asRead && AllEmpty(items)) return true;
    const std::optional<std::string> line = asRead ? SetvarTextLine(var, form, *asRead) : SetvarListLine(var, form, items);
    if (!line) {
      ctx.ui.ShowMessage(ValueTooLongMessage(ctx.langId));
      return false;
    }
    return send(*line);
  };

  const int mode = c.Checked(kModeSta) ? 1 : c.Checked(kModeAp) ? 2 : c.Checked(kModeBoth) ? 3 : 0;
  if (mode != 0 && !send(SetvarIntLine(kVarMode, form, mode))) return;
  if ((c.Checked(kDhcpEnable) || c.Checked(kDhcpDisable)) &&
      !send(SetvarIntLine(kVarDhcp, form, c.Checked(kDhcpDisable) ? 0 : 1)))
    return;
  if (!sendList(kVarAp, kApFields)) return;
  if (!sendList(kVarSta, kStaFields)) return;
  if ((c.Checked(kAutoYes) || c.Checked(kAutoNo)) && !send(SetvarIntLine(kVarApac, form, c.Checked(kAutoNo) ? 0 : 1)))
    return;
  // The write reports nothing when it worked, so a printer that went away
  // during the last lines must be told here.
  if (!PortConfirmOutput(port.get())) ctx.ui.ShowMessage(kMsgConnectionLost);
}

}  // namespace deveder
