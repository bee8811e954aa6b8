// The port layer's reply rules over a real pty: a reply is gathered whole,
// bytes waiting before a request are no answer to it, an empty read of a
// device that is no terminal is no unplug, and a terminal gets its line
// settings back when the port closes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <memory>

#include "link/link.h"
#include "protocol/command_line.h"
#include "protocol/printer_info.h"
#include "protocol/reply_channel.h"
#include "sim/printer_sim.h"
#include "page_rig.h"
#include "test_support.h"

using namespace deveder;

namespace {

std::unique_ptr<sim::PrinterSim> Printer(const sim::Faults& f = {}) {
  sim::Options o;
  o.faults = f;
  auto p = std::make_unique<sim::PrinterSim>(o);
  EXPECT_TRUE(p->Start());
  return p;
}

std::string Reply(Link& port, const std::string& line) {
  char buf[kLineBufferSize];
  EXPECT_TRUE(port.SendLine(line).ok());
  const int n = port.ReadReply(buf, sizeof buf - 1).bytes;
  return std::string(buf, static_cast<std::size_t>(n));
}

}  // namespace

TEST(Replies, PiecesOfOneReplyAreOneReplyOnEitherKindOfPort) {
  const std::string line = GetvarNamedLine("usbd");
  for (bool serial : {false, true}) {
    auto printer = Printer({.splitReplies = true, .splitGapMs = serial ? 16 : 1});
    OpenResult port = OpenLink(printer->PortPath(), {serial, std::nullopt});
    ASSERT_TRUE(port.ok());
    // Judged on exchanges whose printer kept the timing asked of it (a
    // loaded test machine may wake its thread late).
    int judged = 0;
    for (int attempt = 0; attempt < 10 && judged < 3; ++attempt) {
      printer->ClearLog();
      port.link->DiscardInput();
      const std::string usbd = Reply(*port.link, line);
      const std::string model = Reply(*port.link, ModelRequestLine());
      if (!tst::SplitAsAsked(*printer, serial)) continue;
      ++judged;
      EXPECT_EQ(usbd, "Zivuvo;TQ250L Label Printer") << serial;
      EXPECT_EQ(model, "TQ250L;250;CPCL,ESCPOS,TSPL;1") << serial;
    }
    EXPECT_GT(judged, 0);
  }
}

// Each bound of a reply just inside itself (the reply is still read whole)
// and beyond (it has ended, or nothing came), on every kind of port. The
// figures are the system's own: 1.8 ms of silence on USB, 25 ms on a
// serial line, 4 ms on a network stream, 100 ms before a WLAN answer's NUL,
// 1 s for the first byte.
TEST(Replies, EachBoundHoldsJustInsideItselfAndEndsBeyond) {
  struct Port {
    const char* name;
    bool serial, tcp;
    int silenceUs;
  };
  const std::string whole = "Zivuvo;TQ250L Label Printer";  // the usbd reply, split in two halves
  for (const Port& k : {Port{"usb", false, false, 1800}, Port{"serial", true, false, 25000},
                        Port{"tcp", false, true, 4000}}) {
    SCOPED_TRACE(k.name);
    sim::Options o;
    o.tcp = k.tcp;
    sim::PrinterSim printer(o);
    ASSERT_TRUE(printer.Start());
    OpenResult port = OpenLink(printer.PortPath(), {k.serial, std::nullopt});
    ASSERT_TRUE(port.ok());
    auto ask = [&](const std::string& line, bool endAtNul = false) {
      port.link->DiscardInput();
      printer.ClearLog();
      char buf[kLineBufferSize];
      EXPECT_TRUE(port.link->SendLine(line).ok());
      const IoResult r = port.link->ReadReply(buf, sizeof buf - 1, endAtNul);
      return std::string(buf, static_cast<std::size_t>(std::max(r.bytes, 0)));
    };
    // True when one of a few exchanges, shaped by `faults`, got `want`: a
    // loaded machine may stretch a pause, never shorten it, so one is enough
    // inside a bound, and beyond one no exchange can get the whole reply.
    auto gets = [&](const sim::Faults& faults, const std::string& line, const std::string& want, bool endAtNul) {
      printer.SetFaults(faults);
      for (int attempt = 0; attempt < 5; ++attempt)
        if (ask(line, endAtNul) == want) return true;
      return false;
    };
    // The rest of a reply cut off comes a moment later: it is waited for,
    // so that no later exchange starts before it.
    auto rest = [&] {
      char buf[kLineBufferSize];
      port.link->ReadNow(buf, sizeof buf, std::chrono::milliseconds(300), false);
    };
    const std::string usbd = GetvarNamedLine("usbd");
    const std::string half = whole.substr(0, whole.size() / 2);
    EXPECT_TRUE(gets({.splitReplies = true, .splitGapUs = k.silenceUs * 85 / 100}, usbd, whole, false));
    EXPECT_TRUE(gets({.splitReplies = true, .splitGapUs = k.silenceUs * 2}, usbd, half, false));
    rest();
    // A WLAN answer is not over before its NUL unless the printer pauses
    // 100 ms; the first byte is awaited 1 s. Both are the same on every
    // port: checked on a terminal and on the network.
    if (k.serial) continue;
    tst::SetSimVar(printer, "wlan.mac", "001A7DDA7113");
    const std::string mac = std::string("001A7DDA7113") + '\0';
    const std::string macLine = GetvarNamedLine("wlan.mac");
    EXPECT_TRUE(gets({.splitReplies = true, .splitGapMs = 85}, macLine, mac, true));
    EXPECT_TRUE(gets({.splitReplies = true, .splitGapMs = 130}, macLine, mac.substr(0, mac.size() / 2), true));
    rest();
    // One exchange each: a second would take the first one's late reply.
    printer.SetFaults({.replyDelayMs = 850});
    EXPECT_EQ(ask(ModelRequestLine()), printer.ModelReply());
    printer.SetFaults({.replyDelayMs = 1150});
    EXPECT_EQ(ask(ModelRequestLine()), "");
  }
}

