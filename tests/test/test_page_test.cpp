// The test page against the simulated printer over a real pty: the command
// lines in both forms, when the model is asked, the sample print's choice of
// job, and what happens when the port is missing, hangs up or stalls.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "pages/core/memory_controls.h"
#include "pages/test/sample_jobs.h"
#include "pages/test/test_page.h"
#include "protocol/text_codec.h"
#include "resources/dialogs.h"
#include "resources/strings.h"
#include "sim/printer_sim.h"
#include "test_support.h"

using namespace deveder;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kNamedModel = "TQ250L;250;CPCL,ESCPOS,TSPL;1";
const std::string kNumberedModel = "TQ250L;250;CPCL,ESCPOS,TSPL";
const std::string kModelLine = "\x1b\x1b! U1 getvar \"model\"\r\n";

// The page over in-memory controls, with a simulated printer as its port
// unless `model` is empty.
struct Rig {
  explicit Rig(const std::string& model, int lang = kLangEnglish, sim::Options o = {})
      : controls(Dialog148(lang)),
        ctx{controls, ui, info, LinkChoice{QStringLiteral("/dev/deveder-no-such-port"), 9600}, lang} {
    page.timing.pause = [this](int ms) { pauses.push_back(ms); };
    page.OnCreate(ctx);
    if (model.empty()) return;
    o.modelReply = model;
    printer = std::make_unique<sim::PrinterSim>(o);
    EXPECT_TRUE(printer->Start());
    ctx.link.portPath = QString::fromStdString(printer->PortPath());
    simFds = SlaveFds();
  }
  // A click, as the window delivers it: true when the page took it.
  bool Press(int id) { return page.OnControl(id, ControlEvent::Clicked, ctx).handled; }
  // The actions themselves: true when the port took everything.
  bool Command(int id) { return page.SendTestCommand(*FindTestCommand(id), ctx).ok(); }
  bool Print() { return page.RunSamplePrint(ctx).ok(); }
  std::vector<std::string> LinesWhenThere(std::size_t count) const {
    printer->WaitFor([&] { return printer->Lines().size() >= count; }, 3000);
    return printer->Lines();
  }
  std::vector<sim::JobRecord> JobsWhenThere(std::size_t count) const {
    printer->WaitFor([&] { return printer->Jobs().size() >= count; }, 5000);
    return printer->Jobs();
  }
  // Whether more than `bytes` reach the printer within a short while.
  bool MoreThan(long bytes) const {
    return printer->WaitFor([&] { return printer->BytesReceived() > bytes; }, 150);
  }
  // No descriptor of the port left open by the page (the simulator keeps
  // its own until it hangs up).
  bool PortClosed() const { return SlaveFds() == (printer->HungUp() ? 0 : simFds); }
  int SlaveFds() const { return tst::SlaveFds(*printer); }

  MemoryControls controls;
  tst::RecordingUi ui;
  PrinterInfo info;
  PageContext ctx;
  TestPage page;
  std::vector<int> pauses;
  std::unique_ptr<sim::PrinterSim> printer;
  int simFds = 0;
};

std::string Do(const std::string& args) { return "\x1b\x1b! U1 do " + args + "\r\n"; }
std::uint64_t Hash(std::span<const std::uint8_t> b) { return sim::Fnv1a64(b.data(), b.size()); }

const int kCommandButtons[] = {kTestPageButton,      kTestBluetoothButton,  kTestFactoryDefaultButton,
                               kTestHexDumpButton,   kTestRawSensorButton,  kTestMarkSensorButton,
                               kTestCalibrationButton};

}  // namespace

TEST(TestPage, EveryButtonOfBothTemplatesRunsAnAction) {
  for (int lang : {kLangEnglish, kLangChinese}) {
    Rig rig("", lang);  // no printer: every action stops at the port with 148
    int buttons = 0;
    for (const ControlTemplate& c : Dialog148(lang).controls) {
      EXPECT_EQ(c.kind, ControlKind::PushButton);
      EXPECT_TRUE(rig.Press(c.id)) << c.id;
      EXPECT_FALSE(rig.page.OnControl(c.id, ControlEvent::SelectionChanged, rig.ctx));
      ++buttons;
    }
    EXPECT_EQ(buttons, 8);
    EXPECT_FALSE(rig.Press(1005));
    EXPECT_EQ(rig.ui.messages, std::vector<QString>(8, LoadString(kStrUnconnectPrinter, lang)));
    EXPECT_TRUE(rig.pauses.empty());
  }
}

