#include "protocol/reply_channel.h"

#include <algorithm>
#include <cstring>

namespace deveder {

namespace {

// The most buffers of an over-long answer read and dropped.
constexpr int kOverlongReads = 16;

}  // namespace

ReplyTiming ResyncTiming(const ReplyTiming& timing) {
  ReplyTiming t = timing;
  t.firstByte = 3 * timing.firstByte;
  return t;
}

ReplyChannel::Outcome ReplyChannel::Ask(const std::string& line, bool toNul) {
  count_ = 0;
  buffer_[0] = '\0';
  if (unsettled_ && !Resync()) return Outcome::Lost;
  const IoResult discarded = link_.DiscardInput();
  if (!discarded.ok()) return Outcome::Lost;
  const int stale = discarded.bytes;
  // Bytes after a reply had ended: the printer paused within it for longer
  // than the silence that ends a reply, so an earlier answer may have been
  // cut and this action is out of step. More may still be on their way;
  // settle before asking, so that they land under no name.
  if (stale > 0 && asked_ > 0) {
    outOfStep_ = true;
    if (!Resync()) return Outcome::Lost;
  }
  if (!link_.SendLine(line).ok()) return Outcome::Lost;
  ++asked_;
  const IoResult reply = link_.ReadReply(buffer_, kLineBufferSize - 1, toNul);
  if (reply.lost()) return Outcome::Lost;
  count_ = reply.bytes;
  // An answer longer than any line can hold: the rest is read and dropped
  // here, so that it is not taken for the next answer. What was kept is
  // longer than a line can carry back, so it is never written.
  // Bounded: a printer that never stops is cut off after a few buffers.
  for (int more = 0; count_ == kLineBufferSize - 1 && more < kOverlongReads; ++more) {
    char rest[kLineBufferSize];
    ReplyTiming tail = link_.Timing();
    tail.firstByte = tail.silence;
    const IoResult r = link_.ReadReply(rest, sizeof rest, tail);
    if (r.lost()) return Outcome::Lost;
    if (r.bytes < static_cast<int>(sizeof rest)) break;
  }
  buffer_[count_] = '\0';
  if (count_ == 0) {
    unsettled_ = true;
    return Outcome::Unanswered;
  }
  ++answered_;
  return Outcome::Answered;
}

ReplyChannel::Outcome ReplyChannel::Fence() {
  // The reference: a model reply this action received itself.
  if (modelReply_.empty()) {
    const Outcome o = Ask(ModelRequestLine());
    if (o == Outcome::Lost) return o;
    if (o == Outcome::Unanswered) {
      outOfStep_ = true;
      return o;
    }
    modelReply_ = std::string(bytes());
  }
  const Outcome o = Ask(ModelRequestLine());
  if (o == Outcome::Lost) return o;
  if (o == Outcome::Unanswered || bytes() != modelReply_) outOfStep_ = true;
  // Nothing may follow the fence's answer: bytes after it are the tail of a
  // reply that paused within itself.
  char stray[64];
  const IoResult after = link_.ReadNow(stray, sizeof stray,
                                       std::chrono::duration_cast<milliseconds>(link_.Timing().silence) + milliseconds(1));
  if (after.lost()) return Outcome::Lost;
  if (after.bytes > 0) outOfStep_ = true;
  return o;
}

ReplyChannel::Outcome ReplyChannel::Drain() {
  const Outcome o = Ask(ModelRequestLine());
  if (o == Outcome::Answered) modelReply_.assign(buffer_, static_cast<std::size_t>(count_));
  return o;
}

ReplyChannel::Outcome ReplyChannel::Probe(PrinterInfo& info) {
  const Outcome o = Ask(ModelRequestLine());
  if (o == Outcome::Lost) return o;
  if (o == Outcome::Answered) modelReply_.assign(buffer_, static_cast<std::size_t>(count_));
  // The parser cuts the reply in place; the channel's copy stays whole.
  ParseModelReply(buffer_, info);
  return o;
}

bool ReplyChannel::Resync() {
  unsettled_ = false;
  // Without a model reply to recognise, all that can be done is to drop
  // what has arrived so far.
  if (modelReply_.empty()) return link_.DiscardInput().ok();
  if (!link_.DiscardInput().ok()) return false;
  if (!link_.SendLine(ModelRequestLine()).ok()) return false;
  const ReplyTiming timing = ResyncTiming(link_.Timing());
  // Everything up to the model reply is a late answer to an earlier request.
  std::string tail;
  char chunk[kLineBufferSize];
  while (true) {
    const IoResult r = link_.ReadReply(chunk, sizeof chunk, timing);
    const int n = r.bytes;
    if (r.lost() || n == 0) return false;  // gone, or no longer answering
    tail.append(chunk, static_cast<std::size_t>(n));
    if (tail.size() >= modelReply_.size() &&
        tail.compare(tail.size() - modelReply_.size(), modelReply_.size(), modelReply_) == 0)
      return true;
    if (tail.size() > modelReply_.size()) tail.erase(0, tail.size() - modelReply_.size());
  }
}

}  // namespace deveder
