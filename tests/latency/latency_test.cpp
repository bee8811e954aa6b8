// Reads against printers that answer late, in pieces or over a slow line:
// every value must land under its own name, exactly as an instant printer's
// would. The links wait 150 ms for a first byte instead of a second, so
// every delay up to just inside that bound is met in a fraction of the
// time; the rules are the same. Each case waits out real delays, so this
// program runs in the plain test pass only.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "page_rig.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

constexpr std::chrono::milliseconds kWait{150};

// A page in one command form over one kind of port.
using Case = std::tuple<PageKind, bool /*named*/, bool /*serial*/>;

class LateReplies : public ::testing::TestWithParam<Case> {
 protected:
  PageKind Kind() const { return std::get<0>(GetParam()); }
  bool Named() const { return std::get<1>(GetParam()); }
  bool Serial() const { return std::get<2>(GetParam()); }
  // Settings on the Chinese layout, which asks for the most variables.
  int Lang() const { return Kind() == PageKind::Settings ? kLangChinese : kLangEnglish; }

  // What the page shows after a Read of a printer with `options`;
  // `splitAsAsked` tells whether its split replies kept their timing.
  std::string ReadWith(sim::Options options, bool* splitAsAsked = nullptr) {
    options.modelReply = Named() ? kNamedModelReply : kNumberedModelReply;
    PageRig rig(Kind(), Lang(), options, Serial(), ShortTiming(Serial(), kWait));
    // Values that differ from the defaults of the controls, so that a value
    // under the wrong name shows.
    if (Kind() == PageKind::Bluetooth) rig.Set("bluetooth.baud", "9600");
    const bool read = rig.Read();
    if (splitAsAsked) *splitAsAsked = SplitAsAsked(*rig.printer, Serial());
    EXPECT_TRUE(read || (splitAsAsked && !*splitAsAsked)) << PageName(Kind());
    return rig.State();
  }
};

TEST_P(LateReplies, EveryDelayReadsLikeAnInstantPrinter) {
  const std::string instant = ReadWith({});
  // Up to 90 % of the first-byte wait.
  for (int delay : {5, 12, 20, 40, 100, 135}) {
    sim::Options o;
    o.faults.replyDelayMs = delay;
    EXPECT_EQ(ReadWith(o), instant) << delay << " ms late";
  }
}

TEST_P(LateReplies, RepliesInTwoPiecesAndASlowLineReadLikeAnInstantPrinter) {
  const std::string instant = ReadWith({});
  sim::Options split;
  split.faults.splitReplies = true;
  // One USB frame apart; one adapter latency slice apart on a serial line.
  split.faults.splitGapMs = Serial() ? 16 : 1;
  // Judged only on a Read whose printer kept that timing.
  bool judged = false;
  for (int attempt = 0; attempt < 8 && !judged; ++attempt) {
    bool asAsked = false;
    const std::string got = ReadWith(split, &asAsked);
    if (asAsked) {
      judged = true;
      EXPECT_EQ(got, instant) << "split";
    }
  }
  if (!judged) std::printf("split replies not judged: the simulator's thread kept waking late\n");
  if (Serial()) {
    sim::Options slow;
    slow.paceBaud = 9600;
    EXPECT_EQ(ReadWith(slow), instant) << "9600 baud";
  }
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  return std::string(PageName(std::get<0>(info.param))) + (std::get<1>(info.param) ? "Named" : "Numbered") +
         (std::get<2>(info.param) ? "Serial" : "Usb");
}

INSTANTIATE_TEST_SUITE_P(AllPages, LateReplies,
                         ::testing::Combine(::testing::Values(PageKind::Settings, PageKind::Wifi, PageKind::Bluetooth),
                                            ::testing::Bool(), ::testing::Bool()),
                         CaseName);

// One variable answered long after its wait gave up, the others at once:
// that value is empty and none of the others moves.
TEST(LateReplies, OneVariableLaterThanTheBoundIsEmptyAndShiftsNothing) {
  for (bool serial : {false, true}) {
    PageRig instant(PageKind::Settings, kLangEnglish, {}, serial, ShortTiming(serial, kWait));
    ASSERT_TRUE(instant.Read());
    sim::Options o;
    o.faults.slowVar = "speed";
    o.faults.slowVarDelayMs = static_cast<int>(2 * kWait.count());
    PageRig late(PageKind::Settings, kLangEnglish, o, serial, ShortTiming(serial, kWait));
    late.controls.SetCurrentIndex(kSetSpeed, 1);
    ASSERT_TRUE(late.Read());
    EXPECT_EQ(CurrentItemText(late.controls, kSetSpeed), "1");  // the empty reply named no item
    late.controls.SetCurrentIndex(kSetSpeed, instant.controls.CurrentIndex(kSetSpeed));
    EXPECT_EQ(late.State(), instant.State());
  }
}

}  // namespace
