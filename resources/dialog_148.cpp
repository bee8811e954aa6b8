#include "protocol/text_codec.h"
#include "resources/dialogs.h"

namespace deveder {

// The test page: eight push buttons in two columns. The Chinese template
// has the same ids and places with narrower buttons.
const DialogTemplate& Dialog148(int langId) {
  static const DialogTemplate en{148, kLangEnglish, "", 310, 177, 8, {
      {1015, ControlKind::PushButton, kStyleNone, "TestPage", 26, 21, 77, 14, nullptr},
      {1064, ControlKind::PushButton, kStyleNone, "Bluetooth Info", 26, 45, 77, 14, nullptr},
      {1104, ControlKind::PushButton, kStyleNone, "Demo Print", 26, 68, 77, 14, nullptr},
      {1066, ControlKind::PushButton, kStyleNone, "HexDump", 26, 125, 78, 14, nullptr},
      {1068, ControlKind::PushButton, kStyleNone, "Graphing Sensor(RAW)", 120, 21, 81, 14, nullptr},
      {1069, ControlKind::PushButton, kStyleNone, "Graphing Sensor(MARK)", 120, 45, 81, 14, nullptr},
      {1106, ControlKind::PushButton, kStyleNone, "Calibration", 120, 68, 81, 14, nullptr},
      {1065, ControlKind::PushButton, kStyleNone, "Factory Default", 120, 126, 81, 14, nullptr},
  }};
  static const DialogTemplate zh{148, kLangChinese, "", 310, 177, 8, {
      {1015, ControlKind::PushButton, kStyleNone, "测试页", 26, 21, 70, 14, nullptr},
      {1064, ControlKind::PushButton, kStyleNone, "蓝牙信息", 26, 45, 70, 14, nullptr},
      {1104, ControlKind::PushButton, kStyleNone, "模板打印", 26, 68, 70, 14, nullptr},
      {1066, ControlKind::PushButton, kStyleNone, "进入调试模式", 26, 125, 70, 14, nullptr},
      {1068, ControlKind::PushButton, kStyleNone, "AD可视化(RAW)", 120, 21, 69, 14, nullptr},
      {1069, ControlKind::PushButton, kStyleNone, "AD可视化(MARK)", 120, 45, 69, 14, nullptr},
      {1106, ControlKind::PushButton, kStyleNone, "标签学习", 120, 68, 69, 14, nullptr},
      {1065, ControlKind::PushButton, kStyleNone, "恢复出厂设置", 120, 126, 69, 14, nullptr},
  }};
  return langId == kLangChinese ? zh : en;
}

}  // namespace deveder
