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

  // Built once: making the controls from their templates would cost more
  // than the replies themselves.
  static MemoryControls wifiZh(Dialog162(kLangChinese)), wifiEn(Dialog162(kLangEnglish));
  static MemoryControls btZh(Dialog132(kLangChinese)), btEn(Dialog132(kLangEnglish));
  MemoryControls& wifiControls = lang == kLangChinese ? wifiZh : wifiEn;
  MemoryControls& btControls = lang == kLangChinese ? btZh : btEn;
  // The first byte also chooses what the answer is for.
  const int what = (data[0] >> 1) % 7;
  if (what < 2) {
    FillListFields(wifiControls, what ? wifi::kStaFields : wifi::kApFields, answer, what == 0, lang);
    for (int id : what ? wifi::kStaFields : wifi::kApFields)
      if (wifiControls.Text(id).size() > kMaxReplyChars) __builtin_trap();
    return 0;
  }
  ApplyBluetoothReply(btControls, what - 2, answer.data(), static_cast<int>(answer.size()), lang);
  // A list selection stays inside the list.
  for (int list : {bluetooth::kBaudList, bluetooth::kCodList}) {
    const int index = btControls.CurrentIndex(list);
    if (index < -1 || index >= static_cast<int>(Items(btControls, list).size())) __builtin_trap();
  }
  return 0;
}
