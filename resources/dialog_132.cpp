#include "protocol/text_codec.h"
#include "resources/dialogs.h"

namespace deveder {

namespace {

// The Bluetooth page. The two languages differ in the texts and in the
// places of the Read and Update buttons.
std::vector<ControlTemplate> BluetoothControls(bool zh) {
  auto t = [zh](const char* en, const char* cn) { return zh ? cn : en; };
  return {
      {kStaticId, ControlKind::GroupBox, kStyleNone, t("Bluetooth", "蓝牙配置"), 7, 7, 115, 83, nullptr},
      {kStaticId, ControlKind::Label, kStyleNone, "MAC", 10, 19, 29, 10, nullptr},
      {1006, ControlKind::Edit, kStyleNone, "", 41, 16, 79, 14, nullptr},
      {kStaticId, ControlKind::Label, kStyleNone, t("BSSID", "名称"), 10, 33, 29, 10, nullptr},
      {1011, ControlKind::Edit, kStyleNone, "", 41, 31, 79, 14, nullptr},
      {kStaticId, ControlKind::Label, kStyleNone, "PIN", 10, 48, 29, 10, nullptr},
      {1010, ControlKind::Edit, kStyleNone, "", 41, 46, 79, 14, nullptr},
      {kStaticId, ControlKind::Label, kStyleNone, t("Baud", "波特率"), 10, 63, 29, 10, nullptr},
      {1005, ControlKind::ComboList, kStyleNone, "", 41, 61, 79, 30,
       "9600\n38400\n57600\n115200\n230400\n460800\n921600"},
      {kStaticId, ControlKind::Label, kStyleNone, "COD", 10, 77, 29, 10, nullptr},
      {1008, ControlKind::ComboList, kStyleNone, "", 41, 75, 79, 30, "1F00\n40680\n240404\n240408\n100680\n680"},
      {1004, ControlKind::PushButton, kStyleNone, t("Read", "读取"), zh ? 237 : 193, zh ? 199 : 155, 50, 14,
       nullptr},
      {1007, ControlKind::PushButton, kStyleNone, t("Updata", "更新"), zh ? 305 : 252, zh ? 199 : 155, 50, 14,
       nullptr},
  };
}

}  // namespace

const DialogTemplate& Dialog132(int langId) {
  static const DialogTemplate en{132, kLangEnglish, "", 362, 220, 8, BluetoothControls(false)};
  static const DialogTemplate zh{132, kLangChinese, "", 362, 220, 8, BluetoothControls(true)};
  return langId == kLangChinese ? zh : en;
}

}  // namespace deveder
