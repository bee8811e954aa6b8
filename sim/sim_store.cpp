#include "sim/sim_store.h"

namespace deveder::sim {

SimStore::SimStore() {
  const SimVar catalogue[] = {
      // general settings, group 0
      {"model", -1, 0, ""},  // answered from the model reply; setvar renames
      {"mfg", 0, 7, "Zivuvo"},
      {"sn", 0, 9, "ZV2026120900417"},
      {"usbd", 0, 10, "Zivuvo;TQ250L Label Printer"},
      {"density", 0, 31, "3"},
      {"heat_section", -1, 0, "4"},
      {"heat_time", -1, 0, "60"},
      {"speed", 0, 32, "4"},
      {"media", 0, 33, "label"},
      {"encode", 0, 43, "gbk"},
      {"codepage", 0, 42, "10001"},
      {"slice_offset", 0, 37, "12"},
      {"xoffset", 0, 34, "0"},
      {"yoffset", 0, 35, "8"},
      {"line_height", 0, 44, "32"},
      {"ppl", 0, 45, "tspl"},
      {"app", 0, 46, "0"},
      // "Express/" then the GBK bytes of the Chinese name
      {"app_str", 0, 47, "Express/\xBF\xEC\xB5\xDD"},
      {"warn_format", 0, 51, "1"},
      {"cover_action", 0, 50, "0"},
      {"menu_lang", 0, 49, "1"},
      {"msw", 0, 48, "2460000000000000"},
      // Bluetooth module, group 1
      {"bluetooth.address", 1, 16, "00:1A:7D:DA:71:13"},
      {"bluetooth.bluetooth_pin", 1, 17, "0000"},
      {"bluetooth.friendly_name", 1, 18, "TQ250L-BT"},
      {"bluetooth.baud", 1, 19, "115200"},
      {"bluetooth.cod", 1, 20, "680"},
      // WLAN module, group 2
      {"wlan.ap", 2, 23, "TQ250L-AP,12345678,192.168.4.1,255.255.255.0,192.168.4.1"},
      {"wlan.sta", 2, 24, "Workshop,passw0rd,192.168.1.120,255.255.255.0,192.168.1.1"},
      {"wlan.mode", 2, 25, "1"},
      {"wlan.dhcp", 2, 26, "0"},
      {"wlan.apac", 2, 27, "1"},
      // The local address is a loopback one: the address the tool offers
      // for "ETH" after a WiFi Read of the simulated printer stays on this
      // machine.
      {"wlan.lip", 2, 28, "127.0.0.1"},
      {"wlan.mac", 2, 29, "A4:CF:12:3B:5E:90"},
  };
  for (const SimVar& v : catalogue) {
    vars_[v.name] = v;
    if (v.group >= 0) byNumber_[{v.group, v.index}] = v.name;
  }
}

std::optional<std::string> SimStore::Get(const std::string& name) const {
  auto it = vars_.find(name);
  if (it == vars_.end()) return std::nullopt;
  return it->second.value;
}

std::optional<std::string> SimStore::NameOf(int group, int index) const {
  auto it = byNumber_.find({group, index});
  if (it == byNumber_.end()) return std::nullopt;
  return it->second;
}

bool SimStore::Set(const std::string& name, const std::string& value) {
  auto it = vars_.find(name);
  if (it == vars_.end()) return false;
  it->second.value = value;
  return true;
}

void SimStore::Forget(const std::string& name) {
  auto it = vars_.find(name);
  if (it == vars_.end()) return;
  if (it->second.group >= 0) byNumber_.erase({it->second.group, it->second.index});
  vars_.erase(it);
}

bool SimStore::Knows(const std::string& name) const { return vars_.count(name) != 0; }

bool SimStore::IsNamedOnly(const std::string& name) const {
  auto it = vars_.find(name);
  return it != vars_.end() && it->second.group < 0;
}

std::vector<std::string> SimStore::Names() const {
  std::vector<std::string> names;
  for (const auto& [name, v] : vars_) names.push_back(name);
  return names;
}

}  // namespace deveder::sim
