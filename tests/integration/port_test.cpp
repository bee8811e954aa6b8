// The port layer and the model probe over a real pty against the simulator.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "link/port.h"
#include "protocol/command_line.h"
#include "protocol/printer_info.h"
#include "sim/printer_sim.h"
#include "test_support.h"

using namespace deveder;
using deveder::tst::CountOpenFds;
using deveder::tst::SerialFlag;
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

int Send(PortHandle p, const std::string& line) { return PortWrite(p, line.data(), static_cast<int>(line.size())); }

}  // namespace

TEST(Port, OpeningAMissingPathFailsAndOpensNothing) {
  const int before = CountOpenFds();
  EXPECT_EQ(OpenPrinterPort("/dev/usb/lp-does-not-exist"), kInvalidPortHandle);
  EXPECT_EQ(PortLastFault(), PortFault::OpenFailed);
  EXPECT_EQ(OpenPrinterPort(""), kInvalidPortHandle);
  EXPECT_EQ(CountOpenFds(), before);
}

TEST(Port, ProbeLearnsTheNamedForm) {
  Sim s;
  ScopedPort port(OpenPrinterPort(s.printer->PortPath()));
  ASSERT_TRUE(port.valid());
  char buf[kLineBufferSize];
  PrinterInfo info;
  EXPECT_EQ(ProbePrinterModel(port.get(), buf, sizeof buf, info), 'O');
  EXPECT_STREQ(info.modelName, "TQ250L");
  EXPECT_EQ(info.modelNumber, 250);
  EXPECT_EQ(info.languageMask, kLangCpcl | kLangEscpos | kLangTspl);
  EXPECT_EQ(s.printer->Lines(), std::vector<std::string>{ModelRequestLine()});
}

TEST(Port, ProbeOfAThreeFieldPrinterKeepsTheNumberedForm) {
  Sim s("TQ210;210;ESCPOS");
  ScopedPort port(OpenPrinterPort(s.printer->PortPath()));
  char buf[kLineBufferSize];
  PrinterInfo info;
  EXPECT_EQ(ProbePrinterModel(port.get(), buf, sizeof buf, info), 0);
  EXPECT_STREQ(info.modelName, "TQ210");
  EXPECT_EQ(info.languageMask, kLangEscpos);
  // Such a printer answers group variables by number only.
  ASSERT_EQ(Send(port.get(), GetvarLine({"density", 0, 31}, LineForm::Named)), 0);
  EXPECT_EQ(PortReadReply(port.get(), buf, sizeof buf - 1), 0);
  ASSERT_EQ(Send(port.get(), GetvarLine({"density", 0, 31}, LineForm::Numbered)), 0);
  EXPECT_EQ(std::string(buf, PortReadReply(port.get(), buf, sizeof buf - 1)), "3");
}

TEST(Port, DrainDiscardsAStaleReplySoTheProbeSeesItsOwn) {
  Sim s;
  ScopedPort port(OpenPrinterPort(s.printer->PortPath()));
  char buf[kLineBufferSize];
  // A reply nobody read is waiting on the line.
  ASSERT_EQ(Send(port.get(), GetvarLine({"mfg", 0, 7}, LineForm::Named)), 0);
  ASSERT_TRUE(s.printer->WaitFor([&] { return s.printer->Log().size() >= 2; }, 1000));
  ASSERT_EQ(DrainPort(port.get(), buf, sizeof buf), 0);
  PrinterInfo info;
  EXPECT_EQ(ProbePrinterModel(port.get(), buf, sizeof buf, info), 'O');
  EXPECT_STREQ(info.modelName, "TQ250L");
}

// A printer that goes away before it answers is no printer that said
// nothing: the drain and the probe both fail, and the probe leaves what
// was known of the printer as it was.
TEST(Port, DrainAndProbeFailWhenThePrinterGoesAway) {
  for (bool drain : {true, false}) {
    Sim s;
    s.printer->SetFaults({.hangUpAfterBytes = 5});
    ScopedPort port(OpenPrinterPort(s.printer->PortPath()));
    char buf[kLineBufferSize];
    PrinterInfo info;
    info.languageMask = kLangTspl;
    if (drain) {
      EXPECT_EQ(DrainPort(port.get(), buf, sizeof buf), -1);
    } else {
      EXPECT_EQ(ProbePrinterModel(port.get(), buf, sizeof buf, info), -1);
      EXPECT_EQ(info.languageMask, kLangTspl);
    }
  }
}

