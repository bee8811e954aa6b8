#include "protocol/text_codec.h"
#include "resources/dialogs.h"

namespace deveder {

// The font download page: kind of data, file, progress and Download. The
// list texts are the same Chinese texts in both languages.
const DialogTemplate& Dialog134(int langId) {
  static const DialogTemplate en{134, kLangEnglish, "", 309, 176, 8, {
      {1072, ControlKind::ComboList, kStyleNone, "", 24, 22, 62, 30, "标准字库\n扩展字库\nDEMO数据"},
      {1006, ControlKind::Edit, kStyleAutoHScroll, "", 24, 42, 198, 14, nullptr},
      {1007, ControlKind::PushButton, kStyleNone, "ReadFile", 236, 42, 50, 14, nullptr},
      {1009, ControlKind::ProgressBar, kStyleHidden, "", 23, 57, 262, 14, nullptr},
      {1004, ControlKind::PushButton, kStyleNone, "Download", 117, 105, 50, 14, nullptr},
  }};
  static const DialogTemplate zh{134, kLangChinese, "", 309, 176, 8, {
      {1072, ControlKind::ComboList, kStyleNone, "", 24, 22, 62, 30, "标准字库\n扩展字库\nDEMO数据"},
      {1006, ControlKind::Edit, kStyleAutoHScroll, "", 24, 42, 198, 14, nullptr},
      {1007, ControlKind::PushButton, kStyleNone, "选择文件", 236, 42, 50, 14, nullptr},
      {1009, ControlKind::ProgressBar, kStyleHidden, "", 23, 57, 262, 14, nullptr},
      {1004, ControlKind::PushButton, kStyleNone, "下载", 117, 105, 50, 14, nullptr},
  }};
  return langId == kLangChinese ? zh : en;
}

}  // namespace deveder
