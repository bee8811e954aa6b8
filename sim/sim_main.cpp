// deveder-printer-sim: a simulated printer on a pseudo-terminal. Prints the
// port path first, then serves until interrupted.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "resources/version.h"
#include "link/std_streams_posix.h"
#include "sim/printer_sim.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

void Usage() {
  std::fprintf(stderr,
               "usage: deveder-printer-sim [options]\n"
               "  --model-reply TEXT      answer to getvar \"model\" (3 fields: numbered form only)\n"
               "  --link PATH             symlink to the port\n"
               "  --log FILE              JSON-lines traffic log\n"
               "  --pace-baud N           pace bytes at N baud\n"
               "  --tcp PORT              a network printer on 127.0.0.1:PORT (0: a free port) instead of a pty\n"
               "  --silent                answer nothing\n"
               "  --reply-delay MS        delay before every reply\n"
               "  --split-replies         send each reply in two writes\n"
               "  --split-gap MS          pause between the two halves (default 5)\n"
               "  --slow-var NAME MS      answer variable NAME MS late (nothing else meanwhile)\n"
               "  --hang-up-after N       close the line after N received bytes\n"
               "  --no-go-ahead           never accept download data\n"
               "  --no-confirmation       never confirm a download\n"
               "  --drop-acks N           drop the first N firmware acknowledgements\n"
               "  --garbage TEXT          send TEXT before every reply\n"
               "  --wrong-reply           answer firmware packets for another command\n");
}

}  // namespace

int main(int argc, char** argv) {
  // The port path goes to standard output: it must not land on the pty.
  deveder::EnsureStandardStreams();
  deveder::sim::Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&]() -> std::string {
      if (i + 1 >= argc) {
        Usage();
        std::exit(2);
      }
      return argv[++i];
    };
    // A whole decimal number within [low, high]; anything else ends the
    // run as a usage error, naming the option.
    auto number = [&](long low, long high) -> long {
      const std::string text = next();
      char* end = nullptr;
      errno = 0;
      const long v = std::strtol(text.c_str(), &end, 10);
      if (text.empty() || *end || errno == ERANGE || v < low || v > high) {
        std::fprintf(stderr, "deveder-printer-sim: %s takes a number from %ld to %ld, not '%s'\n", a.c_str(), low,
                     high, text.c_str());
        std::exit(2);
      }
      return v;
    };
    constexpr long kLongestDelayMs = 600000;
    if (a == "--model-reply") o.modelReply = next();
    else if (a == "--link") o.linkPath = next();
    else if (a == "--log") o.logPath = next();
    else if (a == "--pace-baud") o.paceBaud = static_cast<int>(number(0, 4000000));
    else if (a == "--tcp") {
      o.tcp = true;
      o.tcpPort = static_cast<int>(number(0, 65535));
    }
    else if (a == "--silent") o.faults.silent = true;
    else if (a == "--reply-delay") o.faults.replyDelayMs = static_cast<int>(number(0, kLongestDelayMs));
    else if (a == "--split-replies") o.faults.splitReplies = true;
    else if (a == "--split-gap") o.faults.splitGapMs = static_cast<int>(number(0, kLongestDelayMs));
    else if (a == "--slow-var") {
      o.faults.slowVar = next();
      o.faults.slowVarDelayMs = static_cast<int>(number(0, kLongestDelayMs));
    }
    else if (a == "--hang-up-after") o.faults.hangUpAfterBytes = number(0, 1L << 40);
    else if (a == "--no-go-ahead") o.faults.noGoAhead = true;
    else if (a == "--no-confirmation") o.faults.noConfirmation = true;
    else if (a == "--drop-acks") o.faults.dropFirstAcks = static_cast<int>(number(0, 1000000));
    else if (a == "--garbage") o.faults.garbageBeforeReplies = next();
    else if (a == "--wrong-reply") o.faults.replyWrongCommand = true;
    else if (a == "-h" || a == "--help") {
      Usage();
      return 0;
    } else if (a == "--version") {
      std::printf("deveder-printer-sim %s\n", deveder::kProgramVersion);
      return 0;
    } else {
      Usage();
      return 2;
    }
  }
  deveder::sim::PrinterSim sim(o);
  if (!sim.Start()) {
    std::fprintf(stderr, "deveder-printer-sim: cannot create a %s: %s\n",
                 o.tcp ? "listening socket" : "pseudo-terminal", std::strerror(errno));
    return 1;
  }
  std::printf("%s\n", sim.PortPath().c_str());
  std::fflush(stdout);
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  while (!g_stop) usleep(100000);
  sim.Stop();
  return 0;
}