TEST(TestPage, NamedPrinterIsAskedOnceAndGetsNamedLines) {
  Rig rig(kNamedModel);
  for (int id : kCommandButtons) EXPECT_TRUE(rig.Command(id));
  EXPECT_EQ(rig.LinesWhenThere(8), (std::vector<std::string>{
                                       kModelLine,
                                       Do("\"print_test\" \"testpage\""),
                                       Do("\"print_test\" \"bluetooth\""),
                                       Do("\"factory_default\""),
                                       Do("\"dump\" \"open\""),
                                       Do("\"print_test\" \"raw_advl\""),
                                       Do("\"print_test\" \"mark_advl\""),
                                       Do("\"print_test\" \"cal\""),
                                   }));
  EXPECT_TRUE(rig.ui.messages.empty());
  EXPECT_TRUE(rig.pauses.empty());  // USB: no pause
  EXPECT_TRUE(rig.PortClosed());
}

TEST(TestPage, NumberedPrinterIsAskedBeforeEveryPress) {
  Rig rig(kNumberedModel);
  for (int id : kCommandButtons) EXPECT_TRUE(rig.Command(id));
  EXPECT_EQ(rig.LinesWhenThere(14), (std::vector<std::string>{
                                        kModelLine, Do("\"3\" \"testpage\""),
                                        kModelLine, Do("\"3\" \"bluetooth\""),
                                        kModelLine, Do("\"4\""),
                                        kModelLine, Do("\"2\" \"open\""),
                                        kModelLine, Do("\"3\" \"raw_advl\""),
                                        kModelLine, Do("\"3\" \"mark_advl\""),
                                        kModelLine, Do("\"3\" \"cal\""),
                                    }));
  EXPECT_FALSE(rig.info.named());
  EXPECT_EQ(rig.info.languageMask, kLangCpcl | kLangEscpos | kLangTspl);
  EXPECT_TRUE(rig.ui.messages.empty());
}

TEST(TestPage, SerialPortPausesAfterAWrittenLineOnly) {
  Rig rig(kNamedModel);
  rig.ctx.link.serial = true;
  EXPECT_TRUE(rig.Command(kTestPageButton));
  EXPECT_EQ(rig.pauses, std::vector<int>{100});

  // The printer goes away in the middle of the probe: the line cannot be
  // written, the port is closed and there is no pause.
  Rig gone(kNumberedModel);
  gone.ctx.link.serial = true;
  sim::Faults f;
  f.hangUpAfterBytes = 10;
  gone.printer->SetFaults(f);
  EXPECT_FALSE(gone.Command(kTestFactoryDefaultButton));
  EXPECT_TRUE(gone.printer->HungUp());
  EXPECT_EQ(gone.ui.messages, std::vector<QString>{kMsgConnectionLost});
  EXPECT_TRUE(gone.pauses.empty());
  EXPECT_EQ(gone.info.languageMask, 0);  // the probe got no answer
  EXPECT_TRUE(gone.PortClosed());
}

TEST(TestPage, SecondPressDuringTheProbeIsIgnored) {
  sim::Options o;
  o.faults.replyDelayMs = 40;  // the probe's wait runs the pump for a while
  Rig rig(kNumberedModel, kLangEnglish, o);
  int pumped = 0;
  bool second = true;
  tst::PumpHook hook([&] {
    if (pumped++ == 0) second = rig.Press(kTestHexDumpButton);
  });
  EXPECT_TRUE(rig.Press(kTestPageButton));
  EXPECT_GT(pumped, 0);
  EXPECT_TRUE(second);  // the id is the page's; the press does nothing
  EXPECT_EQ(rig.LinesWhenThere(2), (std::vector<std::string>{kModelLine, Do("\"3\" \"testpage\"")}));
  EXPECT_FALSE(rig.MoreThan(static_cast<long>(kModelLine.size() + Do("\"3\" \"testpage\"").size())));
  EXPECT_TRUE(rig.ui.messages.empty());
}

TEST(SamplePrint, PicksTsplBeforeCpclAndSendsTheJobUnchanged) {
  struct Case {
    std::string model;
    int job;
    const char* language;
  };
  const Case cases[] = {{kNamedModel, kSampleJobTspl, "TSPL"},
                        {"X;1;TSPL", kSampleJobTspl, "TSPL"},
                        {"X;1;CPCL,ESCPOS", kSampleJobCpcl, "CPCL"}};
  for (const Case& c : cases) {
    Rig rig(c.model);
    EXPECT_TRUE(rig.Print()) << c.model;
    const auto jobs = rig.JobsWhenThere(1);
    ASSERT_EQ(jobs.size(), 1u) << c.model;
    const auto expected = FindSampleJob(c.job);
    EXPECT_EQ(jobs[0].size, expected.size()) << c.model;
    EXPECT_EQ(jobs[0].hash, Hash(expected)) << c.model;
    EXPECT_EQ(jobs[0].language, c.language);
    EXPECT_EQ(rig.printer->Lines(), std::vector<std::string>{kModelLine});
    EXPECT_EQ(static_cast<std::size_t>(rig.printer->BytesReceived()), kModelLine.size() + expected.size());
    EXPECT_TRUE(rig.ui.messages.empty());
    EXPECT_TRUE(rig.PortClosed());
  }
}

