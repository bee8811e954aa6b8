// The font page: what it refuses before touching a port, and downloads
// against the simulated printer over a real pty.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>

#include "pages/core/memory_controls.h"
#include "pages/font/font_page.h"
#include "protocol/text_codec.h"
#include "resources/dialogs.h"
#include "resources/strings.h"
#include "sim/printer_sim.h"
#include "test_support.h"

using namespace deveder;
using Clock = std::chrono::steady_clock;

namespace {

// The page over in-memory controls, a temporary folder for files and, when
// asked, a simulated printer as its port.
struct Bench {
  explicit Bench(int lang = kLangEnglish, int simBaud = -1)
      : controls(Dialog134(lang), kFontProgressBar),
        ctx{controls, ui, info, LinkChoice{QStringLiteral("/dev/deveder-no-such-port"), 9600}, lang} {
    page.OnCreate(ctx);
    if (simBaud >= 0) {
      sim::Options o;
      o.paceBaud = simBaud;
      printer = std::make_unique<sim::PrinterSim>(o);
      EXPECT_TRUE(printer->Start());
      ctx.link.portPath = QString::fromStdString(printer->PortPath());
    }
  }
  QString File(const QString& relative, const std::string& bytes) {
    const QString path = dir.filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    return path;
  }
  bool Download(const QString& path) {
    controls.SetText(kFontPathEdit, path);
    return page.DownloadFontFile(ctx).ok();
  }
  int SlaveFds() const { return tst::SlaveFds(*printer); }

  QTemporaryDir dir;
  tst::ProgressControls controls;
  tst::RecordingUi ui;
  PrinterInfo info;
  PageContext ctx;
  FontPage page;
  std::unique_ptr<sim::PrinterSim> printer;
};

std::string Pattern(std::size_t size) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
  return s;
}
std::uint64_t Hash(const std::string& b) { return sim::Fnv1a64(b.data(), b.size()); }
std::string Line(const std::string& kind, const std::string& field) {
  return "\x1b\x1b! U1 do \"download\" \"" + kind + "\" \"" + field + "\"\r\n";
}
long long MsSince(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}
const QString kUnconnect = LoadString(kStrUnconnectPrinter, kLangEnglish);

}  // namespace

TEST(FontLine, SizeAndNameLimits) {
  EXPECT_EQ(FontDownloadLine(FontKind::Font, "", 0x7FFFFFFF), Line("font", "2147483647"));
  EXPECT_FALSE(FontDownloadLine(FontKind::Font, "", 0x80000000LL));
  // The name and its NUL must fit 1024 bytes.
  EXPECT_EQ(FontDownloadLine(FontKind::FontExt, std::string(1023, 'n'), 5), Line("fontext", std::string(1023, 'n') + ":5"));
  EXPECT_FALSE(FontDownloadLine(FontKind::FontExt, std::string(1024, 'n'), 5));
}

TEST(FontPage, DialogAndFileChooser) {
  for (int lang : {kLangEnglish, kLangChinese}) {
    Bench b(lang);
    EXPECT_EQ(Items(b.controls, kFontKindList), (QStringList{"标准字库", "扩展字库", "DEMO数据"}));
    EXPECT_EQ(b.controls.CurrentIndex(kFontKindList), 0);
    EXPECT_FALSE(b.controls.Visible(kFontProgressBar));
    EXPECT_EQ(b.controls.Text(kFontDownloadButton), lang == kLangChinese ? "下载" : "Download");
  }
  Bench b;
  b.controls.SetText(kFontPathEdit, "/old/a.ttf");
  EXPECT_TRUE(b.page.OnControl(kFontChooseButton, ControlEvent::Clicked, b.ctx));
  EXPECT_EQ(b.ui.lastInitialName, "*.*");
  EXPECT_EQ(b.ui.lastFilter, "All File (*.*)|*.*||");
  EXPECT_EQ(b.controls.Text(kFontPathEdit), "/old/a.ttf");  // cancelled
  b.ui.nextFile = "/new/字库.ttf";
  EXPECT_TRUE(b.page.OnControl(kFontChooseButton, ControlEvent::Clicked, b.ctx));
  EXPECT_EQ(b.controls.Text(kFontPathEdit), "/new/字库.ttf");
  EXPECT_TRUE(b.ui.messages.empty());
}

