#include "faults/sweep.h"
#include "link/port_hooks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>

#include "protocol/text_codec.h"
#include "resources/dialog_template.h"

namespace deveder::tst {

namespace {

bool Contains(const std::vector<QString>& list, const QString& s) {
  return std::find(list.begin(), list.end(), s) != list.end();
}

// One run; false when the preparation did not leave the page ready.
bool TryRunOnce(const SweepAction& action, const SweepCut& cut, SweepRun& result) {
  const long hangUpAfter = cut.hangUpAfter;
  sim::Options o;
  o.modelReply = action.modelReply;
  o.tcp = action.tcp;
  sim::PrinterSim printer(o);
  if (!printer.Start()) {
    ADD_FAILURE() << "simulator did not start";
    return true;
  }
  MemoryControls controls(FindDialogTemplate(action.dialogId, kLangEnglish));
  RecordingUi ui;
  PrinterInfo info;
  PageContext ctx{controls, ui, info, LinkChoice{QString::fromStdString(printer.PortPath()), action.baud}, kLangEnglish};
  ctx.link.serial = action.serial;
  // A printer that stops answering is told from a silent one within a
  // fifth of the usual wait: every cut is met the same way, sooner.
  ctx.link.timing = DefaultReplyTiming(action.tcp ? LinkKind::Tcp : LinkKind::Terminal, action.serial);
  ctx.link.timing->firstByte = std::chrono::milliseconds(200);
  // A held line fails a write as soon: the bound still grows with the bytes.
  if (cut.heldLine) ctx.link.writeAllowance = std::chrono::milliseconds(200);
  std::unique_ptr<PageLogic> page = action.make();
  long written = 0;
  SetPortTraceHook([&](bool sent, const char*, int length) {
    if (sent) written += length;
  });
  page->OnCreate(ctx);
  if (action.prepare) action.prepare(*page, ctx);
  SetPortTraceHook(nullptr);
  if (action.ready && !action.ready(ctx)) return false;
  ui.messages.clear();
  // Everything before this point has reached the printer and been handled:
  // the printer counts bytes once it has answered them, a moment after the
  // page may have read the answer.
  if (!printer.WaitFor([&] { return printer.BytesReceived() >= written; }, 2000))
    ADD_FAILURE() << "the printer did not take what was sent before the action";
  const long before = printer.BytesReceived();
  if (hangUpAfter == 0) {
    printer.Unplug();
  } else if (hangUpAfter > 0) {
    sim::Faults f = printer.GetFaults();
    f.hangUpAfterBytes = before + hangUpAfter;
    printer.SetFaults(f);
  }
  if (cut.heldLine) printer.HoldLine(true);
  // A network printer has noticed that the preparation's connection closed.
  if (action.tcp) printer.WaitFor([&] { return !printer.Connected(); }, 1000);
  result.fdsBefore = CountOpenFds();
  const auto t0 = std::chrono::steady_clock::now();
  const bool hungUpAtStart = printer.HungUp();
  auto lastWrite = std::chrono::steady_clock::time_point{};
  long sentOfAction = 0;
  SetPortTraceHook([&](bool sent, const char*, int length) {
    if (!sent) return;
    lastWrite = std::chrono::steady_clock::now();
    sentOfAction += length;
    // The bytes have left the tool; whether the printer got them is not
    // known yet, and the printer is gone before the tool can tell.
    if (cut.unplugAfterSent >= 0 && sentOfAction >= cut.unplugAfterSent && !printer.HungUp()) {
      printer.Unplug();
      result.hadEverything = printer.BytesReceived() - before >= sentOfAction;
    }
  });
  action.run(*page, ctx);
  SetPortTraceHook(nullptr);
  result.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  result.hungUpDuring = printer.HungUp();
  result.messages = ui.messages;
  // Bytes still in flight reach the printer within a moment.
  long last = -1;
  for (int i = 0; i < 20 && printer.BytesReceived() != last; ++i) {
    last = printer.BytesReceived();
    printer.WaitFor([&] { return printer.BytesReceived() != last; }, 10);
  }
  result.bytesOfAction = printer.BytesReceived() - before;
  // The kernel finishes a tty hang-up a moment after the printer's side
  // closed; a write inside that moment is lost without an error.
  result.hungUpBeforeLastWrite =
      result.hungUpDuring && printer.HungUpAt() + std::chrono::milliseconds(20) <= lastWrite;
  // The printer's own two descriptors go with its line; the page's port
  // must be closed whatever happened.
  // A network printer notices the tool's closed connection a moment later.
  if (action.tcp) printer.WaitFor([&] { return !printer.Connected(); }, 1000);
  // A hang-up closes the printer's own ends: the pty master and the slave it
  // keeps, or the listening socket (the connection came after the count).
  result.fdsAfter = CountOpenFds() + (printer.HungUp() && !hungUpAtStart ? (action.tcp ? 1 : 2) : 0);
  return true;
}

}  // namespace

SweepRun RunOnce(const SweepAction& action, long hangUpAfter) {
  SweepCut cut;
  cut.hangUpAfter = hangUpAfter;
  return RunOnce(action, cut);
}

SweepRun RunOnce(const SweepAction& action, const SweepCut& cut) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    SweepRun result;
    if (TryRunOnce(action, cut, result)) return result;
  }
  ADD_FAILURE() << action.name << ": the preparation never left the page ready";
  return {};
}

