#include "sim/printer_sim.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sim/interpreter.h"

namespace deveder::sim {

namespace {

using Clock = std::chrono::steady_clock;

// A job ends when the line has been quiet this long.
constexpr int kQuietMs = 30;

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

std::string JsonText(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    }
  }
  return out;
}

const char* KindName(LogEntry::Kind k) {
  switch (k) {
    case LogEntry::Line: return "line";
    case LogEntry::Job: return "job";
    case LogEntry::Download: return "download";
    case LogEntry::XorPacket: return "xor_packet";
    case LogEntry::SumPacket: return "sum_packet";
    case LogEntry::Sent: return "sent";
    case LogEntry::Event: return "event";
  }
  return "?";
}

std::uint32_t SpeedToBaud(speed_t s) {
  switch (s) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B460800: return 460800;
    case B921600: return 921600;
    default: return 0;
  }
}

}  // namespace

std::uint64_t Fnv1a64(const void* data, std::size_t size, std::uint64_t seed) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  std::uint64_t h = seed;
  for (std::size_t i = 0; i < size; ++i) {
    h ^= p[i];
    h *= 0x100000001b3ULL;
  }
  return h;
}

PrinterSim::PrinterSim(Options options) : options_(std::move(options)) {}

PrinterSim::~PrinterSim() { Stop(); }

bool PrinterSim::StartTcp() {
  listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listen_ < 0) return false;
  const int one = 1;
  setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // loopback only: nothing else can reach it
  a.sin_port = htons(static_cast<std::uint16_t>(options_.tcpPort));
  socklen_t len = sizeof a;
  if (bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listen_, 4) != 0 ||
      getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len) != 0 || pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    close(listen_);
    listen_ = -1;
    return false;
  }
  linkPath_ = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));
  slavePath_ = linkPath_;
  if (!options_.logPath.empty()) logFile_ = std::fopen(options_.logPath.c_str(), "a");
  interpreter_ = std::make_unique<Interpreter>(*this);
  running_ = true;
  thread_ = std::thread([this] { Serve(); });
  return true;
}

// Network printer without a connection: takes the next one, or waits a
// little for one (or for the wake pipe). True when a connection is up.
bool PrinterSim::AcceptOrWait() {
  pollfd fds[2] = {{listen_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
  poll(fds, 2, 50);
  if (fds[1].revents & POLLIN) {
    char drain[16];
    while (read(wakePipe_[0], drain, sizeof drain) > 0) {
    }
  }
  if (!(fds[0].revents & POLLIN)) return false;
  const int c = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (c < 0) return false;
  master_ = c;
  connected_ = true;
  Record({LogEntry::Event, "", "connected"});
  return true;
}

bool PrinterSim::Start() {
  if (options_.tcp) return StartTcp();
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) return false;
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
    close(master_);
    master_ = -1;
    return false;
  }
  char name[128];
  if (ptsname_r(master_, name, sizeof name) != 0) {
    close(master_);
    master_ = -1;
    return false;
  }
  slavePath_ = name;
  // Keep the slave open ourselves: the tool closing its descriptor must not
  // hang the master up between actions.
  slaveKeep_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (slaveKeep_ < 0) {
    close(master_);
    master_ = -1;
    return false;
  }
  termios t{};
  tcgetattr(slaveKeep_, &t);
  cfmakeraw(&t);
  cfsetispeed(&t, B9600);
  cfsetospeed(&t, B9600);
  tcsetattr(slaveKeep_, TCSANOW, &t);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  if (pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    close(slaveKeep_);
    close(master_);
    slaveKeep_ = master_ = -1;
    return false;
  }
  if (!MakeLink(name)) {
    close(wakePipe_[0]);
    close(wakePipe_[1]);
    wakePipe_[0] = wakePipe_[1] = -1;
    close(slaveKeep_);
    close(master_);
    slaveKeep_ = master_ = -1;
    return false;
  }
  if (!options_.logPath.empty()) logFile_ = std::fopen(options_.logPath.c_str(), "a");
  interpreter_ = std::make_unique<Interpreter>(*this);
  running_ = true;
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void PrinterSim::Stop() {
  if (running_.exchange(false)) {
    char c = 0;
    ssize_t ignored = write(wakePipe_[1], &c, 1);
    (void)ignored;
  }
  if (thread_.joinable()) thread_.join();
  interpreter_.reset();
  if (master_ >= 0) close(master_);
  if (slaveKeep_ >= 0) close(slaveKeep_);
  if (listen_ >= 0) close(listen_);
  listen_ = -1;
  for (int& fd : wakePipe_) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
  master_ = slaveKeep_ = -1;
  if (!options_.tcp) RemoveLink();
  if (logFile_) std::fclose(logFile_);
  logFile_ = nullptr;
}

bool PrinterSim::MakeLink(const char* slave) {
  linkPath_ = options_.linkPath;
  if (linkPath_.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/deveder-sim-XXXXXX";
    if (!mkdtemp(pattern.data())) {
      std::fprintf(stderr, "sim: cannot make a directory for the port link: %s\n", std::strerror(errno));
      return false;
    }
    ownDir_ = pattern;
    linkPath_ = ownDir_ + "/printer";
  } else {
    unlink(linkPath_.c_str());
  }
  if (symlink(slave, linkPath_.c_str()) != 0) {
    std::fprintf(stderr, "sim: cannot link %s: %s\n", linkPath_.c_str(), std::strerror(errno));
    RemoveLink();
    return false;
  }
  return true;
}

void PrinterSim::RemoveLink() {
  if (!linkPath_.empty()) unlink(linkPath_.c_str());
  if (!ownDir_.empty()) rmdir(ownDir_.c_str());
  ownDir_.clear();
}

std::string PrinterSim::PortPath() const { return linkPath_; }

void PrinterSim::SetFaults(const Faults& f) {
  std::lock_guard<std::mutex> lock(mutex_);
  options_.faults = f;
}

Faults PrinterSim::GetFaults() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return options_.faults;
}

