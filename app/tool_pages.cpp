// The page logics of the tool, in one place.
#include "app/app.h"
#include "pages/bluetooth/bluetooth_page.h"
#include "pages/firmware/firmware_page.h"
#include "pages/font/font_page.h"
#include "pages/settings/settings_page.h"
#include "pages/test/test_page.h"
#include "pages/wifi/wifi_page.h"

namespace deveder {

PageLogics MakeToolPages() {
  PageLogics p;
  p.setup = std::make_unique<SettingsPage>();
  p.bluetooth = std::make_unique<BluetoothPage>();
  p.wifi = std::make_unique<WifiPage>();
  p.font = std::make_unique<FontPage>();
  p.firmware = std::make_unique<FirmwarePage>();
  p.test = std::make_unique<TestPage>();
  return p;
}

}  // namespace deveder
