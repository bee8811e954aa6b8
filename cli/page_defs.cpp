// The three pages the command-line tool reads and writes, by their buttons.
#include "cli/snapshot.h"
#include "pages/bluetooth/bluetooth_page.h"
#include "pages/settings/settings_page.h"
#include "pages/settings/settings_tables.h"
#include "pages/wifi/wifi_page.h"

namespace deveder::cli {

const PageDef& SettingsDef() {
  static const PageDef def{
      "settings",
      "settings",
      kSetReadButton,
      kSetWriteButton,
      {"model", "mfg", "sn", "usbd", "density", "heat_section", "heat_time", "speed", "media", "encode", "codepage",
       "slice_offset", "xoffset", "yoffset", "line_height", "ppl", "app", "app_str", "warn_format", "cover_action",
       "menu_lang", "msw"},
      {},
      [] { return std::unique_ptr<PageLogic>(std::make_unique<SettingsPage>()); }};
  return def;
}

const PageDef& WifiDef() {
  static const PageDef def{
      "wifi",
      "wifi",
      wifi::kReadButton,
      wifi::kWriteButton,
      {"wlan.mac", "wlan.lip", "wlan.mode", "wlan.dhcp", "wlan.ap", "wlan.sta", "wlan.apac"},
      {{"wlan.mac", wifi::kMacBox}, {"wlan.lip", wifi::kLocalIp}},
      [] { return std::unique_ptr<PageLogic>(std::make_unique<WifiPage>()); }};
  return def;
}

const PageDef& BluetoothDef() {
  static const PageDef def{
      "bt",
      "bluetooth",
      bluetooth::kReadButton,
      bluetooth::kUpdateButton,
      {"bluetooth.address", "bluetooth.friendly_name", "bluetooth.bluetooth_pin", "bluetooth.baud", "bluetooth.cod"},
      {},
      [] { return std::unique_ptr<PageLogic>(std::make_unique<BluetoothPage>()); }};
  return def;
}

}  // namespace deveder::cli