void PrinterSim::SetModelReply(const std::string& reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  options_.modelReply = reply;
}

std::string PrinterSim::ModelReply() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return options_.modelReply;
}

std::vector<LogEntry> PrinterSim::Log() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return log_;
}

std::vector<std::string> PrinterSim::Lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> lines;
  for (const LogEntry& e : log_)
    if (e.kind == LogEntry::Line) lines.push_back(e.bytes);
  return lines;
}

std::vector<std::string> PrinterSim::Packets() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> packets;
  for (const LogEntry& e : log_)
    if (e.kind == LogEntry::XorPacket || e.kind == LogEntry::SumPacket) packets.push_back(e.bytes);
  return packets;
}

std::vector<std::string> PrinterSim::FaultyLines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> lines;
  for (const LogEntry& e : log_)
    if (e.kind == LogEntry::Event && e.note.rfind("fault:", 0) == 0) lines.push_back(e.bytes);
  return lines;
}

std::vector<JobRecord> PrinterSim::Jobs() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return jobs_;
}

std::vector<DownloadRecord> PrinterSim::Downloads() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return downloads_;
}

std::vector<FirmwareRecord> PrinterSim::Firmware() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return firmware_;
}

void PrinterSim::ClearLog() {
  std::lock_guard<std::mutex> lock(mutex_);
  longestSplitGapUs_ = 0;
  log_.clear();
  jobs_.clear();
  downloads_.clear();
  firmware_.clear();
}

std::uint32_t PrinterSim::LineBaud() const {
  termios t{};
  int fd = master_ >= 0 ? master_ : slaveKeep_;
  if (fd < 0 || tcgetattr(fd, &t) != 0) return 0;
  return SpeedToBaud(cfgetospeed(&t));
}

bool PrinterSim::WaitFor(const std::function<bool()>& pred, int timeoutMs) const {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    lock.unlock();
    bool ok = pred();
    lock.lock();
    if (ok) return true;
    if (changed_.wait_until(lock, std::min(deadline, Clock::now() + std::chrono::milliseconds(5))) ==
            std::cv_status::timeout &&
        Clock::now() >= deadline) {
      // The predicate may read the log, which takes the same mutex.
      lock.unlock();
      return pred();
    }
  }
}

void PrinterSim::Record(LogEntry entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (logFile_) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
    std::fprintf(logFile_, "{\"t_ms\":%lld,\"kind\":\"%s\",\"hex\":\"%s\",\"text\":\"%s\",\"note\":\"%s\"}\n",
                 static_cast<long long>(ms), KindName(entry.kind), Hex(entry.bytes).c_str(),
                 JsonText(entry.bytes).c_str(), JsonText(entry.note).c_str());
    std::fflush(logFile_);
  }
  log_.push_back(std::move(entry));
  changed_.notify_all();
}

void PrinterSim::RecordJob(const JobRecord& job) {
  std::lock_guard<std::mutex> lock(mutex_);
  jobs_.push_back(job);
  changed_.notify_all();
}

