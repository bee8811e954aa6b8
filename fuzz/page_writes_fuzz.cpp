// Random values in every text control of the settings, WiFi and Bluetooth
// pages, typed by the user or left as a Read put them: each Write plan is
// either refused with no line in it, or every line it holds is exactly a
// setvar line (prefix, one value without control bytes or quotes, closing
// quote, CR LF). A user's value a line cannot carry never slips through,
// and a printer's value left out is one no line could carry.
//
// Input: a first byte choosing the page, the language and the form; then per
// variable a header byte (bit 0: left as read, bit 1: the text is printer
// bytes rather than UTF-16 units) and per control of it a length byte and
// that many bytes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pages/bluetooth/bluetooth_page.h"
#include "pages/core/memory_controls.h"
#include "pages/core/read_back.h"
#include "pages/settings/settings_page.h"
#include "pages/settings/settings_tables.h"
#include "pages/wifi/wifi_page.h"
#include "protocol/line_value.h"
#include "protocol/text_codec.h"
#include "resources/dialogs.h"

using namespace deveder;

namespace {

struct VarControls {
  PrinterVar var;
  std::vector<int> ids;
};

std::vector<VarControls> SettingsVars(int lang) {
  std::vector<VarControls> v = {{setvar::kModel, {kSetModel}},
                                {setvar::kMfg, {kSetMfg}},
                                {setvar::kSn, {kSetSerial}},
                                {setvar::kUsbd, {kSetUsbMfg, kSetUsbModel}},
                                {setvar::kSliceOffset, {kSetSliceOffset}},
                                {setvar::kXOffset, {kSetXOffset}},
                                {setvar::kYOffset, {kSetYOffset}},
                                {setvar::kLineHeight, {kSetLineHeight}}};
  if (lang == kLangChinese) {
    v.push_back({setvar::kHeatTime, {kSetHeatTime}});
    v.push_back({setvar::kAppStr, {kSetAppNameEn, kSetAppNameCn}});
  }
  return v;
}

const std::vector<VarControls> kWifiVars = {
    {wifi::kVarAp, {wifi::kApSsid, wifi::kApPassword, wifi::kApIp, wifi::kApMask, wifi::kApGateway}},
    {wifi::kVarSta, {wifi::kStaSsid, wifi::kStaPassword, wifi::kStaIp, wifi::kStaMask, wifi::kStaGateway}}};
const std::vector<VarControls> kBluetoothVars = {{bluetooth::kVarAddress, {bluetooth::kAddressEdit}},
                                                 {bluetooth::kVarName, {bluetooth::kNameEdit}},
                                                 {bluetooth::kVarPin, {bluetooth::kPinEdit}}};

// The start of the variable's text line, up to its value's opening quote.
std::string Prefix(const PrinterVar& var, LineForm form) {
  const std::string line = *SetvarTextLine(var, form, "");
  return line.substr(0, line.size() - 3);
}

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
  std::uint8_t Byte() { return p_ < end_ ? *p_++ : 0; }
  std::string_view Bytes(std::size_t n) {
    n = std::min<std::size_t>(n, static_cast<std::size_t>(end_ - p_));
    std::string_view s(reinterpret_cast<const char*>(p_), n);
    p_ += n;
    return s;
  }

 private:
  const std::uint8_t* p_;
  const std::uint8_t* end_;
};

QString TextOf(std::string_view bytes, bool printerBytes, int lang) {
  if (printerBytes) return FromPrinterBytes(bytes, lang);
  return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.data()), static_cast<qsizetype>(bytes.size() / 2));
}

// One argument of a line: ` "` then bytes a line carries, then `"`.
bool TakeArgument(std::string_view& rest) {
  if (rest.size() < 3 || rest[0] != ' ' || rest[1] != '"') return false;
  std::size_t i = 2;
  while (i < rest.size() && rest[i] != '"') {
    if (!IsLineSafeByte(static_cast<unsigned char>(rest[i]))) return false;
    ++i;
  }
  if (i == rest.size()) return false;
  rest.remove_prefix(i + 1);
  return true;
}

// A setvar line with a name and a value (2 arguments) or a group, an index
// and a value (3), and nothing else.
bool WellShaped(const std::string& line) {
  static const std::string_view head = "\x1b\x1b! U1 setvar";
  std::string_view rest(line);
  if (rest.substr(0, head.size()) != head || rest.size() < head.size() + 2) return false;
  if (rest.substr(rest.size() - 2) != "\r\n") return false;
  rest = rest.substr(head.size(), rest.size() - head.size() - 2);
  int args = 0;
  while (!rest.empty()) {
    if (!TakeArgument(rest)) return false;
    ++args;
  }
  return args == 2 || args == 3;
}

