#include "pages/core/exchanges.h"

#include <algorithm>

namespace deveder {

void AddTraffic(std::vector<Exchange>& exchanges, bool sent, const char* bytes, int count) {
  const std::string chunk(bytes, static_cast<std::size_t>(std::max(count, 0)));
  if (exchanges.empty() || (sent && !exchanges.back().received.empty())) exchanges.push_back({});
  (sent ? exchanges.back().sent : exchanges.back().received) += chunk;
}

std::string EscapedBytes(const std::string& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c == '"' || c == '\\') out += {'\\', static_cast<char>(c)};
    else if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
    else out += {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
  }
  return out + "\"";
}

}  // namespace deveder
