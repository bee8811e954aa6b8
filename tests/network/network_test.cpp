// Network printers: a port path naming a TCP address. Every page action
// sends a network printer on loopback exactly the bytes it sends one on a
// pseudo-terminal, and connecting fails within its bound with the address
// and the reason.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <functional>

#include "link/link.h"
#include "link/tcp_connect.h"
#include "page_rig.h"
#include "pages/firmware/firmware_page.h"
#include "pages/font/font_page.h"
#include "pages/test/test_page.h"
#include "protocol/printer_info.h"

using namespace deveder;
using namespace deveder::tst;
using Clock = std::chrono::steady_clock;

namespace {

TEST(TcpAddress, FormsThatNameAPrinterOnTheNetwork) {
  auto text = [](const std::string& path) {
    const std::optional<TcpAddress> a = ParseTcpAddress(path);
    return a ? TcpAddressText(*a) : std::string("-");
  };
  EXPECT_EQ(text("192.168.1.50"), "192.168.1.50:9100");
  EXPECT_EQ(text("printer.local:9101"), "printer.local:9101");
  EXPECT_EQ(text("tcp://shop-printer"), "shop-printer:9100");
  EXPECT_EQ(text("tcp://10.0.0.7:515/"), "10.0.0.7:515");
  EXPECT_EQ(text("[::1]:9100"), "[::1]:9100");
  EXPECT_EQ(text("tcp://[fe80::1]"), "[fe80::1]:9100");
  EXPECT_EQ(text("::1"), "[::1]:9100");
  for (const char* bad : {"host:0", "host:65536", "host:9x", ":9100", "tcp://", "[::1", "a b:9100"})
    EXPECT_EQ(text(bad), "-") << bad;
  EXPECT_FALSE(LooksLikeTcpAddress("/dev/usb/lp0"));
  EXPECT_FALSE(LooksLikeTcpAddress("./printer"));
  EXPECT_TRUE(LooksLikeTcpAddress("10.0.0.7"));
}

// What a printer took in during one action: its lines, packets, jobs and
// downloads, byte for byte.
struct Received {
  std::vector<std::string> lines, packets;
  std::vector<std::uint64_t> jobs, downloads, images;
  bool operator==(const Received&) const = default;
};

void PrintTo(const Received& r, std::ostream* os) {
  *os << r.lines.size() << " lines, " << r.packets.size() << " packets, jobs";
  for (auto h : r.jobs) *os << " " << h;
  *os << ", downloads";
  for (auto h : r.downloads) *os << " " << h;
  *os << ", images";
  for (auto h : r.images) *os << " " << h;
  for (const std::string& l : r.lines) *os << "\n  " << ::testing::PrintToString(l);
}

// Runs `action` on a fresh page against a printer on a pty or on loopback TCP.
Received RunOn(bool tcp, int dialogId, const std::function<std::unique_ptr<PageLogic>()>& make,
               const std::function<void(PageLogic&, PageContext&)>& action, const std::string& model) {
  sim::Options o;
  o.tcp = tcp;
  o.modelReply = model;
  sim::PrinterSim printer(o);
  EXPECT_TRUE(printer.Start());
  MemoryControls controls(FindDialogTemplate(dialogId, kLangEnglish));
  RecordingUi ui;
  PrinterInfo info;
  PageContext ctx{controls, ui, info, LinkChoice{QString::fromStdString(printer.PortPath()), 9600}, kLangEnglish};
  std::unique_ptr<PageLogic> page = make();
  page->OnCreate(ctx);
  action(*page, ctx);
  // A print job ends when the line has been quiet a while (a network
  // printer also ends it when the connection closes).
  usleep(80000);
  Received r;
  r.lines = SettledLines(printer);
  r.packets = printer.Packets();
  for (const auto& j : printer.Jobs()) r.jobs.push_back(j.hash);
  for (const auto& d : printer.Downloads()) r.downloads.push_back(d.complete ? d.hash : 0);
  for (const auto& f : printer.Firmware()) r.images.push_back(f.complete ? f.hash : 0);
  for (const QString& m : ui.messages)
    EXPECT_TRUE(m == "Read OK" || m == "Write OK") << m.toStdString();
  return r;
}

void Click(PageLogic& p, PageContext& c, int id) { p.OnControl(id, ControlEvent::Clicked, c); }

template <typename Page>
std::function<std::unique_ptr<PageLogic>()> Make() {
  return [] { return std::unique_ptr<PageLogic>(std::make_unique<Page>()); };
}

TEST(NetworkPrinter, ReadsAndWritesSendWhatTheyDoOverAPty) {
  for (const char* model : {kNamedModelReply, kNumberedModelReply}) {
    struct Case {
      int dialog;
      std::function<std::unique_ptr<PageLogic>()> make;
      int read, write;
    };
    const Case cases[] = {{144, Make<SettingsPage>(), kSetReadButton, kSetWriteButton},
                          {wifi::kDialogId, Make<WifiPage>(), wifi::kReadButton, wifi::kWriteButton},
                          {bluetooth::kDialogId, Make<BluetoothPage>(), bluetooth::kReadButton, bluetooth::kUpdateButton}};
    for (const Case& c : cases) {
      auto readThenWrite = [&](PageLogic& p, PageContext& ctx) {
        Click(p, ctx, c.read);
        EXPECT_FALSE(p.NeedsRead());
        Click(p, ctx, c.write);
      };
      const Received pty = RunOn(false, c.dialog, c.make, readThenWrite, model);
      EXPECT_GT(pty.lines.size(), 6u);
      EXPECT_EQ(RunOn(true, c.dialog, c.make, readThenWrite, model), pty) << c.dialog << " " << model;
    }
  }
}

TEST(NetworkPrinter, TestPageSampleFontAndFirmwareSendWhatTheyDoOverAPty) {
  for (int id : {kTestPageButton, kTestBluetoothButton, kTestFactoryDefaultButton, kTestHexDumpButton,
                 kTestRawSensorButton, kTestMarkSensorButton, kTestCalibrationButton, kTestDemoPrintButton}) {
    auto press = [id](PageLogic& p, PageContext& c) { Click(p, c, id); };
    const Received pty = RunOn(false, kTestDialogId, Make<TestPage>(), press, kNumberedModelReply);
    EXPECT_EQ(RunOn(true, kTestDialogId, Make<TestPage>(), press, kNumberedModelReply), pty) << id;
  }
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("data.bin"));
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    QByteArray data(1 << 20, '\0');
    for (int i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 131) >> 3);
    f.write(data);
  }
  auto font = [&](PageLogic& p, PageContext& c) {
    c.controls.SetCurrentIndex(kFontKindList, 1);
    c.controls.SetText(kFontPathEdit, file);
    Click(p, c, kFontDownloadButton);
  };
  const Received fontPty = RunOn(false, kFontDialogId, Make<FontPage>(), font, kNamedModelReply);
  ASSERT_EQ(fontPty.downloads.size(), 1u);
  EXPECT_NE(fontPty.downloads[0], 0u);
  EXPECT_EQ(RunOn(true, kFontDialogId, Make<FontPage>(), font, kNamedModelReply), fontPty);
  // A network printer takes the firmware in the framing of a USB one.
  auto firmware = [&](PageLogic& p, PageContext& c) {
    c.controls.SetText(kFirmwarePathEdit, file);
    Click(p, c, kFirmwareDownloadButton);
  };
  const Received fwPty = RunOn(false, kFirmwareDialogId, Make<FirmwarePage>(), firmware, kNamedModelReply);
  ASSERT_EQ(fwPty.images.size(), 1u);
  EXPECT_NE(fwPty.images[0], 0u);
  EXPECT_EQ(RunOn(true, kFirmwareDialogId, Make<FirmwarePage>(), firmware, kNamedModelReply), fwPty);
}