// The bench's port path does not exist: reaching the port would show 148,
// so each other message proves the port was never tried.
TEST(FontPage, RefusalsBeforeThePort) {
  Bench b;
  const int fds = tst::CountOpenFds();
  const QString big = b.File("big.bin", "");
  ASSERT_TRUE(QFile(big).resize(0x80000000LL));  // sparse: 2 GiB does not fit the size field
  b.File("sub/x.bin", "x");
  EXPECT_FALSE(b.Download(b.dir.filePath("missing.ttf")));
  EXPECT_FALSE(b.Download(QString()));
  EXPECT_FALSE(b.Download(b.dir.filePath("sub")));  // a folder is no file to send
  EXPECT_FALSE(b.Download(big));
  EXPECT_FALSE(b.Download(b.File("a.ttf", "abc")));
  const QString notExist = LoadString(kStrFileNotExist, kLangEnglish);
  const QString cantOpen = LoadString(kStrCantOpenPrinter, kLangEnglish);
  EXPECT_EQ(b.ui.messages, (std::vector<QString>{notExist, notExist, cantOpen, cantOpen, kUnconnect}));
  EXPECT_TRUE(b.controls.events.empty());
  EXPECT_EQ(tst::CountOpenFds(), fds);
}

TEST(FontDownload, ExtendedFontSendsTheBareNameInThreeChunks) {
  Bench b(kLangEnglish, 0);
  const int fds = b.SlaveFds();
  const std::string data = Pattern(10000);
  b.controls.SetCurrentIndex(kFontKindList, 1);
  ASSERT_TRUE(b.Download(b.File("fonts/deep/a.ttf", data)));
  EXPECT_TRUE(b.ui.messages.empty());
  EXPECT_EQ(b.printer->Lines(), std::vector<std::string>{Line("fontext", "a.ttf:10000")});
  // 4096, 4096 and 1808 bytes, the position moving after each.
  EXPECT_EQ(b.controls.events, (std::vector<std::string>{"show", "40", "81", "100", "hide"}));
  const auto d = b.printer->Downloads();
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0].kind, "fontext");
  EXPECT_EQ(d[0].name, "a.ttf");
  EXPECT_EQ(d[0].size, 10000u);
  EXPECT_EQ(d[0].hash, Hash(data));
  EXPECT_TRUE(d[0].complete);
  EXPECT_EQ(b.SlaveFds(), fds);
}

TEST(FontDownload, NoSelectionIsTheStandardFontAndDemoData) {
  Bench b(kLangEnglish, 0);
  const QString path = b.File("a.ttf", Pattern(10000));
  for (int index : {-1, 2}) {
    b.controls.SetCurrentIndex(kFontKindList, index);
    ASSERT_TRUE(b.Download(path));
  }
  EXPECT_EQ(b.printer->Lines(), (std::vector<std::string>{Line("font", "10000"), Line("demo", "10000")}));
  ASSERT_EQ(b.printer->Downloads().size(), 2u);
  EXPECT_EQ(b.printer->Downloads()[1].hash, Hash(Pattern(10000)));
}

TEST(FontDownload, NamesGoOutInThePrinterCodePageUnchanged) {
  Bench b(kLangChinese, 0);
  b.controls.SetCurrentIndex(kFontKindList, 1);
  ASSERT_TRUE(b.Download(b.File("字库.ttf", "12345")));
  ASSERT_TRUE(b.Download(b.File("a b.ttf", "xy")));  // blanks go as they are
  // A colon would give the field "name:size" two: refused, nothing sent.
  EXPECT_FALSE(b.Download(b.File("a:c.ttf", "xy")));
  EXPECT_TRUE(b.ui.messages.back().contains(QStringLiteral("0x3A"))) << b.ui.messages.back().toStdString();
  EXPECT_EQ(b.printer->Lines(),
            (std::vector<std::string>{Line("fontext", "\xD7\xD6\xBF\xE2.ttf:5"), Line("fontext", "a b.ttf:2")}));
  const auto d = b.printer->Downloads();
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[1].name, "a b.ttf");
  EXPECT_TRUE(d[1].complete);
}

// Only the printer's own answers to this download count: a byte waiting
// from before is no go-ahead, and the go-ahead is no confirmation.
TEST(FontDownload, AStaleByteIsNoGoAheadAndAPrinterThatNeverConfirmsFails) {
  for (std::size_t size : {std::size_t{0}, std::size_t{10000}}) {
    Bench b(kLangEnglish, 0);
    const QString path = b.File("a.ttf", Pattern(size));
    b.page.bounds.confirmationMs = 200;
    sim::Faults f;
    f.noConfirmation = true;
    b.printer->SetFaults(f);
    b.printer->SendRaw("\x01");
    ASSERT_TRUE(b.printer->WaitFor([&] { return !b.printer->Log().empty(); }, 1000));
    EXPECT_FALSE(b.Download(path)) << size;
    EXPECT_EQ(b.ui.messages, std::vector<QString>{kUnconnect}) << size;
    // With the confirmation, the same download goes through.
    b.printer->SetFaults({});
    b.ui.messages.clear();
    EXPECT_TRUE(b.Download(path)) << size;
  }
}

