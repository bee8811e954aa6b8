#include "protocol/text_codec.h"
#include "resources/dialogs.h"

namespace deveder {

// The main window: one tab control holding the seven pages.
const DialogTemplate& Dialog102(int langId) {
  static const DialogTemplate en{102, kLangEnglish, "DividiVidi  V1.05.210518", 319, 235, 9,
                                 {{1000, ControlKind::Tab, kStyleNone, "", 7, 7, 305, 221, nullptr}}};
  static const DialogTemplate zh{102, kLangChinese, "Zivuvo机工具 V1.05.210518", 319, 236, 9,
                                 {{1000, ControlKind::Tab, kStyleNone, "", 7, 7, 305, 222, nullptr}}};
  return langId == kLangChinese ? zh : en;
}

}  // namespace deveder
