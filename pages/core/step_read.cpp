#include "pages/core/step_read.h"

#include <QFile>
#include <algorithm>

#include "protocol/reply_channel.h"
#include "protocol/text_codec.h"
#include "resources/strings.h"

namespace deveder {

using std::chrono::microseconds;

microseconds WidenedSilence(microseconds silence) {
  return std::clamp(4 * silence, kLeastWidenedSilence, kWidestSilence);
}

namespace {

using Ending = StepReadResult::Ending;

// Reads and drops whatever comes until nothing has come for a first-byte
// wait, bounded by three of them after the last reply could have begun.
bool AwaitQuiet(Link& link, const ReplyTiming& timing) {
  const Deadline limit = Deadline::After(3 * timing.firstByte + timing.longest);
  char sink[256];
  const auto quiet = std::chrono::duration_cast<milliseconds>(timing.firstByte);
  while (!limit.Passed()) {
    const IoResult r = link.ReadNow(sink, sizeof sink, quiet);
    if (r.lost()) return false;
    if (r.fault == PortFault::TimedOut) return true;
  }
  return true;
}

StepReadResult ReadOnce(PageContext& ctx, Link& link, const std::vector<StepQuestion>& questions) {
  StepReadResult r;
  ReplyChannel channel(link);
  if (channel.Drain() == ReplyChannel::Outcome::Lost) return r;
  if (!ctx.printer.named() && channel.Probe(ctx.printer) == ReplyChannel::Outcome::Lost) return r;
  // PrinterInfo may be cleared by the communication page while a reply is
  // awaited; the Read keeps what the probe gave it.
  r.printer = ctx.printer;
  if (channel.Silent()) return r;
  const LineForm form = FormForFlag(r.printer.namedFormFlag);
  for (const StepQuestion& q : questions) {
    const ReplyChannel::Outcome o = channel.Ask(GetvarLine(*q.var, form), q.toNul);
    // A printer that answered none of the first requests is not there to be
    // read.
    if (o == ReplyChannel::Outcome::Lost || channel.Silent()) return r;
    if (o == ReplyChannel::Outcome::Answered) r.values[q.var->name] = std::string(channel.bytes());
  }
  if (channel.Fence() == ReplyChannel::Outcome::Lost) return r;
  r.modelReply = channel.ModelReply();
  r.ending = channel.InStep() ? Ending::InStep : Ending::OutOfStep;
  return r;
}

}  // namespace

StepReadResult ReadInStep(PageContext& ctx, Link& link, const std::vector<StepQuestion>& questions) {
  const std::string port = QFile::encodeName(ctx.link.portPath).toStdString();
  ReplyTiming timing = link.Timing();
  if (ctx.ports) {
    const auto known = ctx.ports->silence.find(port);
    if (known != ctx.ports->silence.end()) timing.silence = std::max(timing.silence, known->second);
  }
  link.SetTiming(timing);
  const PrinterInfo before = ctx.printer;
  StepReadResult r = ReadOnce(ctx, link, questions);
  if (r.ending != Ending::OutOfStep || timing.silence >= kWidestSilence) return r;
  // The printer pauses within its replies for longer than the silence that
  // ends one: once more, with a silence that waits such pauses out.
  timing.silence = WidenedSilence(timing.silence);
  link.SetTiming(timing);
  // Answers of the first attempt may still be on their way; one of them
  // taken by the second attempt's first request would shift every answer
  // after it (the model replies of the drain and the probe look alike).
  // The line must first be quiet for a whole first-byte wait.
  if (!AwaitQuiet(link, timing)) return StepReadResult{};
  if (ctx.ports) ctx.ports->silence[port] = timing.silence;
  ctx.printer = before;
  return ReadOnce(ctx, link, questions);
}

ActionResult OutOfStepFailure(PageContext& ctx) {
  const QString reason =
      ctx.langId == kLangChinese
          ? QStringLiteral("打印机的回复与请求对不上（已放慢再读一次）。页面未作任何改动。解决：检查电缆，稍后再读。")
          : QStringLiteral("The printer's replies did not line up with the requests (read again once, more slowly). "
                           "Nothing on the page was changed. Fix: check the cable and read again.");
  ActionResult result = RefuseWith(ctx, kMsgConnectionLost, reason);
  result.outcome = ActionOutcome::Lost;
  return result;
}

}  // namespace deveder