void PrinterSim::RecordDownload(const DownloadRecord& d) {
  std::lock_guard<std::mutex> lock(mutex_);
  downloads_.push_back(d);
  changed_.notify_all();
}

void PrinterSim::UpdateDownload(const DownloadRecord& d) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (downloads_.empty()) downloads_.push_back(d);
  else downloads_.back() = d;
  changed_.notify_all();
}

void PrinterSim::RecordFirmware(const FirmwareRecord& f) {
  std::lock_guard<std::mutex> lock(mutex_);
  firmware_.push_back(f);
  changed_.notify_all();
}

void PrinterSim::UpdateFirmware(const FirmwareRecord& f) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (firmware_.empty()) firmware_.push_back(f);
  else firmware_.back() = f;
  changed_.notify_all();
}

void PrinterSim::WriteAll(const std::string& bytes) {
  // Paced output sends the bytes at the line speed in small slices.
  const int baud = options_.paceBaud;
  const std::size_t slice = baud > 0 ? std::max<std::size_t>(1, static_cast<std::size_t>(baud) / 10 / 500) : bytes.size();
  std::size_t off = 0;
  auto next = Clock::now();
  while (off < bytes.size() && master_ >= 0 && !hungUp_) {
    std::size_t len = std::min(slice, bytes.size() - off);
    if (baud > 0) {
      // A slice is complete at the far end once the line has carried it.
      next += std::chrono::microseconds(static_cast<long long>(len) * 10'000'000LL / baud);
      std::this_thread::sleep_until(next);
    }
    ssize_t w = options_.tcp ? send(master_, bytes.data() + off, len, MSG_NOSIGNAL)
                             : write(master_, bytes.data() + off, len);
    if (w > 0) {
      off += static_cast<std::size_t>(w);
      continue;
    }
    if (w < 0 && errno != EAGAIN && errno != EINTR) return;
    pollfd p{master_, POLLOUT, 0};
    if (poll(&p, 1, 2000) <= 0) return;  // the tool stopped reading
  }
}

void PrinterSim::SendRaw(const std::string& bytes) {
  Record({LogEntry::Sent, bytes, ""});
  WriteAll(bytes);
}

void PrinterSim::Send(const std::string& bytes, const std::string& var) {
  const Faults f = GetFaults();
  if (f.silent) return;
  const int delay = f.replyDelayMs + (!var.empty() && var == f.slowVar ? f.slowVarDelayMs : 0);
  if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
  std::string out = f.garbageBeforeReplies + bytes;
  if (f.shapeReply) {
    const ReplyShape shape = f.shapeReply(var, out.size());
    if (shape.drop) return;
    if (shape.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(shape.delayMs));
    Record({LogEntry::Sent, out, ""});
    if (shape.splitAt == 0 || shape.splitAt >= out.size()) return WriteAll(out);
    WriteAll(out.substr(0, shape.splitAt));
    std::this_thread::sleep_for(std::chrono::milliseconds(shape.gapMs));
    return WriteAll(out.substr(shape.splitAt));
  }
  Record({LogEntry::Sent, out, ""});
  if (f.splitReplies && out.size() >= 2) {
    const std::size_t half = out.size() / 2;
    WriteAll(out.substr(0, half));
    const auto firstSent = Clock::now();
    if (f.splitGapUs > 0) std::this_thread::sleep_for(std::chrono::microseconds(f.splitGapUs));
    else std::this_thread::sleep_for(std::chrono::milliseconds(f.splitGapMs));
    // A loaded machine may wake this thread late: the pause that really
    // came is kept, so that a test can tell a late printer from its own.
    const long gapUs = static_cast<long>(
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - firstSent).count());
    long seen = longestSplitGapUs_.load();
    while (gapUs > seen && !longestSplitGapUs_.compare_exchange_weak(seen, gapUs)) {
    }
    WriteAll(out.substr(half));
  } else {
    WriteAll(out);
  }
}

void PrinterSim::HangUp() {
  if (hungUp_.exchange(true)) return;
  Record({LogEntry::Event, "", "hang-up"});
  // The device node goes first, as it does when a printer is unplugged; a
  // network printer stops listening.
  if (options_.tcp) {
    if (listen_ >= 0) close(listen_);
    listen_ = -1;
  } else if (!linkPath_.empty()) {
    unlink(linkPath_.c_str());
  }
  // Closing the master is what an unplug looks like on the slave side; the
  // slave we keep must go too, or the tty would stay alive.
  if (slaveKeep_ >= 0) close(slaveKeep_);
  slaveKeep_ = -1;
  if (master_ >= 0) close(master_);
  master_ = -1;
  connected_ = false;
  std::lock_guard<std::mutex> lock(mutex_);
  hungUpAt_ = Clock::now();  // from here on nothing reaches the printer
}

