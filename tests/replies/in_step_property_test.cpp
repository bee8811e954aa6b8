// The reading pages against a random printer: every reply may come in two
// pieces with any pause up to 100 ms between them, late or never; values
// may be ones the page cannot show or longer than a line. Over a USB-mode
// and a serial-mode pty and over loopback TCP, in both command forms, every
// Read either fails with no control changed or shows exactly what the
// printer answered in time, and an unchanged Write after it leaves the
// printer's store identical byte for byte. Waits are a tenth of the usual;
// the seed of a failing printer is in the message. DEVEDER_PROPERTY_CASES
// sets how many printers each port type tries (a long run),
// DEVEDER_PROPERTY_SEED runs one with its traffic shown.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "link/port_hooks.h"
#include "page_rig.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

constexpr std::chrono::milliseconds kWait{150};

enum class Port { UsbPty, SerialPty, Tcp };

const std::vector<std::pair<std::string, std::vector<std::string>>>& Choices(PageKind kind) {
  static const std::string overlong(4085, 'M');
  static const std::vector<std::pair<std::string, std::vector<std::string>>> settings = {
      {"mfg", {"Zivuvo", "Acme", overlong}},
      {"sn", {"ZV1", ""}},
      {"density", {"3", "0", "x"}},
      {"media", {"label", "LABEL", "receipt"}},
      {"codepage", {"10001", "77", "0"}},
      {"warn_format", {"1", "0", "5"}},
      {"cover_action", {"1", "0", "7"}},
      {"menu_lang", {"1", "0", "2"}},
      {"msw", {"2460000000000000", ""}},
  };
  static const std::vector<std::pair<std::string, std::vector<std::string>>> wifi = {
      {"wlan.mode", {"1", "3", "9"}},
      {"wlan.dhcp", {"0", "1", "7"}},
      {"wlan.ap", {"AP,12345678,192.168.4.1,255.255.255.0,192.168.4.1", "OnlySsid", ""}},
  };
  static const std::vector<std::pair<std::string, std::vector<std::string>>> bluetooth = {
      {"bluetooth.friendly_name", {"TQ250L-BT", "Shop printer", ""}},
      {"bluetooth.bluetooth_pin", {"0000", "4321"}},
      {"bluetooth.baud", {"115200", "9600", "1234"}},
  };
  return kind == PageKind::Settings ? settings : kind == PageKind::Wifi ? wifi : bluetooth;
}

std::map<std::string, std::string> StoreOf(sim::PrinterSim& printer) {
  auto lock = printer.Lock();
  std::map<std::string, std::string> all;
  for (const std::string& name : printer.Store().Names()) all[name] = printer.Store().Get(name).value_or("");
  return all;
}

// The shapes of one printer's replies, decided from its seed. Whether a
// variable is answered late or never is the variable's own, the same on
// every request; pieces and their pauses differ from reply to reply.
struct Shaper {
  explicit Shaper(unsigned seed) : rng(seed) {}
  sim::ReplyShape Next(const std::string& var, std::size_t size) {
    std::lock_guard<std::mutex> hold(lock);
    auto known = fate.find(var);
    if (known == fate.end()) {
      const int roll = var == "model" ? 99 : static_cast<int>(rng() % 100);
      known = fate.emplace(var, roll < 4 ? 1 : roll < 8 ? 2 : 0).first;
      if (known->second) unanswered.insert(var);
    }
    sim::ReplyShape s;
    if (known->second == 1) s.drop = true;
    // Well past the wait, and within the resynchronisation's.
    if (known->second == 2) s.delayMs = static_cast<int>(25 * kWait.count() / 10);
    if (!known->second && rng() % 100 < 10) s.delayMs = static_cast<int>(rng() % (kWait.count() / 2));
    if (size >= 2 && rng() % 100 < 15) {
      s.splitAt = 1 + rng() % (size - 1);
      s.gapMs = static_cast<int>(rng() % 101);
    }
    return s;
  }
  std::mutex lock;
  std::mt19937 rng;
  std::map<std::string, int> fate;  // 0 answered, 1 never, 2 late
  std::set<std::string> unanswered;
};

const char* only = std::getenv("DEVEDER_PROPERTY_SEED");

