// A printer on a pseudo-terminal: the printer's side of every exchange the
// tool relies on, with fault injection and a byte-exact traffic log.
//
// The simulator owns the pty master and keeps a descriptor of the slave open
// itself, so the tool opening and closing the slave never hangs the master
// up. A hang-up fault closes the master: the slave then sees POLLHUP, EIO,
// exactly what an unplugged printer looks like on a tty.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_store.h"

namespace deveder::sim {

// One entry of the traffic log.
struct LogEntry {
  enum Kind { Line, Job, Download, XorPacket, SumPacket, Sent, Event };
  Kind kind;
  std::string bytes;  // byte-exact
  std::string note;
};

struct JobRecord {  // raw job bytes that were no command line
  std::size_t size = 0;
  std::uint64_t hash = 0;  // Fnv1a64 of the bytes
  std::string language;    // "CPCL", "TSPL" or ""
};

struct DownloadRecord {
  std::string kind;  // "font", "demo", "fontext"
  std::string name;  // fontext: the file name as sent (printer bytes)
  std::size_t size = 0;
  std::uint64_t hash = 0;
  bool complete = false;
};

struct FirmwareRecord {
  std::string framing;  // "xor" or "sum"
  std::size_t size = 0;
  std::uint64_t hash = 0;  // Fnv1a64 of the image, set when it ends
  bool complete = false;
  std::uint32_t announcedSize = 0;  // sum framing
};

// How one reply goes out: after a delay, in two pieces with a pause between
// them, or not at all.
struct ReplyShape {
  int delayMs = 0;
  bool drop = false;
  std::size_t splitAt = 0;  // 0 or the reply's size: in one piece
  int gapMs = 0;
};

struct Faults {
  bool silent = false;              // answers nothing
  int replyDelayMs = 0;             // before every reply
  bool splitReplies = false;        // each reply in two writes
  int splitGapMs = 5;               // between the two halves
  int splitGapUs = 0;               // the same in microseconds, when set (a USB printer's transfers)
  // One variable answered late (named or numbered request alike), on top
  // of replyDelayMs. Like a real printer, nothing else is answered meanwhile.
  std::string slowVar;
  int slowVarDelayMs = 0;
  long hangUpAfterBytes = -1;       // close the master after N received bytes
  std::string garbageBeforeReplies; // bytes sent before every reply
  // Downloads; for firmware: no answer to "+" or command 3 (go-ahead), to the
  // image end or command 6 (confirmation)
  bool noGoAhead = false;
  bool noConfirmation = false;
  // Firmware loaders
  int dropFirstAcks = 0;             // acknowledgements not sent
  bool replyWrongCommand = false;    // answer for another command/argument
  // Shapes every reply of a getvar (its variable's name, the reply's size),
  // on top of the faults above: a printer whose every reply is its own.
  std::function<ReplyShape(const std::string& var, std::size_t size)> shapeReply;
};

struct Options {
  std::string modelReply = "TQ250L;250;CPCL,ESCPOS,TSPL;1";
  // Symlink to the slave. When empty the simulator makes one of its own in a
  // private directory: the pty's own number is handed to the next pty made
  // once this one is gone, so a tool opening it after an unplug could reach
  // another printer instead of finding none.
  std::string linkPath;
  std::string logPath;    // JSON lines, when set
  int paceBaud = 0;       // 0: unpaced
  // The printer's own line speed: bytes sent at any other speed reach it as
  // noise and are not understood (0: it understands every speed).
  std::uint32_t ownBaud = 0;
  Faults faults;
  // A network printer instead: listens on 127.0.0.1 at tcpPort (0: a free
  // port) and serves one connection at a time. A hang-up closes the
  // connection and stops listening, as a printer switched off does.
  bool tcp = false;
  int tcpPort = 0;
};

std::uint64_t Fnv1a64(const void* data, std::size_t size, std::uint64_t seed = 0xcbf29ce484222325ULL);

class PrinterSim {
 public:
  explicit PrinterSim(Options options = {});
  ~PrinterSim();
  PrinterSim(const PrinterSim&) = delete;
  PrinterSim& operator=(const PrinterSim&) = delete;

