#include "resources/dialogs.h"
#include "protocol/text_codec.h"

namespace deveder {

// Filled in with the page's controls when the page lands.
const DialogTemplate& Dialog132(int langId) {
  static const DialogTemplate en{132, kLangEnglish, "", 309, 176, 8, {}};
  static const DialogTemplate zh{132, kLangChinese, "", 309, 176, 8, {}};
  return langId == kLangChinese ? zh : en;
}

}  // namespace deveder