std::chrono::steady_clock::time_point PrinterSim::HungUpAt() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return hungUpAt_;
}

void PrinterSim::Unplug() {
  if (hungUp_ || (master_ < 0 && listen_ < 0)) return;
  // The serving thread closes the line itself: a descriptor closed under its
  // poll() would keep the pty alive until that poll returned.
  unplugAsked_ = true;
  const char c = 'u';
  ssize_t ignored = write(wakePipe_[1], &c, 1);
  (void)ignored;
  WaitFor([this] { return HungUpAt() != Clock::time_point{}; }, 2000);  // closed, not just decided
}

void PrinterSim::HoldLine(bool held) {
  // Output stopped on the slave's side makes its writes wait (a pty's room
  // is then none), as a serial line held by the printer's handshake does.
  if (slaveKeep_ >= 0) tcflow(slaveKeep_, held ? TCOOFF : TCOON);
}

void PrinterSim::Feed(const char* data, std::size_t n) { interpreter_->Feed(data, n); }

void PrinterSim::Serve() {
  char buf[4096];
  auto lastByte = Clock::now();
  bool quietSent = true;
  auto paceNext = Clock::now();
  while (running_) {
    if (options_.tcp && !hungUp_ && master_ < 0) {
      if (unplugAsked_.exchange(false)) {
        HangUp();
        continue;
      }
      AcceptOrWait();
      continue;
    }
    if (hungUp_ || master_ < 0) {
      pollfd w{wakePipe_[0], POLLIN, 0};
      poll(&w, 1, 50);
      continue;
    }
    pollfd fds[2] = {{master_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
    int r = poll(fds, 2, quietSent ? 200 : kQuietMs);
    if (!running_) break;
    if (fds[1].revents & POLLIN) {
      char drain[16];
      while (read(wakePipe_[0], drain, sizeof drain) > 0) {
      }
    }
    if (unplugAsked_.exchange(false)) {
      HangUp();
      continue;
    }
    if (r == 0 || !(fds[0].revents & POLLIN)) {
      if (!quietSent && Clock::now() - lastByte >= std::chrono::milliseconds(kQuietMs)) {
        interpreter_->Quiet();
        quietSent = true;
      }
      if (fds[0].revents & (POLLHUP | POLLERR)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    const int baud = options_.paceBaud;
    std::size_t want = sizeof buf;
    if (baud > 0) want = std::max<std::size_t>(1, static_cast<std::size_t>(baud) / 10 / 500);  // ~2 ms of line
    const Faults f = GetFaults();
    if (f.hangUpAfterBytes >= 0) {
      long left = f.hangUpAfterBytes - bytesReceived_.load();
      if (left <= 0) {
        HangUp();
        continue;
      }
      want = std::min<std::size_t>(want, static_cast<std::size_t>(left));
    }
    ssize_t n = read(master_, buf, want);
    if (n == 0 && options_.tcp) {
      // The tool closed its connection at the end of an action.
      interpreter_->Quiet();
      close(master_);
      master_ = -1;
      connected_ = false;
      Record({LogEntry::Event, "", "disconnected"});
      continue;
    }
    if (n <= 0) {
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    if (baud > 0) {
      // The printer takes bytes no faster than its line carries them.
      // A burst starts with its first byte; the small allowance keeps sleep
      // overshoot from adding up within a burst.
      paceNext = std::max(paceNext, Clock::now() - std::chrono::microseconds(200));
      paceNext += std::chrono::microseconds(static_cast<long long>(n) * 10'000'000LL / baud);
      std::this_thread::sleep_until(paceNext);
    }
    lastByte = Clock::now();
    quietSent = false;
    // Counted after the bytes were handled, so a waiter that sees the count
    // also sees what the bytes caused (log entries, replies).
    const long total = bytesReceived_.load() + n;
    if (options_.ownBaud == 0 || options_.tcp || LineBaud() == options_.ownBaud) Feed(buf, static_cast<std::size_t>(n));
    bytesReceived_ = total;
    if (f.hangUpAfterBytes >= 0 && total >= f.hangUpAfterBytes) HangUp();
  }
}

}  // namespace deveder::sim
