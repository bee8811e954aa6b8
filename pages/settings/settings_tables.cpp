#include "pages/settings/settings_tables.h"

#include "protocol/printer_info.h"

namespace deveder {

namespace {

// Row i carries number i + 1 (rows 0 to 92) or i + 9907 (rows 93 to 104).
// Numbers 92 and 93 share their caption.
constexpr std::array<const char*, kCodePageCount> kCodePageNames = {
    "CP437(U.S.A,Standard Europe)", "Katakana", "CP720(Arabic)", "CP737(Greek)", "CP755",
    "CP772(Lithuanian)", "CP774(Lithuanian)", "CP775(Baltic)", "CP850(Multilingual)", "CP851(Greek1)",
    "CP852(Latin2)", "CP853(Turkish)", "CP854", "CP855(Cyrillic)", "CP856",
    "CP857(Turkish)", "CP858(Euro)", "CP859", "CP860(Portuguese)", "CP861(Icelandic)",
    "CP862(Hebrew)", "CP863(Canadian/French)", "CP864(Arabic)", "CP865(Nordic)", "CP866(Cyrillic #2)",
    "CP867", "CP868", "CP869(Greek2)", "CP874(Thai)", "CP928(Greek)",
    "CP1098(Farsi)", "CP1001(Arabic)", "CP1118", "CP1119", "CP1125",
    "WPC1250(Latin2)", "WPC1251(Cyrillic)", "WPC1252(Latin)", "WPC1253(Greek)", "WPC1254(Turkish)",
    "WPC1255(Hebrew)", "WPC1256(Arabic)", "WPC1257(Baltic Rim)", "WPC1258(Vietnamese)", "CP2001",
    "CP3001", "CP3002", "CP3011", "CP3012", "CP3021",
    "CP3041", "CP3840", "CP3841", "CP3842", "CP3843",
    "CP3844", "CP3845", "CP3846", "CP3847", "CP3848",
    "CP3849", "ISO8859-1(Latin1)", "ISO8859-2(Latin2)", "ISO8859-3(Latin3)", "ISO8859-4(Baltic)",
    "ISO8859-5(Cyrillic)", "ISO8859-6(Arabic)", "ISO8859-7(Greek)", "ISO8859-8(Hebrew)", "ISO8859-9(Turkish)",
    "ISO8859-10(Latin6)", "ISO8859-13(Estonian)", "ISO8859-15(Latin9)", "TCVN3_S", "TCVN3_C",
    "KZ1048", "TIS11", "TIS13", "TIS14", "TIS16",
    "TIS17", "TIS18", "KU42", "MIK", "IRAN",
    "IRAN II", "LATVIAN", "ABICOMP", "MONGOLIAN", "VISCII",
    "Hirakana", "Simplified Kanji", "Simplified Kanji", "utf8", "gbk",
    "gb2312", "gb18030", "gb13000", "big5", "shift-jis",
    "jis", "euc-kr", "utf16B", "utf16L", "euc",
};

constexpr int kFirstHighRow = 93;       // the first row of the 10000 range
constexpr long kHighRowOffset = 9907;   // row 93 is number 10000

// The ESC/POS radio pairs: first button, second button.
constexpr std::array<std::array<int, 2>, 6> kEscposPairs = {{
    {kSetRewindYes, kSetRewindNo},
    {kSetSbcs, kSetMbcs},
    {kSetBufferYes, kSetBufferNo},
    {kSetFontCmdYes, kSetFontCmdNo},
    {kSetFontSavedYes, kSetFontSavedNo},
    {kSetEnlargeYes, kSetEnlargeNo},
}};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Selects `set` when `bitSet`, otherwise `clear`, and deselects the other.
void SetPair(ControlModel& m, bool bitSet, int set, int clear) {
  if (bitSet) SelectRadio(m, set, clear);
  else SelectRadio(m, clear, set);
}

template <std::size_t N>
void AddAll(ControlModel& m, int id, const std::array<const char*, N>& names) {
  for (const char* n : names) m.AddItem(id, QString::fromUtf8(n));
}

}  // namespace

const std::array<const char*, 15> kCpclAppNames = {
    "取件码", "通用快递", "兔喜", "韵达超市", "行者", "优速快递", "中通快运", "邮政快递",
    "EMS邮政", "ESC物流", "云店主", "宸芯科技", "来取", "溪鸟", "快递+"};
const std::array<const char*, 12> kEscposModelAppNames = {
    "百世快运", "飞豹快运", "中铁快递", "壹米滴答", "速尔快递", "商单",
    "管家婆物流", "华师傅", "SAMPLE PRINTER", "博驰物流", "商道软件", "信丰物流"};
const std::array<const char*, 3> kEscposAppNames = {"伊利云商", "货销宝", "云销宝"};
const std::array<const char*, 2> kTsplAppNames = {"熊猫快收", "驿站小扁担"};
const std::array<const char*, 3> kAppListModels = {"TQ210", "TQ250", "TQ250L"};

int MediaIndexOfReply(std::string_view reply) {
  for (std::size_t i = 1; i < kMediaWords.size(); ++i)
    if (reply == kMediaWords[i]) return static_cast<int>(i);
  return 0;
}

const char* MediaWordOfIndex(int index) {
  return index >= 1 && index < static_cast<int>(kMediaWords.size()) ? kMediaWords[static_cast<std::size_t>(index)]
                                                                     : kMediaWords[0];
}

const char* CodePageCaption(int row) {
  return row >= 0 && row < kCodePageCount ? kCodePageNames[static_cast<std::size_t>(row)] : "";
}

QStringList CodePageCaptions() {
  QStringList out;
  for (const char* c : kCodePageNames) out << QString::fromUtf8(c);
  return out;
}

long CodePageNumberOfRow(int row) { return row < kFirstHighRow ? row + 1L : row + kHighRowOffset; }

int CodePageRowOfNumber(long number) {
  // 1 to 93 and 10000 to 10011 are the only numbers with a row; 94 to 9999
  // would otherwise land on the rows of the 10000 range.
  if (number >= 1 && number <= kFirstHighRow) return static_cast<int>(number - 1);
  if (number >= kFirstHighRow + kHighRowOffset && number < kCodePageCount + kHighRowOffset)
    return static_cast<int>(number - kHighRowOffset);
  return -1;
}

void FillAppList(ControlModel& controls, std::uint8_t languageMask, std::string_view modelName) {
  controls.ClearItems(kSetApp);
  controls.AddItem(kSetApp, QString::fromUtf8(kAppStandardMode));
  if (languageMask & kLangCpcl) {
    // A CPCL printer has no standard mode: its own names replace it.
    controls.ClearItems(kSetApp);
    AddAll(controls, kSetApp, kCpclAppNames);
  }
  if (languageMask & kLangEscpos) {
    bool listed = false;
    for (const char* m : kAppListModels) listed = listed || modelName == m;
    if (listed) AddAll(controls, kSetApp, kEscposModelAppNames);
    else AddAll(controls, kSetApp, kEscposAppNames);
  }
  if (languageMask & kLangTspl) AddAll(controls, kSetApp, kTsplAppNames);
  controls.SetCurrentIndex(kSetApp, -1);
}

std::optional<std::string> BuildMswDigits(const ControlModel& controls) {
  for (const auto& pair : kEscposPairs)
    if (!controls.Checked(pair[0]) && !controls.Checked(pair[1])) return std::nullopt;
  int d[kMswDigits] = {};
  d[0] = (controls.Checked(kSetFontCmdNo) ? 4 : 0) + (controls.Checked(kSetFontSavedYes) ? 2 : 0) +
         (controls.Checked(kSetMbcs) ? 1 : 0);
  // No selection counts as index -1, whose low two bits are 3.
  d[1] = (controls.Checked(kSetRewindNo) ? 4 : 0) + (controls.CurrentIndex(kSetFontSize) & 3);
  d[2] = (controls.Checked(kSetEnlargeNo) ? 8 : 0) + (controls.Checked(kSetBufferYes) ? 2 : 0);
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (int v : d) out += kHex[v & 0xF];
  return out;
}

std::string MergeMswDigits(std::string_view built, std::string_view read) {
  // The bits of the first three digits that the page's switches set.
  static constexpr int kShown[3] = {0x7, 0x7, 0xA};
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out(read);
  for (int i = 0; i < 3 && i < static_cast<int>(built.size()) && i < static_cast<int>(read.size()); ++i) {
    const int was = HexValue(read[static_cast<std::size_t>(i)]);
    const int now = HexValue(built[static_cast<std::size_t>(i)]);
    if (was < 0 || now < 0) continue;
    const int merged = (was & ~kShown[i]) | (now & kShown[i]);
    if (merged != was) out[static_cast<std::size_t>(i)] = kHex[merged];
  }
  return out;
}

bool ApplyMswDigits(ControlModel& controls, std::string_view reply) {
  if (reply.size() != static_cast<std::size_t>(kMswDigits)) return false;
  int d[kMswDigits];
  for (int i = 0; i < kMswDigits; ++i) {
    d[i] = HexValue(reply[static_cast<std::size_t>(i)]);
    if (d[i] < 0) return false;
  }
  SetPair(controls, d[0] & 4, kSetFontCmdNo, kSetFontCmdYes);
  SetPair(controls, d[0] & 2, kSetFontSavedYes, kSetFontSavedNo);
  SetPair(controls, d[0] & 1, kSetMbcs, kSetSbcs);
  SetPair(controls, d[1] & 4, kSetRewindNo, kSetRewindYes);
  controls.SetCurrentIndex(kSetFontSize, d[1] & 3);
  SetPair(controls, d[2] & 8, kSetEnlargeNo, kSetEnlargeYes);
  SetPair(controls, d[2] & 2, kSetBufferYes, kSetBufferNo);
  return true;
}

}  // namespace deveder
