// WiFi list answers and Bluetooth replies put into the pages' controls.
#include <cstdint>
#include <string_view>

#include "pages/bluetooth/bluetooth_page.h"
#include "pages/core/memory_controls.h"
#include "pages/wifi/wifi_page.h"
#include "protocol/text_codec.h"
#include "resources/dialogs.h"

using namespace deveder;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int lang = (data[0] & 1) ? kLangChinese : kLangEnglish;
  const std::string_view answer(reinterpret_cast<const char*>(data + 1), size - 1);

  MemoryControls wifiControls(Dialog162(lang));
  FillListFields(wifiControls, wifi::kApFields, answer, true, lang);
  FillListFields(wifiControls, wifi::kStaFields, answer, false, lang);
  for (int id : wifi::kStaFields)
    if (wifiControls.Text(id).size() > kMaxReplyChars) __builtin_trap();

  MemoryControls btControls(Dialog132(lang));
  for (int field = 0; field < 5; ++field) {
    ApplyBluetoothReply(btControls, field, answer.data(), static_cast<int>(answer.size()), lang);
    // A list selection stays inside the list.
    for (int list : {bluetooth::kBaudList, bluetooth::kCodList}) {
      const int index = btControls.CurrentIndex(list);
      if (index < -1 || index >= static_cast<int>(Items(btControls, list).size())) __builtin_trap();
    }
  }
  return 0;
}
