#include "resources/dialog_template.h"

#include "resources/dialogs.h"

namespace deveder {

const DialogTemplate& FindDialogTemplate(int dialogId, int langId) {
  switch (dialogId) {
    case 130: return Dialog130(langId);
    case 132: return Dialog132(langId);
    case 134: return Dialog134(langId);
    case 136: return Dialog136(langId);
    case 144: return Dialog144(langId);
    case 148: return Dialog148(langId);
    case 162: return Dialog162(langId);
    default: return Dialog102(langId);
  }
}

}  // namespace deveder