void OneCase(unsigned seed, Port port, int& reads, int& failures) {
  std::mt19937 rng(seed);
  const PageKind kind = static_cast<PageKind>(rng() % 3);
  const bool named = rng() % 2;
  const int lang = rng() % 2 ? kLangChinese : kLangEnglish;
  const bool serial = port == Port::SerialPty;
  ReplyTiming timing = DefaultReplyTiming(port == Port::Tcp ? LinkKind::Tcp : LinkKind::Terminal, serial);
  timing.firstByte = kWait;
  std::map<std::string, std::string> held;
  for (const auto& [name, values] : Choices(kind)) held[name] = values[rng() % values.size()];
  const std::string where = "seed " + std::to_string(seed) + ": " + PageName(kind) + (named ? " named" : " numbered") +
                            (port == Port::Tcp ? " tcp" : serial ? " serial" : " usb");

  auto shaper = std::make_shared<Shaper>(seed);
  sim::Options o;
  o.modelReply = named ? kNamedModelReply : kNumberedModelReply;
  o.tcp = port == Port::Tcp;
  o.faults.shapeReply = [shaper](const std::string& var, std::size_t size) { return shaper->Next(var, size); };
  PageRig rig(kind, lang, o, serial, timing);
  if (only) SetPortTraceHook([](bool sent, const char* b, int n) { std::printf("%s %s\n", sent ? ">>" : "<<", std::string(b, n).c_str()); });
  for (const auto& [name, value] : held) rig.Set(name, value);
  const std::string untouched = rig.State();
  const std::map<std::string, std::string> before = StoreOf(*rig.printer);
  const bool ok = rig.Read();
  SetPortTraceHook(nullptr);
  ++reads;
  if (!ok) {
    if (std::getenv("DEVEDER_PROPERTY_SHOW")) std::printf("refused: %s\n", where.c_str());
    ++failures;
    EXPECT_EQ(rig.State(), untouched) << where << ": a failed Read changed controls";
    return;
  }
  // What the page must show: an instant printer's Read of what came in time.
  sim::Options plain;
  plain.modelReply = o.modelReply;
  plain.tcp = o.tcp;
  std::set<std::string> unanswered;
  {
    std::lock_guard<std::mutex> hold(shaper->lock);
    unanswered = shaper->unanswered;
  }
  plain.faults.shapeReply = [unanswered](const std::string& var, std::size_t) {
    sim::ReplyShape s;
    s.drop = unanswered.count(var) > 0;
    return s;
  };
  PageRig instant(kind, lang, plain, serial, timing);
  for (const auto& [name, value] : held) instant.Set(name, value);
  ASSERT_TRUE(instant.Read()) << where;
  EXPECT_EQ(rig.State(), instant.State()) << where;
  // An unchanged Write gives the printer back exactly what it holds.
  rig.printer->SetFaults({});
  rig.Write();
  EXPECT_EQ(StoreOf(*rig.printer), before) << where;
}

void Cases(Port port, unsigned offset) {
  const char* wanted = std::getenv("DEVEDER_PROPERTY_CASES");
  const unsigned count = wanted ? static_cast<unsigned>(std::atoi(wanted)) : 100;
  const unsigned first = only ? static_cast<unsigned>(std::atoi(only)) : offset + 1;
  const unsigned last = only ? first : offset + count;
  // The printers mostly pause: several are read at once, each on its own
  // port.
  std::atomic<unsigned> next{first};
  std::atomic<int> reads{0}, failures{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < (only ? 1 : 6); ++w)
    workers.emplace_back([&] {
      for (unsigned seed; (seed = next++) <= last && !testing::Test::HasFailure();) {
        int r = 0, f = 0;
        OneCase(seed, port, r, f);
        reads += r;
        failures += f;
      }
    });
  for (std::thread& t : workers) t.join();
  std::printf("%d random printers read, %d Reads refused as out of step or lost\n", reads.load(), failures.load());
  // Most printers are read: the rule fails a Read only when it must.
  EXPECT_LT(failures.load(), reads.load() / 3);
}

// Each port type with printers of its own seeds.
TEST(InStep, EveryReadOverAUsbModePtyIsInStepOrFailsAndAnUnchangedWriteChangesNothing) { Cases(Port::UsbPty, 0); }
TEST(InStep, EveryReadOverASerialModePtyIsInStepOrFailsAndAnUnchangedWriteChangesNothing) {
  Cases(Port::SerialPty, 100000);
}
TEST(InStep, EveryReadOverLoopbackTcpIsInStepOrFailsAndAnUnchangedWriteChangesNothing) { Cases(Port::Tcp, 200000); }

}  // namespace
