// The port layer and the model probe over a real pty against the simulator.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "link/link.h"
#include "protocol/command_line.h"
#include "protocol/printer_info.h"
#include "sim/printer_sim.h"
#include "test_support.h"

using namespace deveder;
using deveder::tst::CountOpenFds;
using Clock = std::chrono::steady_clock;

namespace {

long long MsSince(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

struct Sim {
  explicit Sim(const std::string& modelReply = "TQ250L;250;CPCL,ESCPOS,TSPL;1") {
    sim::Options o;
    o.modelReply = modelReply;
    printer = std::make_unique<sim::PrinterSim>(o);
    EXPECT_TRUE(printer->Start());
  }
  std::unique_ptr<sim::PrinterSim> printer;
};

int Send(Link& p, const std::string& line) { return p.SendLine(line).ok() ? 0 : -1; }
int Reply(Link& p, char* buf, int cap) { return p.ReadReply(buf, cap).bytes; }
int ReplyToNul(Link& p, char* buf) { return p.ReadReply(buf, kLineBufferSize, true).bytes; }

}  // namespace

TEST(Port, OpeningAMissingPathFailsAndOpensNothing) {
  const int before = CountOpenFds();
  const OpenResult missing = OpenLink("/dev/usb/lp-does-not-exist");
  EXPECT_FALSE(missing.ok());
  EXPECT_EQ(missing.fault, PortFault::OpenFailed);
  EXPECT_FALSE(OpenLink("").ok());
  EXPECT_EQ(CountOpenFds(), before);
}

TEST(Port, ProbeLearnsTheNamedForm) {
  Sim s;
  OpenResult port = OpenLink(s.printer->PortPath());
  ASSERT_TRUE(port.ok());
  char buf[kLineBufferSize];
  PrinterInfo info;
  EXPECT_EQ(ProbePrinterModel(*port.link, buf, sizeof buf, info), 'O');
  EXPECT_STREQ(info.modelName, "TQ250L");
  EXPECT_EQ(info.modelNumber, 250);
  EXPECT_EQ(info.languageMask, kLangCpcl | kLangEscpos | kLangTspl);
  EXPECT_EQ(s.printer->Lines(), std::vector<std::string>{ModelRequestLine()});
}

TEST(Port, ProbeOfAThreeFieldPrinterKeepsTheNumberedForm) {
  Sim s("TQ210;210;ESCPOS");
  OpenResult port = OpenLink(s.printer->PortPath());
  char buf[kLineBufferSize];
  PrinterInfo info;
  EXPECT_EQ(ProbePrinterModel(*port.link, buf, sizeof buf, info), 0);
  EXPECT_STREQ(info.modelName, "TQ210");
  EXPECT_EQ(info.languageMask, kLangEscpos);
  // Such a printer answers group variables by number only.
  ASSERT_EQ(Send(*port.link, GetvarLine({"density", 0, 31}, LineForm::Named)), 0);
  EXPECT_EQ(Reply(*port.link, buf, sizeof buf - 1), 0);
  ASSERT_EQ(Send(*port.link, GetvarLine({"density", 0, 31}, LineForm::Numbered)), 0);
  EXPECT_EQ(std::string(buf, Reply(*port.link, buf, sizeof buf - 1)), "3");
}

TEST(Port, DrainDiscardsAStaleReplySoTheProbeSeesItsOwn) {
  Sim s;
  OpenResult port = OpenLink(s.printer->PortPath());
  char buf[kLineBufferSize];
  // A reply nobody read is waiting on the line.
  ASSERT_EQ(Send(*port.link, GetvarLine({"mfg", 0, 7}, LineForm::Named)), 0);
  ASSERT_TRUE(s.printer->WaitFor([&] { return s.printer->Log().size() >= 2; }, 1000));
  ASSERT_EQ(DrainPort(*port.link, buf, sizeof buf), 0);
  PrinterInfo info;
  EXPECT_EQ(ProbePrinterModel(*port.link, buf, sizeof buf, info), 'O');
  EXPECT_STREQ(info.modelName, "TQ250L");
}

// A printer that goes away before it answers is no printer that said
// nothing: the drain and the probe both fail, and the probe leaves what
// was known of the printer as it was.
TEST(Port, DrainAndProbeFailWhenThePrinterGoesAway) {
  for (bool drain : {true, false}) {
    Sim s;
    s.printer->SetFaults({.hangUpAfterBytes = 5});
    OpenResult port = OpenLink(s.printer->PortPath());
    char buf[kLineBufferSize];
    PrinterInfo info;
    info.languageMask = kLangTspl;
    if (drain) {
      EXPECT_EQ(DrainPort(*port.link, buf, sizeof buf), -1);
    } else {
      EXPECT_EQ(ProbePrinterModel(*port.link, buf, sizeof buf, info), -1);
      EXPECT_EQ(info.languageMask, kLangTspl);
    }
  }
}

TEST(Port, SilentPrinterGivesAnEmptyReplyAfterAboutOneAttempt) {
  Sim s;
  s.printer->SetFaults({.silent = true});
  OpenResult port = OpenLink(s.printer->PortPath());
  char buf[kLineBufferSize];
  ASSERT_EQ(Send(*port.link, ModelRequestLine()), 0);
  const auto t0 = Clock::now();
  const IoResult r = port.link->ReadReply(buf, sizeof buf);
  EXPECT_EQ(r.bytes, 0);
  const auto ms = MsSince(t0);
  EXPECT_GE(ms, 90);
  EXPECT_LT(ms, 2000);  // the first attempt gives up; not 100 x 100 ms
  EXPECT_EQ(r.fault, PortFault::TimedOut);
}

TEST(Port, SplitReplyIsWholeOnASerialLineAndFirstPieceOverUsb) {
  Sim s;
  s.printer->SetFaults({.splitReplies = true, .splitGapMs = 8});
  char buf[kLineBufferSize];
  const std::string line = GetvarLine({"usbd", 0, 10}, LineForm::Named);
  {
    OpenResult port = OpenLink(s.printer->PortPath(), {true, std::nullopt});
    ASSERT_EQ(Send(*port.link, line), 0);
    int n = Reply(*port.link, buf, sizeof buf - 1);
    EXPECT_EQ(std::string(buf, n), "Zivuvo;TQ250L Label Printer");
  }
  {
    OpenResult port = OpenLink(s.printer->PortPath());
    ASSERT_EQ(Send(*port.link, line), 0);
    int n = Reply(*port.link, buf, sizeof buf - 1);
    EXPECT_EQ(std::string(buf, n), "Zivuvo;TQ250L");
  }
}

TEST(Port, ReadToNulStopsOnlyWhenTheLastByteIsNul) {
  Sim s;
  s.printer->SetFaults({.splitReplies = true, .splitGapMs = 15});
  OpenResult port = OpenLink(s.printer->PortPath());
  char buf[kLineBufferSize];
  ASSERT_EQ(Send(*port.link, GetvarLine({"wlan.ap", 2, 23}, LineForm::Named)), 0);
  int n = ReplyToNul(*port.link, buf);
  const std::string expected = std::string("TQ250L-AP,12345678,192.168.4.1,255.255.255.0,192.168.4.1") + '\0';
  EXPECT_EQ(std::string(buf, n), expected);
}

TEST(Port, NulInsideAPieceDoesNotEndReadToNul) {
  Sim s;
  {
    auto l = s.printer->Lock();
    s.printer->Store().Set("wlan.lip", std::string("10.0.0.1\0tail", 13));
  }
  OpenResult port = OpenLink(s.printer->PortPath());
  char buf[kLineBufferSize];
  ASSERT_EQ(Send(*port.link, GetvarLine({"wlan.lip", 2, 28}, LineForm::Named)), 0);
  int n = ReplyToNul(*port.link, buf);
  EXPECT_EQ(n, 14);  // the embedded NUL was not the last byte; the final one was
  EXPECT_EQ(buf[n - 1], '\0');
}

TEST(Port, AnUnpluggedPrinterCannotBeReopenedThroughAPrinterPluggedInAfterIt) {
  const int before = CountOpenFds();
  {
    Sim gone;
    const std::string path = gone.printer->PortPath();
    gone.printer->Unplug();
    // The next pty made takes the number the unplugged one gave back
    // (unless another process took it first).
    Sim next;
    EXPECT_NE(next.printer->PortPath(), path);
    const OpenResult old = OpenLink(path);
    EXPECT_FALSE(old.ok());
    EXPECT_EQ(old.fault, PortFault::OpenFailed);
    next.printer->Stop();
    EXPECT_FALSE(OpenLink(next.printer->PortPath()).ok());
  }
  EXPECT_EQ(CountOpenFds(), before);
}

TEST(Port, HangUpDuringReadIsADeviceFailureWithinASecond) {
  const int before = CountOpenFds();
  {
    Sim s;
    s.printer->SetFaults({.silent = true, .hangUpAfterBytes = 23});
    OpenResult port = OpenLink(s.printer->PortPath());
    ASSERT_TRUE(port.ok());
    Link& p = *port.link;
    char buf[kLineBufferSize];
    ASSERT_EQ(Send(p, ModelRequestLine()), 0);
    const auto t0 = Clock::now();
    EXPECT_EQ(p.ReadNow(buf, sizeof buf, std::chrono::milliseconds(5000)).fault, PortFault::DeviceFailure);
    EXPECT_LT(MsSince(t0), 1000);
    const IoResult reply = p.ReadReply(buf, sizeof buf);
    EXPECT_EQ(reply.bytes, 0);
    EXPECT_TRUE(reply.lost());
    EXPECT_FALSE(p.ConfirmOutput().ok());
  }
  EXPECT_EQ(CountOpenFds(), before);
}

TEST(Port, SilenceIsNoLostReplyAndALiveLineConfirmsItsOutput) {
  Sim s;
  s.printer->SetFaults({.silent = true});
  OpenResult port = OpenLink(s.printer->PortPath());
  ASSERT_TRUE(port.ok());
  Link& p = *port.link;
  char buf[kLineBufferSize];
  ASSERT_EQ(Send(p, ModelRequestLine()), 0);
  const IoResult quiet = p.ReadNow(buf, sizeof buf, std::chrono::milliseconds(50));
  EXPECT_EQ(quiet.fault, PortFault::TimedOut);
  EXPECT_FALSE(quiet.lost());
  EXPECT_TRUE(p.ConfirmOutput().ok());
  s.printer->Unplug();
  // The kernel finishes a tty hang-up shortly after the other side closed.
  IoResult confirmed;
  for (int i = 0; i < 200 && confirmed.ok(); ++i) {
    confirmed = p.ConfirmOutput();
    if (confirmed.ok()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(confirmed.fault, PortFault::DeviceFailure);
}

TEST(Port, HangUpDuringWriteIsADeviceFailureWithinASecond) {
  const int before = CountOpenFds();
  {
    Sim s;
    s.printer->SetFaults({.hangUpAfterBytes = 1000});
    OpenResult port = OpenLink(s.printer->PortPath());
    ASSERT_TRUE(port.ok());
    std::string big(256 * 1024, 'x');  // far more than the pty buffers
    const auto t0 = Clock::now();
    EXPECT_EQ(port.link->Write(big.data(), static_cast<int>(big.size())).fault, PortFault::DeviceFailure);
    EXPECT_LT(MsSince(t0), 1000);
  }
  EXPECT_EQ(CountOpenFds(), before);
}

TEST(Port, ConfigureSerialPortSetsTheLineAndRefusesANonTty) {
  Sim s;
  OpenResult p = OpenLink(s.printer->PortPath());
  ASSERT_TRUE(p.ok());
  EXPECT_TRUE(p.link->Configure(115200).ok());
  EXPECT_EQ(s.printer->LineBaud(), 115200u);
  EXPECT_EQ(p.link->LineSpeed(), 115200u);
  EXPECT_FALSE(p.link->Configure(12345).ok());  // not a line speed
  EXPECT_EQ(p.link->LineSpeed(), 115200u);

  const int before = CountOpenFds();
  {
    OpenResult f = OpenLink("/dev/null");
    ASSERT_TRUE(f.ok());
    EXPECT_EQ(f.link->Kind(), LinkKind::UsbPrinter);
    EXPECT_FALSE(f.link->Configure(9600).ok());
  }
  EXPECT_EQ(CountOpenFds(), before);
}

TEST(Port, SerialWriteAddsTheShortPause) {
  Sim s;
  OpenResult port = OpenLink(s.printer->PortPath(), {true, std::nullopt});
  const auto t0 = Clock::now();
  ASSERT_EQ(Send(*port.link, ModelRequestLine()), 0);
  EXPECT_GE(MsSince(t0), 5);
}