std::vector<long> Sweep(const SweepAction& action) {
  // A clean run tells how many bytes the action sends, so the cuts can be
  // spread over all of its phases.
  const SweepRun clean = RunOnce(action, -1);
  EXPECT_EQ(clean.fdsAfter, clean.fdsBefore) << action.name;
  if (action.successMessages.empty()) {
    EXPECT_TRUE(clean.messages.empty()) << action.name << ": " << clean.messages.front().toStdString();
  } else {
    EXPECT_EQ(clean.messages, action.successMessages) << action.name;
  }
  const long total = clean.bytesOfAction;
  EXPECT_GT(total, 0) << action.name;
  std::set<long> cuts = {0, 1};
  for (int i = 1; i < 8; ++i) cuts.insert(total * i / 8);
  cuts.insert(std::max(0L, total - 1));
  std::vector<long> tried;
  int afterwards = 0;
  for (long k : cuts) {
    if (k >= total) continue;
    tried.push_back(k);
    const SweepRun r = RunOnce(action, k);
    SCOPED_TRACE(action.name + ", hang-up after " + std::to_string(k) + " of " + std::to_string(total) + " bytes");
    EXPECT_LT(r.ms, action.boundMs);
    EXPECT_EQ(r.fdsAfter, r.fdsBefore);
    if (!r.hungUpBeforeLastWrite && r.messages == action.successMessages) {
      // The printer had taken every byte before its line went: a success
      // (a page that noticed the loss anyway is not wrong either).
      ++afterwards;
      continue;
    }
    // A printer that took every byte and answered before its line went
    // (a network printer reads as fast as the tool writes) got it all.
    if (r.hadEverything && r.messages == action.successMessages) continue;
    if (r.messages.empty()) {
      ADD_FAILURE() << "a failure that showed nothing";
      continue;
    }
    for (const QString& m : r.messages) EXPECT_FALSE(Contains(action.successMessages, m)) << m.toStdString();
    EXPECT_TRUE(Contains(action.failureMessages, r.messages.back())) << r.messages.back().toStdString();
  }
  // The unplug at the start always lands inside the action.
  EXPECT_LT(afterwards, static_cast<int>(tried.size())) << action.name;
  // Two losses the printer's side cannot stage: the printer gone the moment
  // the action's last byte has left the tool (only the action's last check
  // can tell: it must not claim what the printer may never have got), and a
  // line the printer holds so that no write completes.
  std::vector<std::pair<std::string, SweepCut>> losses;
  if (!action.endsUnconfirmed) losses.push_back({"lost after the last byte", SweepCut{-1, total, false}});
  if (!action.tcp) losses.push_back({"line held", SweepCut{-1, -1, true}});
  for (const auto& [what, cut] : losses) {
    SCOPED_TRACE(action.name + ", " + what);
    const SweepRun r = RunOnce(action, cut);
    // Every write on a held line waits out its bound before it fails.
    EXPECT_LT(r.ms, cut.heldLine ? 3 * action.boundMs : action.boundMs);
    EXPECT_EQ(r.fdsAfter, r.fdsBefore);
    // A printer that took every byte and answered before its line went
    // (a network printer reads as fast as the tool writes) got it all.
    if (r.hadEverything && r.messages == action.successMessages) continue;
    if (r.messages.empty()) {
      ADD_FAILURE() << "a failure that showed nothing";
      continue;
    }
    for (const QString& m : r.messages) EXPECT_FALSE(Contains(action.successMessages, m)) << m.toStdString();
    EXPECT_TRUE(Contains(action.failureMessages, r.messages.back())) << r.messages.back().toStdString();
  }
  // And the next action on a fresh printer works.
  const SweepRun again = RunOnce(action, -1);
  if (action.successMessages.empty()) EXPECT_TRUE(again.messages.empty()) << action.name;
  else EXPECT_EQ(again.messages, action.successMessages) << action.name;
  return tried;
}

}  // namespace deveder::tst

namespace deveder::tst {

void ReportSweep(const std::string& name, const std::vector<long>& cuts) {
  std::string list;
  for (long k : cuts) list += (list.empty() ? "" : ",") + std::to_string(k);
  ::testing::Test::RecordProperty(name, list);
  std::printf("sweep %s: k = %s\n", name.c_str(), list.c_str());
}

}  // namespace deveder::tst