TEST(Port, SilentPrinterGivesAnEmptyReplyAfterAboutOneAttempt) {
  Sim s;
  s.printer->SetFaults({.silent = true});
  ScopedPort port(OpenPrinterPort(s.printer->PortPath()));
  char buf[kLineBufferSize];
  ASSERT_EQ(Send(port.get(), ModelRequestLine()), 0);
  const auto t0 = Clock::now();
  EXPECT_EQ(PortReadReply(port.get(), buf, sizeof buf), 0);
  const auto ms = MsSince(t0);
  EXPECT_GE(ms, 90);
  EXPECT_LT(ms, 2000);  // the first attempt gives up; not 100 x 100 ms
  EXPECT_EQ(PortLastFault(), PortFault::TimedOut);
}

TEST(Port, SplitReplyIsWholeOnASerialLineAndFirstPieceOverUsb) {
  Sim s;
  s.printer->SetFaults({.splitReplies = true, .splitGapMs = 8});
  char buf[kLineBufferSize];
  const std::string line = GetvarLine({"usbd", 0, 10}, LineForm::Named);
  {
    SerialFlag serial(true);
    ScopedPort port(OpenPrinterPort(s.printer->PortPath()));
    ASSERT_EQ(Send(port.get(), line), 0);
    int n = PortReadReply(port.get(), buf, sizeof buf - 1);
    EXPECT_EQ(std::string(buf, n), "Zivuvo;TQ250L Label Printer");
  }
  {
    SerialFlag usb(false);
    ScopedPort port(OpenPrinterPort(s.printer->PortPath()));
    ASSERT_EQ(Send(port.get(), line), 0);
    int n = PortReadReply(port.get(), buf, sizeof buf - 1);
    EXPECT_EQ(std::string(buf, n), "Zivuvo;TQ250L");
  }
}

TEST(Port, ReadToNulStopsOnlyWhenTheLastByteIsNul) {
  Sim s;
  s.printer->SetFaults({.splitReplies = true, .splitGapMs = 15});
  ScopedPort port(OpenPrinterPort(s.printer->PortPath()));
  char buf[kLineBufferSize];
  ASSERT_EQ(Send(port.get(), GetvarLine({"wlan.ap", 2, 23}, LineForm::Named)), 0);
  int n = PortReadToNul(port.get(), buf);
  const std::string expected = std::string("TQ250L-AP,12345678,192.168.4.1,255.255.255.0,192.168.4.1") + '\0';
  EXPECT_EQ(std::string(buf, n), expected);
}

TEST(Port, NulInsideAPieceDoesNotEndReadToNul) {
  Sim s;
  {
    auto l = s.printer->Lock();
    s.printer->Store().Set("wlan.lip", std::string("10.0.0.1\0tail", 13));
  }
  ScopedPort port(OpenPrinterPort(s.printer->PortPath()));
  char buf[kLineBufferSize];
  ASSERT_EQ(Send(port.get(), GetvarLine({"wlan.lip", 2, 28}, LineForm::Named)), 0);
  int n = PortReadToNul(port.get(), buf);
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
    EXPECT_EQ(OpenPrinterPort(path), kInvalidPortHandle);
    EXPECT_EQ(PortLastFault(), PortFault::OpenFailed);
    next.printer->Stop();
    EXPECT_EQ(OpenPrinterPort(next.printer->PortPath()), kInvalidPortHandle);
  }
  EXPECT_EQ(CountOpenFds(), before);
}

