// The firmware page: refusals before the port, and whole downloads against
// the simulated printer in both framings.
#include <gtest/gtest.h>
#include <tuple>
#include <unistd.h>
#include <termios.h>
#include <fcntl.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>

#include "pages/core/memory_controls.h"
#include "pages/firmware/firmware_page.h"
#include "protocol/text_codec.h"
#include "resources/dialogs.h"
#include "resources/strings.h"
#include "resources/window_texts.h"
#include "sim/printer_sim.h"
#include "test_support.h"

using namespace deveder;
using Clock = std::chrono::steady_clock;

namespace {

// The page over in-memory controls and, when asked, a simulated printer on
// a serial port (XOR framing) or as a USB printer (sum framing).
struct Bench {
  enum Port { None, Serial, Usb };
  explicit Bench(Port kind = None, int lang = kLangEnglish)
      : controls(Dialog136(lang), kFirmwareProgressBar),
        ctx{controls, ui, info, LinkChoice{QStringLiteral("/dev/deveder-no-such-port"), 19200}, lang} {
    ctx.link.serial = kind == Serial;
    page.OnCreate(ctx);
    if (kind != None) {
      printer = std::make_unique<sim::PrinterSim>();
      EXPECT_TRUE(printer->Start());
      ctx.link.portPath = QString::fromStdString(printer->PortPath());
    }
  }
  QString File(const QString& name, const std::string& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    return path;
  }
  bool Download(const QString& path) {
    controls.SetText(kFirmwarePathEdit, path);
    return page.DownloadFirmware(ctx).ok();
  }
  int SlaveFds() const { return tst::SlaveFds(*printer); }
  // The image the printer ended up with, once the end has reached it.
  sim::FirmwareRecord Image() const {
    printer->WaitFor([&] { return !printer->Firmware().empty() && printer->Firmware().back().complete; }, 1000);
    const auto images = printer->Firmware();
    return images.empty() ? sim::FirmwareRecord{} : images.back();
  }

  QTemporaryDir dir;
  tst::ProgressControls controls;
  tst::RecordingUi ui;
  PrinterInfo info;
  PageContext ctx;
  FirmwarePage page;
  std::unique_ptr<sim::PrinterSim> printer;
};

std::string Pattern(std::size_t size) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
  return s;
}
std::uint64_t Hash(const std::string& b) { return sim::Fnv1a64(b.data(), b.size()); }
long long MsSince(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

std::string Le(std::uint32_t v, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
  return s;
}
std::string Be(std::uint32_t v, int bytes) {
  std::string s;
  for (int i = bytes - 1; i >= 0; --i) s.push_back(static_cast<char>(v >> (8 * i)));
  return s;
}

// Requests as the printer must see them, written out independently of the
// code that builds them.
std::string XorRequest(std::uint16_t command, std::uint32_t argument, const std::string& payload = "") {
  std::string p = "\x03\xAF" + Le(command, 2) + Le(argument, 4) + Le(static_cast<std::uint32_t>(payload.size()), 2);
  char check = 0;
  for (char c : p) check ^= c;
  char payloadCheck = 0;
  for (char c : payload) payloadCheck ^= c;
  return p + check + payloadCheck + payload;
}
std::string SumRequest(std::uint32_t command, const std::string& payload) {
  std::string p = "\x1B\x10" + Be(static_cast<std::uint32_t>(payload.size() + 6), 2) + Be(command, 3) + '\0' +
                  Be(static_cast<std::uint32_t>(payload.size()), 4) + payload;
  unsigned char sum = 0;
  for (char c : p) sum = static_cast<unsigned char>(sum + static_cast<unsigned char>(c));
  return p + static_cast<char>(sum);
}
std::string SizePayload(std::uint32_t size) { return std::string(5, '\0') + Be(size, 4); }
std::string SumBlock(std::uint32_t number, const std::string& data) {
  return SumRequest(4, '\0' + Be(number, 4) + Be(static_cast<std::uint32_t>(data.size()), 2) + data);
}

const QString kCommunicateFail = LoadString(kStrCommunicateFail, kLangEnglish);

}  // namespace

TEST(FirmwareProgress, SixtyFourBitArithmetic) {
  EXPECT_EQ(XorProgress(600, 344), 42);
  EXPECT_EQ(XorProgress(4000000000u, 2000000000u), 50);
  EXPECT_EQ(XorProgress(0xFFFFFFFFu, 0), 100);
  EXPECT_EQ(SumProgress(600, 2), 85);
  EXPECT_EQ(SumProgress(0xFFFFFFFFu, 0xFFFFFF), 99);
}

