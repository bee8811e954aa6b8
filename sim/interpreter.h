// The simulated printer's input side: sorts the byte stream into command
// lines, download data, firmware packets and raw print jobs, and answers.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace deveder::sim {

class PrinterSim;
class FirmwareLoader;

class Interpreter {
 public:
  explicit Interpreter(PrinterSim& sim);
  ~Interpreter();

  void Feed(const char* data, std::size_t n);
  // The line has been quiet for a while: a raw job ends here.
  void Quiet();

  // Parses one command line (without ESC ESC and CR LF is fine too); public
  // for the fuzz target. Answers through the simulator.
  void HandleLine(const std::string& line);

 private:
  enum class Mode { Hunt, Line, Download, Job, Packet };

  void StartDownload(const std::string& kind, const std::string& name, long long size);
  void EndJob();

  PrinterSim& sim_;
  Mode mode_ = Mode::Hunt;
  std::string pending_;  // bytes of the unit being received
  // download in progress
  std::string dlKind_, dlName_;
  long long dlRemaining_ = 0;
  std::size_t dlSize_ = 0;
  std::uint64_t dlHash_ = 0;
  // raw job in progress
  std::size_t jobSize_ = 0;
  std::uint64_t jobHash_ = 0;
  std::string jobHead_;
  std::unique_ptr<FirmwareLoader> firmware_;
};

}  // namespace deveder::sim
