// The requests an action sent and what came back, as the port layer's trace
// sees them; shown by deveder-cli's --replies and the window's traffic view.
#pragma once

#include <string>
#include <vector>

namespace deveder {

// One request as sent and the bytes that came back before the next.
struct Exchange {
  std::string sent;
  std::string received;
};

// Adds a piece of traffic: a send after a reply starts the next exchange;
// bytes before any send were not asked for and start one of their own.
void AddTraffic(std::vector<Exchange>& exchanges, bool sent, const char* bytes, int count);

// Bytes as a quoted text: printable ASCII as it is, \r \n \" \\ and \xHH for
// the rest.
std::string EscapedBytes(const std::string& bytes);

}  // namespace deveder
