#include "protocol/text_codec.h"
#include "resources/dialogs.h"

namespace deveder {

namespace {

// The WiFi page. Both languages share ids and places; the labels in front of
// the AP and STA fields sit left of their field, centred on its height.
std::vector<ControlTemplate> WifiControls(bool zh) {
  auto t = [zh](const char* en, const char* cn) { return zh ? cn : en; };
  return {
      {1188, ControlKind::Label, kStyleNone, "MAC", 24, 15, 16, 8, nullptr},
      {1189, ControlKind::Edit, kStyleNone, "", 46, 12, 99, 14, nullptr},
      {1160, ControlKind::Label, kStyleNone, t("Local IP", "本地 IP"), 166, 14, 26, 8, nullptr},
      {1161, ControlKind::IpAddress, kStyleNone, "", 193, 11, 100, 15, nullptr},
      {1154, ControlKind::GroupBox, kStyleNone, t("WIFI Mode", "WIFI 模式"), 17, 33, 133, 28, nullptr},
      {1155, ControlKind::RadioButton, kStyleGroupStart, "STA", 27, 48, 29, 10, nullptr},
      {1156, ControlKind::RadioButton, kStyleNone, "AP", 68, 48, 25, 10, nullptr},
      {1157, ControlKind::RadioButton, kStyleNone, "STA+AP", 104, 49, 43, 10, nullptr},
      {1162, ControlKind::GroupBox, kStyleNone, "DHCP", 17, 62, 133, 27, nullptr},
      {1163, ControlKind::RadioButton, kStyleGroupStart, "ENABLE", 39, 75, 41, 10, nullptr},
      {1164, ControlKind::RadioButton, kStyleNone, "DISABLE", 93, 75, 43, 10, nullptr},
      {1158, ControlKind::GroupBox, kStyleNone, t("AP Mode", "AP 模式"), 16, 96, 153, 100, nullptr},
      {1165, ControlKind::Label, kStyleNone, "SSID", 20, 116, 26, 8, nullptr},
      {1166, ControlKind::Edit, kStyleNone, "", 47, 113, 100, 14, nullptr},
      {1167, ControlKind::Label, kStyleNone, t("PWD", "密码"), 20, 132, 26, 8, nullptr},
      {1171, ControlKind::Edit, kStyleNone, "", 47, 129, 100, 14, nullptr},
      {1168, ControlKind::Label, kStyleNone, t("IP", "IP地址"), 20, 149, 26, 8, nullptr},
      {1172, ControlKind::IpAddress, kStyleNone, "", 47, 145, 100, 15, nullptr},
      {1169, ControlKind::Label, kStyleNone, t("Mask", "掩码"), 20, 165, 26, 8, nullptr},
      {1173, ControlKind::IpAddress, kStyleNone, "", 47, 161, 100, 15, nullptr},
      {1170, ControlKind::Label, kStyleNone, t("Gateway", "网关"), 20, 181, 26, 8, nullptr},
      {1174, ControlKind::IpAddress, kStyleNone, "", 47, 177, 100, 15, nullptr},
      {1159, ControlKind::GroupBox, kStyleNone, t("STA Mode", "STA 模式"), 183, 55, 153, 141, nullptr},
      {1190, ControlKind::GroupBox, kStyleNone, t("PowerOnAutoConnect", "上电自动连接"), 195, 73, 129, 29,
       nullptr},
      {1191, ControlKind::RadioButton, kStyleGroupStart, "YES", 213, 86, 28, 10, nullptr},
      {1192, ControlKind::RadioButton, kStyleNone, "NO", 273, 85, 26, 10, nullptr},
      {1178, ControlKind::Label, kStyleNone, "SSID", 187, 115, 27, 8, nullptr},
      {1179, ControlKind::Edit, kStyleNone, "", 215, 112, 100, 14, nullptr},
      {1180, ControlKind::Label, kStyleNone, t("PWD", "密码"), 187, 131, 27, 8, nullptr},
      {1184, ControlKind::Edit, kStyleNone, "", 215, 128, 100, 14, nullptr},
      {1181, ControlKind::Label, kStyleNone, t("IP", "IP地址"), 187, 148, 27, 8, nullptr},
      {1185, ControlKind::IpAddress, kStyleNone, "", 215, 144, 100, 15, nullptr},
      {1182, ControlKind::Label, kStyleNone, t("Mask", "掩码"), 187, 164, 27, 8, nullptr},
      {1186, ControlKind::IpAddress, kStyleNone, "", 215, 160, 100, 15, nullptr},
      {1183, ControlKind::Label, kStyleNone, t("Gateway", "网关"), 187, 180, 27, 8, nullptr},
      {1187, ControlKind::IpAddress, kStyleNone, "", 215, 176, 100, 15, nullptr},
      {1059, ControlKind::PushButton, kStyleNone, t("READ", "读取"), 206, 207, 50, 14, nullptr},
      {1060, ControlKind::PushButton, kStyleNone, t("WRITE", "写入"), 283, 207, 50, 14, nullptr},
  };
}

}  // namespace

const DialogTemplate& Dialog162(int langId) {
  static const DialogTemplate en{162, kLangEnglish, "", 362, 240, 8, WifiControls(false)};
  static const DialogTemplate zh{162, kLangChinese, "", 362, 240, 8, WifiControls(true)};
  return langId == kLangChinese ? zh : en;
}

}  // namespace deveder
