#include "protocol/text_codec.h"
#include "resources/dialogs.h"

namespace deveder {

namespace {

// The fixed lists, the same Chinese texts in both languages. The code page
// and application lists are filled by the page.
constexpr const char* kDigits0To6 = "0\n1\n2\n3\n4\n5\n6";
constexpr const char* kMediaItems = "票据\n标签 穿透\n黑标 穿透\n标签 反射\n黑标 反射";
constexpr const char* kEncodeItems = "auto\ngbk\nbig5\neuc\nshift-jis\nutf8\ngb18030";
constexpr const char* kPplItems = "auto\ncpcl\nescpos\ntspl";
constexpr const char* kMenuLangItems = "英文\n中文";
constexpr const char* kFontSizeItems = "标准\n倍宽\n倍高\n倍宽倍高";
constexpr const char* kHeatSectionItems = "1\n2\n3\n4\n5\n6\n7\n8\n9";

constexpr ControlKind L = ControlKind::Label;
constexpr ControlKind G = ControlKind::GroupBox;
constexpr ControlKind R = ControlKind::RadioButton;
constexpr ControlKind E = ControlKind::Edit;
constexpr ControlKind C = ControlKind::ComboList;
constexpr ControlKind B = ControlKind::PushButton;
constexpr std::uint32_t kFirst = kStyleGroupStart;
constexpr std::uint32_t kDigits = kStyleDigitsOnly | kStyleAutoHScroll;
constexpr std::uint32_t kText = kStyleAutoHScroll;

}  // namespace

// The settings page. Left column: print settings and the warning and cover
// radio groups; middle: the ESC/POS group; right: identity strings, the USB
// descriptor strings, the heating group (Chinese layout only) and the
// application group. Each radio pair is one exclusive choice.
const DialogTemplate& Dialog144(int langId) {
  static const DialogTemplate en{144, kLangEnglish, "", 360, 221, 8, {
      {1021, L, kStyleNone, "Density", 13, 9, 35, 8, nullptr},
      {1022, C, kStyleSorted, "", 52, 6, 48, 30, kDigits0To6},
      {1023, L, kStyleNone, "Speed", 14, 22, 33, 8, nullptr},
      {1024, C, kStyleSorted, "", 52, 20, 48, 30, kDigits0To6},
      {1037, L, kStyleNone, "PaperType", 13, 36, 36, 8, nullptr},
      {1038, C, kStyleNone, "", 52, 34, 48, 30, kMediaItems},
      {1031, L, kStyleNone, "Encode", 13, 51, 35, 8, nullptr},
      {1032, C, kStyleNone, "", 52, 48, 48, 30, kEncodeItems},
      {1040, L, kStyleNone, "Codepage", 12, 64, 36, 8, nullptr},
      {1041, C, kStyleNone, "", 52, 62, 48, 30, nullptr},
      {1025, L, kStyleNone, "SliceOffset", 13, 79, 35, 8, nullptr},
      {1026, E, kDigits, "", 52, 76, 48, 14, nullptr},
      {1027, L, kStyleNone, "HorOffset", 13, 95, 35, 8, nullptr},
      {1028, E, kDigits, "", 52, 92, 48, 14, nullptr},
      {1030, L, kStyleNone, "VerOffset", 12, 110, 36, 8, nullptr},
      {1029, E, kDigits, "", 52, 108, 48, 14, nullptr},
      {1033, L, kStyleNone, "LineHeight", 13, 126, 35, 8, nullptr},
      {1034, E, kDigits, "", 52, 124, 48, 14, nullptr},
      {1070, L, kStyleNone, "PPL", 18, 142, 28, 8, nullptr},
      {1071, C, kStyleNone, "", 52, 139, 48, 12, kPplItems},
      {1077, L, kStyleNone, "MenuLang", 13, 155, 35, 8, nullptr},
      {1096, C, kStyleNone, "", 52, 153, 48, 30, kMenuLangItems},
      {1080, G, kStyleNone, "WarnFormat", 13, 167, 97, 24, nullptr},
      {1081, R, kFirst, "Loop", 18, 177, 33, 10, nullptr},
      {1082, R, kStyleNone, "Triple", 64, 177, 33, 10, nullptr},
      {1085, G, kStyleNone, "ActionAfterCoverClosed", 13, 192, 97, 24, nullptr},
      {1086, R, kFirst, "Locate", 18, 202, 33, 10, nullptr},
      {1087, R, kStyleNone, "No Action", 64, 202, 42, 10, nullptr},
      {1095, G, kStyleNone, "ESCPOS", 111, 6, 111, 209, nullptr},
      {1092, G, kStyleNone, "PreRewindInBlackMode", 121, 16, 90, 25, nullptr},
      {1093, R, kFirst, "YES", 127, 28, 28, 10, nullptr},
      {1094, R, kStyleNone, "NO", 171, 28, 26, 10, nullptr},
      {1046, G, kStyleNone, "CharacterMode", 121, 43, 90, 25, nullptr},
      {1047, R, kFirst, "SBCS", 127, 55, 33, 10, nullptr},
      {1048, R, kStyleNone, "MBCS", 171, 55, 34, 10, nullptr},
      {1113, G, kStyleNone, "PrintPrintBuffer", 121, 71, 90, 28, nullptr},
      {1111, R, kFirst, "YES", 127, 85, 28, 10, nullptr},
      {1112, R, kStyleNone, "NO", 171, 84, 26, 10, nullptr},
      {1114, G, kStyleNone, "SelectFontCmdEnable", 121, 103, 90, 25, nullptr},
      {1115, R, kFirst, "YES", 127, 115, 28, 10, nullptr},
      {1116, R, kStyleNone, "NO", 171, 115, 26, 10, nullptr},
      {1055, G, kStyleNone, "FontSetupSaved", 121, 130, 90, 25, nullptr},
      {1057, R, kFirst, "YES", 127, 142, 28, 10, nullptr},
      {1056, R, kStyleNone, "NO", 172, 140, 26, 10, nullptr},
      {1101, G, kStyleNone, "1D21 FontEnlargeEnable", 121, 157, 89, 25, nullptr},
      {1099, R, kFirst, "YES", 128, 169, 29, 10, nullptr},
      {1100, R, kStyleNone, "NO", 173, 167, 26, 10, nullptr},
      {1102, L, kStyleNone, "FontSize", 123, 191, 35, 8, nullptr},
      {1103, C, kStyleNone, "", 162, 189, 48, 30, kFontSizeItems},
      {1104, L, kStyleNone, "MFG", 234, 9, 21, 8, nullptr},
      {1105, E, kText, "", 255, 5, 80, 14, nullptr},
      {1088, L, kStyleNone, "MDL", 234, 24, 21, 8, nullptr},
      {1089, E, kText, "", 255, 20, 80, 14, nullptr},
      {1097, L, kStyleNone, "SN", 234, 37, 21, 8, nullptr},
      {1098, E, kText, "", 255, 35, 80, 14, nullptr},
      {1106, G, kStyleNone, "USB Device", 237, 57, 106, 47, nullptr},
      {1107, L, kStyleNone, "MFG", 246, 70, 15, 8, nullptr},
      {1109, E, kText, "", 267, 67, 65, 14, nullptr},
      {1108, L, kStyleNone, "MDL", 246, 88, 14, 8, nullptr},
      {1110, E, kText, "", 267, 85, 66, 14, nullptr},
      {1036, G, kStyleNone, "APP", 236, 110, 107, 73, nullptr},
      {1035, C, kStyleNone, "", 253, 120, 79, 30, nullptr},
      {1043, G, kStyleNone, "Name", 240, 136, 97, 44, nullptr},
      {1073, L, kStyleNone, "CN", 245, 149, 13, 8, nullptr},
      {1075, E, kText, "", 264, 146, 68, 14, nullptr},
      {1074, L, kStyleNone, "EN", 246, 165, 13, 8, nullptr},
      {1076, E, kText, "", 264, 163, 68, 14, nullptr},
      {1016, B, kStyleNone, "Read", 234, 195, 50, 14, nullptr},
      {1017, B, kStyleNone, "Write", 293, 195, 50, 14, nullptr},
  }};
  static const DialogTemplate zh{144, kLangChinese, "", 360, 231, 8, {
      {1021, L, kStyleNone, "浓度", 13, 7, 35, 8, nullptr},
      {1022, C, kStyleSorted, "", 52, 4, 48, 30, kDigits0To6},
      {1023, L, kStyleNone, "速度", 14, 20, 33, 8, nullptr},
      {1024, C, kStyleSorted, "", 52, 18, 48, 30, kDigits0To6},
      {1037, L, kStyleNone, "纸张类型", 14, 34, 33, 8, nullptr},
      {1038, C, kStyleNone, "", 52, 32, 48, 30, kMediaItems},
      {1031, L, kStyleNone, "编码类型", 13, 49, 35, 8, nullptr},
      {1032, C, kStyleNone, "", 52, 46, 48, 30, kEncodeItems},
      {1040, L, kStyleNone, "代码页", 18, 62, 29, 8, nullptr},
      {1041, C, kStyleNone, "", 52, 60, 48, 30, nullptr},
      {1025, L, kStyleNone, "撕纸位置", 13, 77, 35, 8, nullptr},
      {1026, E, kDigits, "", 52, 74, 48, 14, nullptr},
      {1027, L, kStyleNone, "横向偏移", 13, 93, 35, 8, nullptr},
      {1028, E, kDigits, "", 52, 90, 48, 14, nullptr},
      {1030, L, kStyleNone, "纵向偏移", 12, 108, 36, 8, nullptr},
      {1029, E, kDigits, "", 52, 106, 48, 14, nullptr},
      {1033, L, kStyleNone, "默认行高", 13, 124, 35, 8, nullptr},
      {1034, E, kDigits, "", 52, 122, 48, 14, nullptr},
      {1070, L, kStyleNone, "打印语言", 13, 140, 35, 8, nullptr},
      {1071, C, kStyleNone, "", 52, 138, 48, 12, kPplItems},
      {1077, L, kStyleNone, "菜单语言", 13, 154, 35, 8, nullptr},
      {1096, C, kStyleNone, "", 52, 152, 48, 30, kMenuLangItems},
      {1080, G, kStyleNone, "警告模式", 11, 192, 97, 24, nullptr},
      {1081, R, kFirst, "循环", 17, 202, 33, 10, nullptr},
      {1082, R, kStyleNone, "三次", 63, 202, 33, 10, nullptr},
      {1085, G, kStyleNone, "合盖操作", 11, 168, 97, 24, nullptr},
      {1086, R, kFirst, "定位", 17, 178, 33, 10, nullptr},
      {1087, R, kStyleNone, "不动作", 63, 178, 42, 10, nullptr},
      {1095, G, kStyleNone, "ESCPOS", 113, 6, 107, 204, nullptr},
      {1092, G, kStyleNone, "黑标打印前回退", 121, 19, 90, 25, nullptr},
      {1093, R, kFirst, "YES", 127, 31, 28, 10, nullptr},
      {1094, R, kStyleNone, "NO", 171, 31, 26, 10, nullptr},
      {1046, G, kStyleNone, "字符", 121, 46, 90, 25, nullptr},
      {1047, R, kFirst, "SBCS", 127, 58, 33, 10, nullptr},
      {1048, R, kStyleNone, "MBCS", 171, 58, 34, 10, nullptr},
      {1113, G, kStyleNone, "打印缓冲区数据", 119, 74, 91, 27, nullptr},
      {1111, R, kFirst, "YES", 127, 88, 28, 10, nullptr},
      {1112, R, kStyleNone, "NO", 171, 88, 26, 10, nullptr},
      {1114, G, kStyleNone, "指令修改字体", 119, 105, 91, 25, nullptr},
      {1115, R, kFirst, "YES", 127, 117, 28, 10, nullptr},
      {1116, R, kStyleNone, "NO", 172, 117, 26, 10, nullptr},
      {1055, G, kStyleNone, "字体设置保存", 119, 132, 92, 25, nullptr},
      {1057, R, kFirst, "YES", 127, 144, 28, 10, nullptr},
      {1056, R, kStyleNone, "NO", 172, 144, 26, 10, nullptr},
      {1101, G, kStyleNone, "指令放大字体", 119, 161, 92, 25, nullptr},
      {1099, R, kFirst, "YES", 127, 172, 29, 10, nullptr},
      {1100, R, kStyleNone, "NO", 173, 172, 26, 10, nullptr},
      {1102, L, kStyleNone, "字符放大", 122, 193, 35, 8, nullptr},
      {1103, C, kStyleNone, "", 160, 191, 48, 30, kFontSizeItems},
      {1104, L, kStyleNone, "厂商", 234, 8, 25, 8, nullptr},
      {1105, E, kText, "", 262, 5, 73, 14, nullptr},
      {1088, L, kStyleNone, "机型", 233, 23, 26, 8, nullptr},
      {1089, E, kText, "", 262, 20, 73, 14, nullptr},
      {1097, L, kStyleNone, "序列号", 233, 37, 27, 8, nullptr},
      {1098, E, kText, "", 262, 35, 73, 14, nullptr},
      {1106, G, kStyleNone, "USB Device", 231, 51, 109, 44, nullptr},
      {1107, L, kStyleNone, "MFG", 236, 62, 15, 8, nullptr},
      {1109, E, kText, "", 256, 61, 81, 14, nullptr},
      {1108, L, kStyleNone, "MDL", 237, 78, 14, 8, nullptr},
      {1110, E, kText, "", 256, 77, 81, 14, nullptr},
      {1117, G, kStyleNone, "加热参数", 231, 98, 110, 40, nullptr},
      {1079, L, kStyleNone, "分段数", 241, 108, 24, 8, nullptr},
      {1039, C, kStyleSorted, "", 272, 106, 65, 30, kHeatSectionItems},
      {1084, L, kStyleNone, "加热时间", 237, 124, 33, 8, nullptr},
      {1083, E, kText, "", 272, 122, 65, 14, nullptr},
      {1036, G, kStyleNone, "应用", 232, 140, 110, 68, nullptr},
      {1035, C, kStyleNone, "", 264, 145, 61, 30, nullptr},
      {1043, G, kStyleNone, "自定义显示名称", 239, 158, 87, 49, nullptr},
      {1073, L, kStyleNone, "中文", 242, 173, 18, 8, nullptr},
      {1075, E, kText, "", 263, 170, 60, 14, nullptr},
      {1074, L, kStyleNone, "英文", 242, 191, 18, 8, nullptr},
      {1076, E, kText, "", 263, 188, 60, 14, nullptr},
      {1016, B, kStyleNone, "读取", 232, 210, 50, 14, nullptr},
      {1017, B, kStyleNone, "更新", 284, 210, 50, 14, nullptr},
  }};
  return langId == kLangChinese ? zh : en;
}

}  // namespace deveder
