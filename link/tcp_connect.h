// Network printers: a port path that names a TCP address instead of a device.
//
// Printers with a network module take the same command language on a raw
// TCP port (9100 unless the address says otherwise). The port layer opens
// such a path with a bounded connect; everything after that is the same
// byte stream as on a device.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace deveder {

inline constexpr int kDefaultPrinterTcpPort = 9100;
// Name look-up and connection together end within this bound.
inline constexpr int kTcpConnectMs = 3000;

struct TcpAddress {
  std::string host;  // a name, an IPv4 address or an IPv6 address (without brackets)
  int port = kDefaultPrinterTcpPort;
};

// "HOST:PORT", "HOST", "[V6]:PORT", "tcp://HOST[:PORT]". A path that starts
// with "/" is a device, never an address. nullopt when `path` is no address
// (or a malformed one: a port outside 1-65535, an empty host).
std::optional<TcpAddress> ParseTcpAddress(const std::string& path);
// True when `path` is meant as a network address (even a malformed one).
bool LooksLikeTcpAddress(const std::string& path);

// The address as the user reads it: "host:port" ("[v6]:port").
std::string TcpAddressText(const TcpAddress& a);

struct TcpConnectResult {
  int fd = -1;          // connected, non-blocking, close-on-exec; -1 on failure
  int err = 0;          // errno-like reason on failure
  std::string reason;   // "connection refused", "name not found", ...
};

// Looks the name up and connects, within kTcpConnectMs in all; `pump` is
// called between waits of at most a few milliseconds.
TcpConnectResult ConnectTcp(const TcpAddress& address, const std::function<void()>& pump);

}  // namespace deveder
