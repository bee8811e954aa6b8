// The dialog templates of the tool, one pair (English, Chinese) per dialog.
// Each is defined in resources/dialog_<id>.cpp.
#pragma once

#include "resources/dialog_template.h"

namespace deveder {

const DialogTemplate& Dialog102(int langId);  // main window
const DialogTemplate& Dialog130(int langId);  // communication page
const DialogTemplate& Dialog132(int langId);  // Bluetooth page
const DialogTemplate& Dialog134(int langId);  // font download page
const DialogTemplate& Dialog136(int langId);  // firmware page
const DialogTemplate& Dialog144(int langId);  // settings page
const DialogTemplate& Dialog148(int langId);  // test page
const DialogTemplate& Dialog162(int langId);  // WiFi page

}  // namespace deveder