TEST(Replies, BytesWaitingBeforeARequestAreNoAnswerToIt) {
  auto printer = Printer();
  OpenResult port = OpenLink(printer->PortPath());
  ASSERT_TRUE(port.ok());
  // The tail of an interrupted download, still on the line when the next
  // action starts: every probe sees its own answer.
  for (int i = 0; i < 3; ++i) {
    printer->SendRaw(std::string("\x01\x06\x15", 3) + "TQ25");
    ASSERT_TRUE(printer->WaitFor([&] { return printer->Log().size() >= static_cast<std::size_t>(2 * i + 1); }, 1000));
    // The stale bytes have reached the tool's side of the line.
    pollfd ready{port.link->fd(), POLLIN, 0};
    ASSERT_EQ(poll(&ready, 1, 1000), 1);
    char buf[kLineBufferSize];
    PrinterInfo info;
    EXPECT_EQ(ProbePrinterModel(*port.link, buf, sizeof buf, info), 'O');
    EXPECT_STREQ(info.modelName, "TQ250L");
  }
}

// A reply that comes after its wait gave up is taken for nobody's: the
// channel resynchronises on the model reply before it asks again.
TEST(Replies, AReplyLaterThanItsWaitIsNeverTheNextAnswer) {
  const ReplyTiming timing = tst::ShortTiming(false);
  const auto waitMs = std::chrono::duration_cast<std::chrono::milliseconds>(timing.firstByte).count();
  auto printer = Printer({.slowVar = "sn", .slowVarDelayMs = static_cast<int>(waitMs) + 250});
  OpenResult port = OpenLink(printer->PortPath(), {false, timing});
  ASSERT_TRUE(port.ok());
  ReplyChannel channel(*port.link);
  ASSERT_EQ(channel.Drain(), ReplyChannel::Outcome::Answered);
  EXPECT_EQ(channel.Ask(GetvarNamedLine("sn")), ReplyChannel::Outcome::Unanswered);
  EXPECT_EQ(channel.Ask(GetvarNamedLine("mfg")), ReplyChannel::Outcome::Answered);
  EXPECT_EQ(channel.bytes(), "Zivuvo");
  EXPECT_FALSE(channel.Silent());
  // A printer that stops answering even the model is lost, not empty.
  printer->SetFaults({.silent = true});
  EXPECT_EQ(channel.Ask(GetvarNamedLine("sn")), ReplyChannel::Outcome::Unanswered);
  EXPECT_EQ(channel.Ask(GetvarNamedLine("mfg")), ReplyChannel::Outcome::Lost);
}

TEST(Replies, AnEmptyReadOfADeviceThatIsNoTerminalIsNoUnplug) {
  // /dev/null completes every read with no bytes, as a USB printer does when
  // it has nothing to say.
  OpenResult port = OpenLink("/dev/null", {false, tst::ShortTiming(false)});
  ASSERT_TRUE(port.ok());
  char buf[64];
  PrinterInfo info;
  EXPECT_EQ(ProbePrinterModel(*port.link, buf, sizeof buf, info), 0);
  ASSERT_TRUE(port.link->SendLine(ModelRequestLine()).ok());
  const IoResult r = port.link->ReadReply(buf, sizeof buf);
  EXPECT_FALSE(r.lost());
  EXPECT_EQ(r.fault, PortFault::TimedOut);
}

TEST(Replies, ATerminalGetsItsLineSettingsBackWhenThePortCloses) {
  auto printer = Printer();
  // A line as another program left it: cooked, echoing, 2400 baud.
  int fd = open(printer->SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  termios cooked{};
  ASSERT_EQ(tcgetattr(fd, &cooked), 0);
  cooked.c_lflag |= ICANON | ECHO;
  cfsetispeed(&cooked, B2400);
  cfsetospeed(&cooked, B2400);
  ASSERT_EQ(tcsetattr(fd, TCSANOW, &cooked), 0);
  auto same = [&] {
    termios now{};
    tcgetattr(fd, &now);
    return cfgetospeed(&now) == B2400 && (now.c_lflag & (ICANON | ECHO)) == (ICANON | ECHO) &&
           now.c_oflag == cooked.c_oflag && now.c_iflag == cooked.c_iflag;
  };
  {
    OpenResult port = OpenLink(printer->PortPath());
    ASSERT_TRUE(port.ok());
    EXPECT_FALSE(same());  // raw while in use
    ASSERT_TRUE(port.link->Configure(115200).ok());
  }
  EXPECT_TRUE(same());
  // A line that cannot be set up is given back as well.
  {
    OpenResult port = OpenLink(printer->PortPath());
    ASSERT_TRUE(port.ok());
    EXPECT_FALSE(port.link->Configure(12345).ok());
  }
  EXPECT_TRUE(same());
  close(fd);
}