// A socket bound to a free loopback port, listening or not; its port in `port`.
int LoopbackSocket(bool listening, int& port) {
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  EXPECT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  if (listening) {
    EXPECT_EQ(listen(s, 8), 0);
  }
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  port = ntohs(a.sin_port);
  return s;
}

// A loopback port with nothing behind it.
int ClosedPort() {
  int port = 0;
  close(LoopbackSocket(false, port));
  return port;
}

TEST(NetworkPrinter, ConnectingFailsWithinItsBoundNamingAddressAndReason) {
  const int fds = CountOpenFds();
  const std::string refused = "127.0.0.1:" + std::to_string(ClosedPort());
  auto t0 = Clock::now();
  const OpenResult r = OpenLink(refused);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.fault, PortFault::OpenFailed);
  EXPECT_EQ(r.ErrorText(), refused + ": connection refused (nothing listens on that port)");

  t0 = Clock::now();
  const OpenResult unnamed = OpenLink("no-such-printer.invalid");
  EXPECT_FALSE(unnamed.ok());
  EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(kTcpConnectMs + 500));
  const std::string why = unnamed.ErrorText();
  EXPECT_TRUE(why == "no-such-printer.invalid:9100: name not found" ||
              why == "no-such-printer.invalid:9100: name look-up timed out")
      << why;

  const OpenResult malformed = OpenLink("printer:99999");
  EXPECT_FALSE(malformed.ok());
  EXPECT_NE(malformed.ErrorText().find("not a device path nor a network address"), std::string::npos);
  EXPECT_EQ(CountOpenFds(), fds);
}

TEST(NetworkPrinter, AListenerThatNeverAnswersIsALostPrinterWithinTheReadBound) {
  // Connections complete in the kernel's backlog; nothing ever reads them.
  int port = 0;
  const int s = LoopbackSocket(true, port);
  const int fds = CountOpenFds();
  PageRig rig(PageKind::Settings, kLangEnglish);
  rig.ctx.link.portPath = QString::fromStdString("127.0.0.1:" + std::to_string(port));
  const auto t0 = Clock::now();
  EXPECT_FALSE(rig.Read());
  EXPECT_LT(Clock::now() - t0, 2 * kReplyFirstByteWait + std::chrono::milliseconds(500));
  EXPECT_EQ(rig.ui.messages, std::vector<QString>{kMsgConnectionLost});
  close(s);
  rig.printer->Stop();
  EXPECT_LE(CountOpenFds(), fds);
}

TEST(NetworkPrinter, APrinterThatClosesTheConnectionIsLost) {
  sim::Options o;
  o.tcp = true;
  PageRig rig(PageKind::Settings, kLangEnglish, o);
  ASSERT_TRUE(rig.Read());
  rig.printer->SetFaults({.hangUpAfterBytes = rig.printer->BytesReceived() + 100});
  EXPECT_FALSE(rig.Read());
  EXPECT_EQ(rig.ui.messages, std::vector<QString>{kMsgConnectionLost});
  // Switched off: the next action finds nobody listening.
  rig.page->Read(rig.ctx);
  EXPECT_EQ(rig.ui.messages.back(), LoadString(kStrUnconnectPrinter, kLangEnglish));
}

}  // namespace
