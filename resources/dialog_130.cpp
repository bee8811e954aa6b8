#include "protocol/text_codec.h"
#include "resources/dialogs.h"

namespace deveder {

// The communication page: port type, port and baud rate. Both languages
// carry the same texts ("串口" in the English interface too).
const DialogTemplate& Dialog130(int langId) {
  static const std::vector<ControlTemplate> controls = {
      {1005, ControlKind::ComboEdit, kStyleNone, "", 23, 62, 264, 30, nullptr},
      {1008, ControlKind::ComboList, kStyleNone, "", 23, 24, 48, 30, "USB\n串口\nETH"},
      {1199, ControlKind::ComboList, kStyleHidden, "", 239, 25, 48, 30,
       "1200\n4800\n9600\n19200\n38400\n57600\n115200"},
      {kStaticId, ControlKind::Label, kStyleHidden, "BaudRate:", 203, 28, 35, 8, nullptr},
  };
  static const DialogTemplate en{130, kLangEnglish, "", 309, 176, 8, controls};
  static const DialogTemplate zh{130, kLangChinese, "", 309, 176, 8, controls};
  return langId == kLangChinese ? zh : en;
}

}  // namespace deveder