TEST(SamplePrint, KnownNamedPrinterIsNotAskedAgain) {
  Rig rig("X;1;ZPL;1");
  rig.ctx.link.serial = true;  // what the printer would answer now does not matter
  rig.info.namedFormFlag = kNamedFormFlag;
  rig.info.languageMask = kLangCpcl;
  EXPECT_TRUE(rig.Print());
  const auto jobs = rig.JobsWhenThere(1);
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].hash, Hash(FindSampleJob(kSampleJobCpcl)));
  EXPECT_TRUE(rig.printer->Lines().empty());
  EXPECT_EQ(rig.pauses, std::vector<int>{100});
}

TEST(SamplePrint, NoJobForOtherLanguagesOrNoAnswer) {
  sim::Options silent;
  silent.faults.silent = true;
  for (const auto& [model, options] : {std::pair{std::string("X;1;ESCPOS,ZPL;1"), sim::Options{}},
                                       std::pair{std::string("X;1;ESCPOS"), silent}}) {
    Rig rig(model, kLangEnglish, options);
    rig.ctx.link.serial = true;
    EXPECT_FALSE(rig.Print()) << model;
    EXPECT_EQ(rig.ui.messages, std::vector<QString>{kMsgNoTemplate});
    EXPECT_EQ(rig.pauses, std::vector<int>{100});  // serial: the pause comes all the same
    EXPECT_FALSE(rig.MoreThan(static_cast<long>(kModelLine.size()))) << "only the probe is sent";
    EXPECT_TRUE(rig.printer->Jobs().empty());
    EXPECT_TRUE(rig.PortClosed());
  }
}

TEST(SamplePrint, HangUpDuringTheJobClosesThePortWithoutPause) {
  Rig rig(kNamedModel);
  rig.ctx.link.serial = true;
  sim::Faults f;
  f.hangUpAfterBytes = static_cast<long>(kModelLine.size()) + 4000;
  rig.printer->SetFaults(f);
  EXPECT_FALSE(rig.Print());
  EXPECT_TRUE(rig.printer->HungUp());
  EXPECT_EQ(rig.ui.messages, std::vector<QString>{kMsgConnectionLost});
  EXPECT_TRUE(rig.pauses.empty());
  EXPECT_TRUE(rig.PortClosed());
}

// A printer that goes away while it is asked for its model is a lost
// connection, not a printer without a template; no job byte is sent.
TEST(SamplePrint, HangUpDuringTheProbeIsALostConnection) {
  Rig rig(kNamedModel);
  sim::Faults f;
  f.hangUpAfterBytes = 5;
  rig.printer->SetFaults(f);
  EXPECT_FALSE(rig.Print());
  EXPECT_EQ(rig.ui.messages, std::vector<QString>{kMsgConnectionLost});
  EXPECT_TRUE(rig.printer->Jobs().empty());
  EXPECT_TRUE(rig.PortClosed());
}

// A printer that stops taking bytes: the write gives up at its bound
// rather than wait for ever, and the port is closed.
TEST(SamplePrint, StalledJobEndsAtTheWriteBound) {
  sim::Options slow;
  slow.paceBaud = 1200;  // 120 bytes a second: the job would take minutes
  Rig rig(kNamedModel, kLangEnglish, slow);
  rig.page.timing.writeBoundMs = 200;
  rig.info.namedFormFlag = kNamedFormFlag;  // no probe: its answer would crawl too
  rig.info.languageMask = kLangTspl;
  const auto t0 = Clock::now();
  EXPECT_FALSE(rig.Print());
  EXPECT_LT(Clock::now() - t0, std::chrono::seconds(10));
  EXPECT_EQ(rig.ui.messages, std::vector<QString>{kMsgConnectionLost});
  EXPECT_LT(static_cast<std::size_t>(rig.printer->BytesReceived()), FindSampleJob(kSampleJobTspl).size());
  EXPECT_TRUE(rig.PortClosed());
}
