// The settings page's tables: control ids of dialog 144, the printer
// variables it exchanges, the words and numbers that stand for list entries
// on the wire, the application lists and the msw digit string.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "pages/core/control_model.h"
#include "protocol/command_line.h"

namespace deveder {

// ---- controls of dialog 144 ------------------------------------------------
inline constexpr int kSettingsDialogId = 144;
inline constexpr int kSetReadButton = 1016;
inline constexpr int kSetWriteButton = 1017;

inline constexpr int kSetDensity = 1022;       // list "0".."6", sorted
inline constexpr int kSetSpeed = 1024;         // list "0".."6", sorted
inline constexpr int kSetMedia = 1038;         // list, index <-> MediaWords
inline constexpr int kSetEncode = 1032;        // list
inline constexpr int kSetCodePage = 1041;      // list of CodePageNames
inline constexpr int kSetSliceOffset = 1026;   // edit, digits only
inline constexpr int kSetXOffset = 1028;       // edit, digits only
inline constexpr int kSetYOffset = 1029;       // edit, digits only
inline constexpr int kSetLineHeight = 1034;    // edit, digits only
inline constexpr int kSetPpl = 1071;           // list
inline constexpr int kSetMenuLang = 1096;      // list "英文", "中文"
inline constexpr int kSetWarnLoop = 1081;      // radio
inline constexpr int kSetWarnTriple = 1082;    // radio
inline constexpr int kSetCoverLocate = 1086;   // radio
inline constexpr int kSetCoverNoAction = 1087; // radio
inline constexpr int kSetMfg = 1105;           // edit
inline constexpr int kSetModel = 1089;         // edit
inline constexpr int kSetSerial = 1098;        // edit
inline constexpr int kSetUsbMfg = 1109;        // edit, first field of "usbd"
inline constexpr int kSetUsbModel = 1110;      // edit, second field of "usbd"
inline constexpr int kSetHeatSections = 1039;  // list "1".."9", sorted (Chinese layout only)
inline constexpr int kSetHeatTime = 1083;      // edit (Chinese layout only)
inline constexpr int kSetApp = 1035;           // list filled by FillAppList
inline constexpr int kSetAppNameCn = 1075;     // edit, Chinese display name
inline constexpr int kSetAppNameEn = 1076;     // edit, English display name
inline constexpr int kSetFontSize = 1103;      // list, ESC/POS font size
// The ESC/POS radio pairs (YES/first button, NO/second button).
inline constexpr int kSetRewindYes = 1093, kSetRewindNo = 1094;
inline constexpr int kSetSbcs = 1047, kSetMbcs = 1048;
inline constexpr int kSetBufferYes = 1111, kSetBufferNo = 1112;
inline constexpr int kSetFontCmdYes = 1115, kSetFontCmdNo = 1116;
inline constexpr int kSetFontSavedYes = 1057, kSetFontSavedNo = 1056;
inline constexpr int kSetEnlargeYes = 1099, kSetEnlargeNo = 1100;

// ---- printer variables -----------------------------------------------------
namespace setvar {
inline constexpr PrinterVar kModel{"model", -1, 0};
inline constexpr PrinterVar kMfg{"mfg", 0, 7};
inline constexpr PrinterVar kSn{"sn", 0, 9};
inline constexpr PrinterVar kUsbd{"usbd", 0, 10};
inline constexpr PrinterVar kDensity{"density", 0, 31};
inline constexpr PrinterVar kHeatSection{"heat_section", -1, 0};
inline constexpr PrinterVar kHeatTime{"heat_time", -1, 0};
inline constexpr PrinterVar kSpeed{"speed", 0, 32};
inline constexpr PrinterVar kMedia{"media", 0, 33};
inline constexpr PrinterVar kEncode{"encode", 0, 43};
inline constexpr PrinterVar kCodePage{"codepage", 0, 42};
inline constexpr PrinterVar kSliceOffset{"slice_offset", 0, 37};
inline constexpr PrinterVar kXOffset{"xoffset", 0, 34};
inline constexpr PrinterVar kYOffset{"yoffset", 0, 35};
inline constexpr PrinterVar kLineHeight{"line_height", 0, 44};
inline constexpr PrinterVar kPpl{"ppl", 0, 45};
inline constexpr PrinterVar kApp{"app", 0, 46};
inline constexpr PrinterVar kAppStr{"app_str", 0, 47};
inline constexpr PrinterVar kWarnFormat{"warn_format", 0, 51};
inline constexpr PrinterVar kCoverAction{"cover_action", 0, 50};
inline constexpr PrinterVar kMenuLang{"menu_lang", 0, 49};
inline constexpr PrinterVar kMsw{"msw", 0, 48};
}  // namespace setvar

// ---- media -----------------------------------------------------------------
// The word of each index of the media list; index 0 is receipt paper.
inline constexpr std::array<const char*, 5> kMediaWords = {"receipt", "label", "black_trans", "label_reflect",
                                                          "black"};
// Index of a reply: the word it equals exactly (letter case counts), else 0.
int MediaIndexOfReply(std::string_view reply);
// Word of a list index: indexes 1 to 4 their word, anything else "receipt".
const char* MediaWordOfIndex(int index);

// ---- code pages --------------------------------------------------------------
inline constexpr int kCodePageCount = 105;
// Caption of a row of the code page list (0 <= row < kCodePageCount).
const char* CodePageCaption(int row);
QStringList CodePageCaptions();
// The printer's number of a row: row + 1 below 93, row + 9907 from 93 on.
long CodePageNumberOfRow(int row);
// The row of a number: number - 1 for 1 to 93, number - 9907 for 10000 to
// 10011; -1 for every other number (0, 94 to 9999, above 10011).
int CodePageRowOfNumber(long number);

// ---- application list ----------------------------------------------------
inline constexpr const char* kAppStandardMode = "标准模式";
inline constexpr const char* kAppCommon = "Common";
extern const std::array<const char*, 15> kCpclAppNames;
extern const std::array<const char*, 12> kEscposModelAppNames;
extern const std::array<const char*, 3> kEscposAppNames;
extern const std::array<const char*, 2> kTsplAppNames;
extern const std::array<const char*, 3> kAppListModels;

// Rebuilds list 1035 from a language mask (CPCL 1, ESCPOS 2, TSPL 4) and a
// model name as the printer reported it (bytes, compared exactly). Nothing
// is selected afterwards.
void FillAppList(ControlModel& controls, std::uint8_t languageMask, std::string_view modelName);

// ---- msw digit string --------------------------------------------------------
inline constexpr int kMswDigits = 16;

// The digit string of the ESC/POS group and the font-size list: sixteen
// upper-case hexadecimal digits. nullopt when a radio pair has no selected
// button.
std::optional<std::string> BuildMswDigits(const ControlModel& controls);

// The digit string to write back over one as read: the switches the page
// shows come from `built` (BuildMswDigits), every other digit and bit stays
// as read. A digit whose value does not change keeps the character read
// (letter case included). `read` must be 16 hexadecimal digits.
std::string MergeMswDigits(std::string_view built, std::string_view read);

// Sets the ESC/POS group and the font-size list from a 16-byte reply. False,
// with no control changed, when the reply is not 16 bytes long or a byte is
// no hexadecimal digit.
bool ApplyMswDigits(ControlModel& controls, std::string_view reply);

}  // namespace deveder