TEST(FontDownload, EmptyFileAnnouncesZeroAndWaitsForBothAnswers) {
  Bench b(kLangEnglish, 0);
  const QString path = b.File("empty.bin", "");
  // The printer's two answers arrive back to back here.
  ASSERT_TRUE(b.Download(path));
  EXPECT_EQ(b.printer->Lines(), std::vector<std::string>{Line("font", "0")});
  EXPECT_EQ(b.controls.events, (std::vector<std::string>{"show", "hide"}));
  sim::Faults f;
  f.noConfirmation = true;
  b.printer->SetFaults(f);
  b.page.bounds.confirmationMs = 200;
  EXPECT_FALSE(b.Download(path));
  EXPECT_EQ(b.ui.messages, std::vector<QString>{kUnconnect});
}

TEST(FontDownload, HangUpDuringTheDataEndsAtOnceAndClosesThePort) {
  Bench b(kLangEnglish, 0);
  const QString path = b.File("big.ttf", Pattern(512 * 1024));
  sim::Faults f;
  f.hangUpAfterBytes = 100000;
  b.printer->SetFaults(f);
  const auto t0 = Clock::now();
  EXPECT_FALSE(b.Download(path));
  EXPECT_LT(MsSince(t0), 1000) << "a hang-up must not wait for an answer bound";
  EXPECT_TRUE(b.printer->HungUp());
  EXPECT_EQ(b.ui.messages, std::vector<QString>{kUnconnect});
  // The bar stays where the data stopped.
  EXPECT_EQ(b.controls.events.front(), "show");
  EXPECT_NE(b.controls.events.back(), "hide");
  EXPECT_EQ(b.SlaveFds(), 0);
}

TEST(FontDownload, NoGoAheadEndsAfterTheBoundWithoutDataOrPump) {
  Bench b(kLangEnglish, 0);
  const int fds = b.SlaveFds();
  const QString path = b.File("a.ttf", Pattern(10000));
  sim::Faults f;
  f.noGoAhead = true;
  b.printer->SetFaults(f);
  int pumped = 0;
  tst::PumpHook hook([&] { ++pumped; });
  b.page.bounds.goAheadMs = 300;
  const auto t0 = Clock::now();
  EXPECT_FALSE(b.Download(path));
  EXPECT_GE(MsSince(t0), 300);
  EXPECT_EQ(b.ui.messages, std::vector<QString>{kUnconnect});
  EXPECT_EQ(pumped, 0) << "the answer wait delivers nothing";
  EXPECT_TRUE(b.controls.events.empty());
  EXPECT_EQ(b.printer->BytesReceived(), static_cast<long>(Line("font", "10000").size()));
  EXPECT_EQ(b.SlaveFds(), fds);
}

// A printer slower than the pty's buffer makes the chunk writes wait; the
// pump runs there, and a Download click it delivers starts nothing.
TEST(FontDownload, PumpRunsDuringDataAndASecondClickIsIgnored) {
  Bench b(kLangEnglish, 4000000);
  const std::string data = Pattern(64 * 1024);
  b.controls.SetText(kFontPathEdit, b.File("slow.ttf", data));
  int pumped = 0;
  tst::PumpHook hook([&] {
    if (++pumped == 1) {
      EXPECT_TRUE(b.page.OnControl(kFontDownloadButton, ControlEvent::Clicked, b.ctx));
    }
  });
  EXPECT_TRUE(b.page.OnControl(kFontDownloadButton, ControlEvent::Clicked, b.ctx));
  EXPECT_GT(pumped, 0);
  EXPECT_TRUE(b.ui.messages.empty());
  EXPECT_EQ(b.printer->Lines().size(), 1u);
  ASSERT_EQ(b.printer->Downloads().size(), 1u);
  EXPECT_EQ(b.printer->Downloads()[0].hash, Hash(data));
}

TEST(FontDownload, FileThatShrinksStopsInsteadOfSendingStaleBytes) {
  Bench b(kLangEnglish, 4000000);
  const QString path = b.File("shrinks.ttf", Pattern(64 * 1024));
  tst::PumpHook hook([&] { QFile(path).resize(1000); });
  EXPECT_FALSE(b.Download(path));
  EXPECT_EQ(b.ui.messages, std::vector<QString>{kUnconnect});
  ASSERT_EQ(b.printer->Downloads().size(), 1u);
  EXPECT_FALSE(b.printer->Downloads()[0].complete);
}
