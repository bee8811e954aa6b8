#include "link/tcp_connect.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace deveder {

namespace {

using Clock = std::chrono::steady_clock;

bool ParsePort(const std::string& text, int& port) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  port = std::stoi(text);
  return port >= 1 && port <= 65535;
}

int LeftMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(left);
}

const char* ConnectReason(int err) {
  switch (err) {
    case ECONNREFUSED: return "connection refused (nothing listens on that port)";
    case ENETUNREACH:
    case EHOSTUNREACH: return "host unreachable";
    case ETIMEDOUT: return "timed out";
    default: return nullptr;
  }
}

// One asynchronous look-up. It lives on the heap: a look-up that outlasts
// its bound and cannot be cancelled still writes its answer here later.
struct LookUp {
  gaicb request{};
  addrinfo hints{};
  std::string host, service;
};

// Looks `host` up without blocking the caller beyond `deadline`.
int Resolve(const std::string& host, const std::string& service, Clock::time_point deadline,
            const std::function<void()>& pump, addrinfo** out, std::string& reason) {
  auto* q = new LookUp;
  q->host = host;
  q->service = service;
  q->hints.ai_family = AF_UNSPEC;
  q->hints.ai_socktype = SOCK_STREAM;
  q->request.ar_name = q->host.c_str();
  q->request.ar_service = q->service.c_str();
  q->request.ar_request = &q->hints;
  gaicb* list[1] = {&q->request};
  if (getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0) {
    delete q;
    reason = "name look-up could not start";
    return EAGAIN;
  }
  while (true) {
    const int left = LeftMs(deadline);
    const int slice = pump ? std::min(left, 5) : left;
    timespec ts{slice / 1000, static_cast<long>(slice % 1000) * 1000000L};
    const gaicb* wait[1] = {&q->request};
    gai_suspend(wait, 1, &ts);
    const int status = gai_error(&q->request);
    if (status == 0) {
      *out = q->request.ar_result;
      delete q;
      return 0;
    }
    if (status != EAI_INPROGRESS) {
      delete q;
      reason = status == EAI_NONAME || status == EAI_NODATA ? "name not found" : gai_strerror(status);
      return ENOENT;
    }
    if (left == 0) break;
    if (pump) pump();
  }
  reason = "name look-up timed out";
  const int cancel = gai_cancel(&q->request);
  if (cancel == EAI_CANCELED) {
    delete q;
  } else if (cancel == EAI_ALLDONE) {
    if (gai_error(&q->request) == 0) freeaddrinfo(q->request.ar_result);
    delete q;
  }
  // EAI_NOTCANCELED: the resolver is still at work on it; the block stays
  // for it (a few hundred bytes, once per look-up that hangs).
  return ETIMEDOUT;
}

}  // namespace

bool LooksLikeTcpAddress(const std::string& path) {
  return !path.empty() && path[0] != '/' && path[0] != '.';
}

std::optional<TcpAddress> ParseTcpAddress(const std::string& path) {
  if (!LooksLikeTcpAddress(path)) return std::nullopt;
  std::string rest = path;
  if (rest.rfind("tcp://", 0) == 0) rest.erase(0, 6);
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  TcpAddress a;
  if (!rest.empty() && rest[0] == '[') {
    const std::size_t close = rest.find(']');
    if (close == std::string::npos) return std::nullopt;
    a.host = rest.substr(1, close - 1);
    const std::string after = rest.substr(close + 1);
    if (!after.empty() && (after[0] != ':' || !ParsePort(after.substr(1), a.port))) return std::nullopt;
  } else {
    const std::size_t colon = rest.rfind(':');
    if (colon != std::string::npos && rest.find(':') != colon) {
      a.host = rest;  // a bare IPv6 address
    } else if (colon != std::string::npos) {
      a.host = rest.substr(0, colon);
      if (!ParsePort(rest.substr(colon + 1), a.port)) return std::nullopt;
    } else {
      a.host = rest;
    }
  }
  if (a.host.empty() || a.host.find_first_of(" \t\r\n/\\") != std::string::npos) return std::nullopt;
  return a;
}

std::string TcpAddressText(const TcpAddress& a) {
  const bool v6 = a.host.find(':') != std::string::npos;
  return (v6 ? "[" + a.host + "]" : a.host) + ":" + std::to_string(a.port);
}

TcpConnectResult ConnectTcp(const TcpAddress& address, const std::function<void()>& pump) {
  TcpConnectResult result;
  const auto deadline = Clock::now() + std::chrono::milliseconds(kTcpConnectMs);
  addrinfo* found = nullptr;
  result.err = Resolve(address.host, std::to_string(address.port), deadline, pump, &found, result.reason);
  if (result.err != 0) return result;
  result.err = ETIMEDOUT;
  result.reason = "timed out";
  for (addrinfo* ai = found; ai && result.fd < 0; ai = ai->ai_next) {
    const int fd = socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0) {
      result.err = errno;
      continue;
    }
    int err = 0;
    if (connect(fd, ai->ai_addr, ai->ai_addrlen) != 0) {
      err = errno;
      if (err == EINPROGRESS) {
        err = ETIMEDOUT;
        while (true) {
          const int left = LeftMs(deadline);
          pollfd p{fd, POLLOUT, 0};
          const int r = poll(&p, 1, pump ? std::min(left, 5) : left);
          if (r > 0) {
            socklen_t len = sizeof err;
            if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
            break;
          }
          if (r < 0 && errno != EINTR) {
            err = errno;
            break;
          }
          if (left == 0) break;
          if (pump) pump();
        }
      }
    }
    if (err == 0) {
      // Command lines are short and each waits for its reply: send them at once.
      const int one = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      result.fd = fd;
      result.err = 0;
      result.reason.clear();
    } else {
      close(fd);
      result.err = err;
      const char* why = ConnectReason(err);
      result.reason = why ? why : std::strerror(err);
    }
  }
  freeaddrinfo(found);
  return result;
}

}  // namespace deveder