TEST(FirmwarePage, DialogAndFileChooser) {
  for (int lang : {kLangEnglish, kLangChinese}) {
    Bench b(Bench::None, lang);
    EXPECT_FALSE(b.controls.Visible(kFirmwareProgressBar));
    EXPECT_EQ(b.controls.Text(kFirmwareChooseButton), lang == kLangChinese ? "选择文件" : "ReadFile");
    EXPECT_EQ(b.controls.Text(kFirmwareDownloadButton), lang == kLangChinese ? "下载" : "Download");
    EXPECT_FALSE(b.page.NeedsRead());
  }
  Bench b;
  b.controls.SetText(kFirmwarePathEdit, "/old/a.bin");
  EXPECT_TRUE(b.page.OnControl(kFirmwareChooseButton, ControlEvent::Clicked, b.ctx));
  EXPECT_EQ(b.ui.lastInitialName, "*.bin");
  EXPECT_EQ(b.ui.lastFilter, "All File (*.bin)|*.bin||");
  EXPECT_EQ(b.controls.Text(kFirmwarePathEdit), "/old/a.bin");
  b.ui.nextFile = "/new/固件.bin";
  EXPECT_TRUE(b.page.OnControl(kFirmwareChooseButton, ControlEvent::Clicked, b.ctx));
  EXPECT_EQ(b.controls.Text(kFirmwarePathEdit), "/new/固件.bin");
  EXPECT_FALSE(b.page.OnControl(kFirmwarePathEdit, ControlEvent::TextEdited, b.ctx));
  EXPECT_TRUE(b.ui.messages.empty());
}

// The bench's port path does not exist: reaching the port would show 148,
// so every other message proves the port was never tried.
TEST(FirmwarePage, RefusalsBeforeThePort) {
  Bench b(Bench::None, kLangChinese);
  const int fds = tst::CountOpenFds();
  const QString huge = b.File("huge.bin", "");
  ASSERT_TRUE(QFile(huge).resize(0x100000000LL));  // sparse: 4 GiB cannot be announced
  QDir(b.dir.path()).mkdir("folder.bin");
  EXPECT_FALSE(b.Download(b.dir.filePath("missing.bin")));
  EXPECT_FALSE(b.Download(QString()));
  EXPECT_FALSE(b.Download(b.dir.filePath("folder.bin")));
  EXPECT_FALSE(b.Download(huge));
  EXPECT_FALSE(b.Download(b.File("a.bin", "abc")));
  EXPECT_EQ(b.ui.messages, (std::vector<QString>{"文件不存在", "文件不存在", "无法打开打印机", "无法打开打印机",
                                                 "打印机未连接"}));
  EXPECT_TRUE(b.controls.events.empty());
  EXPECT_EQ(tst::CountOpenFds(), fds);
}

TEST(FirmwareDownload, SerialSendsTheXorSequenceAtTheNewSpeed) {
  Bench b(Bench::Serial);
  const int fds = b.SlaveFds();
  const std::string data = Pattern(600);
  ASSERT_TRUE(b.Download(b.File("fw.bin", data)));
  EXPECT_TRUE(b.ui.messages.empty());
  const std::string padded = data + std::string(168, '\xFF');
  ASSERT_TRUE(b.printer->WaitFor([&] { return b.printer->Packets().size() == 6; }, 1000));
  EXPECT_EQ(b.printer->Packets(), (std::vector<std::string>{
                                      XorRequest(0x2B, 115200),
                                      XorRequest(0x2F, 0),
                                      XorRequest(0x2E, 0, padded.substr(0, 256)),
                                      XorRequest(0x2E, 256, padded.substr(256, 256)),
                                      XorRequest(0x2E, 512, padded.substr(512, 256)),
                                      XorRequest(0x2F, 0xFFFFFFFF),
                                  }));
  EXPECT_EQ(b.controls.events, (std::vector<std::string>{"show", "0", "42", "85", "100", "hide"}));
  // "+" goes out at the communication page's speed, the rest at 115200.
  std::vector<std::string> speeds;
  for (const auto& e : b.printer->Log())
    if (e.kind == sim::LogEntry::XorPacket) speeds.push_back(e.note);
  EXPECT_EQ(speeds.front(), "baud 19200");
  EXPECT_EQ(speeds.back(), "baud 115200");
  const auto image = b.Image();
  EXPECT_EQ(image.framing, "xor");
  EXPECT_TRUE(image.complete);
  EXPECT_EQ(image.size, 768u);
  EXPECT_EQ(image.hash, Hash(padded));
  EXPECT_EQ(b.SlaveFds(), fds);
}