TEST(Port, HangUpDuringReadIsADeviceFailureWithinASecond) {
  const int before = CountOpenFds();
  {
    Sim s;
    s.printer->SetFaults({.silent = true, .hangUpAfterBytes = 23});
    PortHandle p = OpenPrinterPort(s.printer->PortPath());
    ASSERT_NE(p, kInvalidPortHandle);
    char buf[kLineBufferSize];
    ASSERT_EQ(Send(p, ModelRequestLine()), 0);
    const auto t0 = Clock::now();
    EXPECT_EQ(PortReadOnce(p, buf, sizeof buf, 5000), -1);
    EXPECT_EQ(PortLastFault(), PortFault::DeviceFailure);
    EXPECT_LT(MsSince(t0), 1000);
    EXPECT_EQ(PortReadReply(p, buf, sizeof buf), 0);
    EXPECT_TRUE(PortReplyLost());
    EXPECT_FALSE(PortConfirmOutput(p));
    ClosePrinterPort(p);
  }
  EXPECT_EQ(CountOpenFds(), before);
}

TEST(Port, SilenceIsNoLostReplyAndALiveLineConfirmsItsOutput) {
  Sim s;
  s.printer->SetFaults({.silent = true});
  ScopedPort p(OpenPrinterPort(s.printer->PortPath()));
  ASSERT_TRUE(p.valid());
  char buf[kLineBufferSize];
  ASSERT_EQ(Send(p.get(), ModelRequestLine()), 0);
  EXPECT_EQ(PortReadOnce(p.get(), buf, sizeof buf, 50), -1);
  EXPECT_EQ(PortLastFault(), PortFault::TimedOut);
  EXPECT_FALSE(PortReplyLost());
  EXPECT_TRUE(PortConfirmOutput(p.get()));
  s.printer->Unplug();
  // The kernel finishes a tty hang-up shortly after the other side closed.
  bool confirmed = true;
  for (int i = 0; i < 200 && confirmed; ++i) {
    confirmed = PortConfirmOutput(p.get());
    if (confirmed) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_FALSE(confirmed);
  EXPECT_EQ(PortLastFault(), PortFault::DeviceFailure);
}

TEST(Port, HangUpDuringWriteIsADeviceFailureWithinASecond) {
  const int before = CountOpenFds();
  {
    Sim s;
    s.printer->SetFaults({.hangUpAfterBytes = 1000});
    PortHandle p = OpenPrinterPort(s.printer->PortPath());
    ASSERT_NE(p, kInvalidPortHandle);
    std::string big(256 * 1024, 'x');  // far more than the pty buffers
    const auto t0 = Clock::now();
    EXPECT_EQ(PortWrite(p, big.data(), static_cast<int>(big.size())), -1);
    EXPECT_EQ(PortLastFault(), PortFault::DeviceFailure);
    EXPECT_LT(MsSince(t0), 1000);
    ClosePrinterPort(p);
  }
  EXPECT_EQ(CountOpenFds(), before);
}

TEST(Port, ConfigureSerialPortSetsTheLineAndRefusesANonTty) {
  Sim s;
  PortHandle p = OpenPrinterPort(s.printer->PortPath());
  ASSERT_NE(p, kInvalidPortHandle);
  EXPECT_TRUE(ConfigureSerialPort(p, 115200));
  EXPECT_EQ(s.printer->LineBaud(), 115200u);
  EXPECT_FALSE(ConfigureSerialPort(p, 12345));  // not a line speed: port closed
  EXPECT_EQ(p, kInvalidPortHandle);

  const int before = CountOpenFds();
  PortHandle f = OpenPrinterPort("/dev/null");
  ASSERT_NE(f, kInvalidPortHandle);
  EXPECT_FALSE(ConfigureSerialPort(f, 9600));
  EXPECT_EQ(f, kInvalidPortHandle);
  EXPECT_EQ(CountOpenFds(), before);
}

TEST(Port, SerialWriteAddsTheShortPause) {
  Sim s;
  SerialFlag serial(true);
  ScopedPort port(OpenPrinterPort(s.printer->PortPath()));
  const auto t0 = Clock::now();
  ASSERT_EQ(Send(port.get(), ModelRequestLine()), 0);
  EXPECT_GE(MsSince(t0), 5);
}