  // Creates the pty and starts serving it on a thread. False on failure.
  bool Start();
  void Stop();
  const std::string& SlavePath() const { return slavePath_; }
  // Path the tool should open: the symlink, which goes away when the printer
  // hangs up, as an unplugged device's node does; "127.0.0.1:PORT" for a
  // network printer.
  std::string PortPath() const;

  // Faults and model may change while running.
  void SetFaults(const Faults& f);
  Faults GetFaults() const;
  void SetModelReply(const std::string& reply);
  std::string ModelReply() const;

  SimStore& Store() { return store_; }  // variables; lock with Lock()
  std::unique_lock<std::mutex> Lock() const { return std::unique_lock<std::mutex>(mutex_); }

  // Copies of what was seen (thread-safe).
  std::vector<LogEntry> Log() const;
  std::vector<std::string> Lines() const;  // command lines, byte-exact
  std::vector<JobRecord> Jobs() const;
  std::vector<DownloadRecord> Downloads() const;
  std::vector<FirmwareRecord> Firmware() const;
  std::vector<std::string> Packets() const;  // firmware request packets, byte-exact
  // Command lines received with a control byte inside or an unbalanced
  // quote: lines no tool should ever send (each also an Event entry whose
  // note begins with "fault:").
  std::vector<std::string> FaultyLines() const;
  void ClearLog();
  bool HungUp() const { return hungUp_.load(); }
  // A network printer: whether a connection is up now.
  bool Connected() const { return connected_.load(); }
  // When the line went (steady clock); meaningful once HungUp().
  std::chrono::steady_clock::time_point HungUpAt() const;
  long BytesReceived() const { return bytesReceived_.load(); }
  // The longest pause that really came between the halves of a split reply
  // since the start or the last ClearLog (microseconds).
  long LongestSplitGapUs() const { return longestSplitGapUs_.load(); }
  // Closes the line now, as if the printer were unplugged.
  // Returns once the line is gone (bounded).
  void Unplug();
  // Holds the line as a printer with a full input buffer does (flow
  // control): the tool's writes wait until it lets go. Terminals only.
  void HoldLine(bool held);
  // The line speed the tool set on the slave (tcgetattr on the master).
  std::uint32_t LineBaud() const;

  // Waits until `pred` holds for the log (or `timeoutMs` passes).
  bool WaitFor(const std::function<bool()>& pred, int timeoutMs) const;

  // ---- used by the protocol handlers (sim thread) ----
  void Send(const std::string& bytes, const std::string& var = {});  // a reply, with faults applied
  void SendRaw(const std::string& bytes);     // bytes as they are
  void Record(LogEntry entry);
  void RecordJob(const JobRecord& job);
  void RecordDownload(const DownloadRecord& d);
  void UpdateDownload(const DownloadRecord& d);  // replaces the last record
  void RecordFirmware(const FirmwareRecord& f);
  void UpdateFirmware(const FirmwareRecord& f);
  const Options& options() const { return options_; }

 private:
  void Serve();
  bool StartTcp();
  bool AcceptOrWait();
  void Feed(const char* data, std::size_t n);
  void HangUp();
  void WriteAll(const std::string& bytes);
  bool MakeLink(const char* slave);
  void RemoveLink();

  Options options_;
  SimStore store_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<LogEntry> log_;
  std::vector<JobRecord> jobs_;
  std::vector<DownloadRecord> downloads_;
  std::vector<FirmwareRecord> firmware_;
  int master_ = -1;  // the pty master, or the network connection
  int listen_ = -1;  // network printer: the listening socket
  int slaveKeep_ = -1;
  int wakePipe_[2] = {-1, -1};
  std::string slavePath_;
  std::string linkPath_;  // the symlink made by Start
  std::string ownDir_;    // the private directory holding it, when ours
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> hungUp_{false};
  std::atomic<bool> connected_{false};
  std::atomic<bool> unplugAsked_{false};
  std::chrono::steady_clock::time_point hungUpAt_{};
  std::atomic<long> bytesReceived_{0};
  std::atomic<long> longestSplitGapUs_{0};
  std::unique_ptr<class Interpreter> interpreter_;
  std::FILE* logFile_ = nullptr;
};

}  // namespace deveder::sim