// The download's speed belongs to the download: the line is as it was
// found once the port has closed.
TEST(FirmwareDownload, SerialLineSettingsAreGivenBackAfterTheDownload) {
  Bench b(Bench::Serial);
  auto lineState = [&] {
    const int fd = open(b.printer->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    EXPECT_EQ(tcgetattr(fd, &t), 0);
    close(fd);
    return std::make_tuple(cfgetospeed(&t), cfgetispeed(&t), t.c_cflag, t.c_lflag, t.c_iflag, t.c_oflag);
  };
  const auto before = lineState();
  ASSERT_TRUE(b.Download(b.File("fw.bin", Pattern(600))));
  EXPECT_TRUE(b.Image().complete);
  EXPECT_EQ(b.printer->LineBaud(), 9600u);
  EXPECT_TRUE(lineState() == before);
}

TEST(FirmwareDownload, UsbSendsTheSumSequenceAndTheExactImage) {
  Bench b(Bench::Usb);
  const std::string data = Pattern(600);
  ASSERT_TRUE(b.Download(b.File("fw.bin", data)));
  EXPECT_TRUE(b.ui.messages.empty());
  EXPECT_EQ(b.printer->Packets(), (std::vector<std::string>{
                                      SumRequest(3, SizePayload(600)),
                                      SumBlock(0, data.substr(0, 256)),
                                      SumBlock(1, data.substr(256, 256)),
                                      SumBlock(2, data.substr(512)),
                                      SumRequest(6, SizePayload(600)),
                                  }));
  EXPECT_EQ(b.controls.events, (std::vector<std::string>{"show", "0", "0", "42", "85", "hide"}));
  const auto image = b.Image();
  EXPECT_EQ(image.framing, "sum");
  EXPECT_TRUE(image.complete);
  EXPECT_EQ(image.size, 600u);
  EXPECT_EQ(image.hash, Hash(data));
}

TEST(FirmwareDownload, OneBlockInEitherFramingAndAnEmptyFileRefused) {
  for (Bench::Port kind : {Bench::Serial, Bench::Usb}) {
    Bench b(kind);
    const std::string data = Pattern(256);
    ASSERT_TRUE(b.Download(b.File("one.bin", data)));
    EXPECT_EQ(b.Image().hash, Hash(data));
    const std::size_t total = kind == Bench::Serial ? 4 : 3;
    ASSERT_TRUE(b.printer->WaitFor([&] { return b.printer->Packets().size() == total; }, 1000));
    // An empty file is no image: refused with a message, nothing sent.
    EXPECT_FALSE(b.Download(b.File("none.bin", "")));
    EXPECT_EQ(b.ui.messages, (std::vector<QString>{LoadWindowText(WindowText::EmptyFirmware, kLangEnglish)}));
    EXPECT_EQ(b.printer->Packets().size(), total);
    EXPECT_EQ(b.controls.events, (std::vector<std::string>{"show", "0", kind == Bench::Serial ? "100" : "0", "hide"}));
  }
}

TEST(FirmwareDownload, UnansweredSpeedRequestCostsThreeSendsThen157) {
  Bench b(Bench::Serial);
  const int fds = b.SlaveFds();
  sim::Faults f;
  f.silent = true;
  b.printer->SetFaults(f);
  const auto t0 = Clock::now();
  EXPECT_FALSE(b.Download(b.File("fw.bin", Pattern(600))));
  const long long ms = MsSince(t0);
  EXPECT_GE(ms, 3000);
  EXPECT_LT(ms, 4500);
  EXPECT_EQ(b.printer->Packets(), std::vector<std::string>(3, XorRequest(0x2B, 115200)));
  EXPECT_EQ(b.ui.messages, std::vector<QString>{kCommunicateFail});
  EXPECT_TRUE(b.controls.events.empty());
  EXPECT_EQ(b.SlaveFds(), fds);
}

TEST(FirmwareDownload, UnansweredFinishStillSucceeds) {
  Bench b(Bench::Usb);
  sim::Faults f;
  f.noConfirmation = true;
  b.printer->SetFaults(f);
  const std::string data = Pattern(1000);
  EXPECT_TRUE(b.Download(b.File("fw.bin", data)));
  EXPECT_TRUE(b.ui.messages.empty());
  EXPECT_EQ(b.printer->Packets().size(), 6u);
  EXPECT_EQ(b.Image().hash, Hash(data));
}

TEST(FirmwareDownload, HangUpMidTransferEndsAtOnceWithThePortClosed) {
  for (Bench::Port kind : {Bench::Serial, Bench::Usb}) {
    Bench b(kind);
    sim::Faults f;
    f.hangUpAfterBytes = 5000;
    b.printer->SetFaults(f);
    const auto t0 = Clock::now();
    EXPECT_FALSE(b.Download(b.File("fw.bin", Pattern(64 * 1024))));
    EXPECT_LT(MsSince(t0), 1000) << "a hang-up must not wait out the time limits";
    EXPECT_TRUE(b.printer->HungUp());
    EXPECT_EQ(b.ui.messages, std::vector<QString>{kCommunicateFail});
    // The bar stays where the transfer stopped, and the message says what
    // the printer may hold and what to do.
    EXPECT_EQ(b.controls.events.front(), "show");
    EXPECT_NE(b.controls.events.back(), "hide");
    ASSERT_EQ(b.ui.reasons.size(), 1u);
    EXPECT_EQ(b.ui.reasons.front(),
              FirmwareInterruptedAdvice(b.controls.Progress(kFirmwareProgressBar), kLangEnglish));
    EXPECT_EQ(b.SlaveFds(), 0);
  }
}

TEST(FirmwareDownload, RefusedSpeedShows156WithoutSendingAndClosesThePort) {
  Bench b(Bench::Serial);
  const int fds = b.SlaveFds();
  b.ctx.link.baud = 12345;  // no such line speed
  EXPECT_FALSE(b.Download(b.File("fw.bin", Pattern(600))));
  EXPECT_EQ(b.ui.messages, std::vector<QString>{LoadString(kStrChangeBaudFail, kLangEnglish)});
  EXPECT_EQ(b.printer->BytesReceived(), 0);
  EXPECT_EQ(b.SlaveFds(), fds);
}

TEST(FirmwareDownload, GarbageAndStrayRepliesAreSkipped) {
  for (Bench::Port kind : {Bench::Serial, Bench::Usb}) {
    Bench b(kind);
    sim::Faults f;
    // Lead bytes of both framings that lead nowhere.
    f.garbageBeforeReplies = std::string("\x00\x03\x55\x1B\x1B\x00\xFF", 7);
    f.replyWrongCommand = kind == Bench::Usb;  // the XOR receiver would wait out each send
    f.splitReplies = true;
    b.printer->SetFaults(f);
    const std::string data = Pattern(2000);
    ASSERT_TRUE(b.Download(b.File("fw.bin", data)));
    EXPECT_TRUE(b.ui.messages.empty());
    const std::size_t packets = kind == Bench::Serial ? 3 + 8 : 2 + 8;
    EXPECT_TRUE(b.printer->WaitFor([&] { return b.printer->Packets().size() == packets; }, 1000));
    if (kind == Bench::Usb) {
      EXPECT_EQ(b.Image().hash, Hash(data));
    }
  }
}

// Replies that come late make the exchange wait and pump; a Download click
// delivered there starts nothing.
TEST(FirmwareDownload, PumpRunsWhileWaitingAndASecondClickIsIgnored) {
  Bench b(Bench::Usb);
  sim::Faults f;
  f.replyDelayMs = 5;
  b.printer->SetFaults(f);
  const std::string data = Pattern(1000);
  b.controls.SetText(kFirmwarePathEdit, b.File("fw.bin", data));
  int pumped = 0;
  tst::PumpHook hook([&] {
    if (++pumped == 1) {
      EXPECT_TRUE(b.page.OnControl(kFirmwareDownloadButton, ControlEvent::Clicked, b.ctx));
    }
  });
  EXPECT_TRUE(b.page.OnControl(kFirmwareDownloadButton, ControlEvent::Clicked, b.ctx));
  EXPECT_GT(pumped, 5);
  EXPECT_TRUE(b.ui.messages.empty());
  EXPECT_EQ(b.printer->Packets().size(), 6u);
  EXPECT_EQ(b.Image().hash, Hash(data));
}

TEST(FirmwareDownload, FileThatShrinksStopsInsteadOfSendingStaleBytes) {
  Bench b(Bench::Usb);
  sim::Faults f;
  f.replyDelayMs = 5;
  b.printer->SetFaults(f);
  const QString path = b.File("fw.bin", Pattern(4096));
  tst::PumpHook hook([&] { QFile(path).resize(1000); });
  EXPECT_FALSE(b.Download(path));
  EXPECT_EQ(b.ui.messages, std::vector<QString>{LoadString(kStrCantOpenPrinter, kLangEnglish)});
  const auto images = b.printer->Firmware();
  ASSERT_EQ(images.size(), 1u);
  EXPECT_FALSE(images[0].complete);
  EXPECT_LE(images[0].size, 1000u);
}
