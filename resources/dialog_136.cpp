#include "protocol/text_codec.h"
#include "resources/dialogs.h"

namespace deveder {

// The firmware update page: image file, progress and Download.
const DialogTemplate& Dialog136(int langId) {
  static const DialogTemplate en{136, kLangEnglish, "", 309, 176, 8, {
      {1006, ControlKind::Edit, kStyleAutoHScroll, "", 24, 42, 198, 14, nullptr},
      {1007, ControlKind::PushButton, kStyleNone, "ReadFile", 236, 42, 50, 14, nullptr},
      {1009, ControlKind::ProgressBar, kStyleHidden, "", 23, 57, 262, 14, nullptr},
      {1045, ControlKind::PushButton, kStyleNone, "Download", 113, 103, 61, 14, nullptr},
  }};
  static const DialogTemplate zh{136, kLangChinese, "", 309, 176, 8, {
      {1006, ControlKind::Edit, kStyleAutoHScroll, "", 24, 42, 198, 14, nullptr},
      {1007, ControlKind::PushButton, kStyleNone, "选择文件", 236, 42, 50, 14, nullptr},
      {1009, ControlKind::ProgressBar, kStyleHidden, "", 23, 57, 262, 14, nullptr},
      {1045, ControlKind::PushButton, kStyleNone, "下载", 113, 103, 61, 14, nullptr},
  }};
  return langId == kLangChinese ? zh : en;
}

}  // namespace deveder