// The line of `var` among `lines`; nullptr when there is none.
const std::string* LineOf(const std::vector<std::string>& lines, const PrinterVar& var, LineForm form) {
  const std::string prefix = Prefix(var, form);
  for (const std::string& l : lines)
    if (l.compare(0, prefix.size(), prefix) == 0) return &l;
  return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  Input in(data, size);
  const std::uint8_t choice = in.Byte();
  const int page = choice % 3;
  const int lang = (choice & 4) ? kLangChinese : kLangEnglish;
  const LineForm form = (choice & 8) ? LineForm::Named : LineForm::Numbered;

  // Built once: making the controls from their templates would cost more
  // than the plans themselves.
  static MemoryControls setZh(Dialog144(kLangChinese)), setEn(Dialog144(kLangEnglish));
  static MemoryControls wifiZh(Dialog162(kLangChinese)), wifiEn(Dialog162(kLangEnglish));
  static MemoryControls btZh(Dialog132(kLangChinese)), btEn(Dialog132(kLangEnglish));
  const bool zh = lang == kLangChinese;
  MemoryControls& c = page == 0 ? (zh ? setZh : setEn) : page == 1 ? (zh ? wifiZh : wifiEn) : (zh ? btZh : btEn);
  const std::vector<VarControls> vars = page == 0 ? SettingsVars(lang) : page == 1 ? kWifiVars : kBluetoothVars;

  ReadBack readBack;
  std::vector<std::pair<PrinterVar, std::string>> asRead;  // var, bytes
  std::vector<int> typed;                                   // controls the user typed into
  for (const VarControls& v : vars) {
    const std::uint8_t header = in.Byte();
    std::string bytes;
    for (int id : v.ids) {
      const std::string_view chunk = in.Bytes(in.Byte() % 48);
      c.SetText(id, TextOf(chunk, header & 2, lang));
      bytes += chunk;
    }
    if (header & 1) {
      // Left as the Read put it: the printer's bytes are what the Write uses.
      std::vector<int> ids = v.ids;
      switch (ids.size()) {
        case 1: readBack.Remember(v.var.name, bytes, c, {ids[0]}); break;
        case 2: readBack.Remember(v.var.name, bytes, c, {ids[0], ids[1]}); break;
        default: readBack.Remember(v.var.name, bytes, c, {ids[0], ids[1], ids[2], ids[3], ids[4]}); break;
      }
      asRead.emplace_back(v.var, bytes);
    }
    // The address goes from its edit, read or not, unless the printer keeps it.
    const bool address = v.var.name == std::string_view(bluetooth::kVarAddress.name);
    if (!(header & 1) || (address && FindUnsafeByte(bytes) == std::string::npos))
      typed.insert(typed.end(), v.ids.begin(), v.ids.end());
  }

  WritePlan plan;
  if (page == 0) {
    SettingsReadBack settingsBack{readBack, {}};
    plan = BuildSettingsWrite(c, form, lang, &settingsBack);
  } else if (page == 1) {
    plan = BuildWifiWrite(c, form, lang, &readBack);
  } else {
    plan = BuildBluetoothWrite(c, form, lang, &readBack);
  }

  if (plan.refused()) {
    if (!plan.lines.empty()) __builtin_trap();  // a refused Write sends nothing
    // No value here is long enough to pass a line, and only what the user
    // typed can refuse a Write (the printer's own values are kept instead).
    if (plan.tooLong) __builtin_trap();
    bool typedBadly = false;
    // A comma in a WiFi list field would split the list: refused as well.
    for (int id : typed)
      typedBadly = typedBadly || !TextToLineValue(c.Text(id), lang).ok() || (page == 1 && c.Text(id).contains(u','));
    if (!typedBadly) __builtin_trap();
    return 0;
  }
  for (const std::string& line : plan.lines)
    if (!WellShaped(line)) __builtin_trap();
  // What the user typed went whole, or the Write was refused. (The address
  // is sent without its colons, the rest as typed.)
  for (int id : typed)
    if (!TextToLineValue(c.Text(id), lang).ok()) __builtin_trap();
  // A value left with the printer is one no line could carry, and is not sent.
  for (const KeptValue& k : plan.kept) {
    if (FindUnsafeByte(k.bytes) == std::string::npos) __builtin_trap();
    bool known = false;
    for (const VarControls& v : vars) {
      if (k.var != v.var.name) continue;
      known = true;
      if (LineOf(plan.lines, v.var, form)) __builtin_trap();
    }
    if (!known) __builtin_trap();
  }
  // A value left as read that a line can carry goes back as it was read,
  // when its row is sent at all (a missing Bluetooth value ends the rows;
  // the address always goes without its colons).
  for (const auto& [var, bytes] : asRead) {
    if (FindUnsafeByte(bytes) != std::string::npos) continue;
    if (var.name == std::string_view(bluetooth::kVarAddress.name)) continue;
    const std::string* line = LineOf(plan.lines, var, form);
    if (line && *line != Prefix(var, form) + bytes + "\"\r\n") __builtin_trap();
  }
  return 0;
}
