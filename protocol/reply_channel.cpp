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
  if (abandoned_) return Outcome::Unanswered;
  const IoResult discarded = link_.DiscardInput();
  if (!discarded.ok()) return Outcome::Lost;
  const int stale = discarded.bytes;
  // Bytes after a reply had ended: something came that belongs to no
  // request, so an earlier answer may be cut and this action is out of step.
  // More may still be on their way; settle before asking, so that they land
  // under no name.
  if (stale > 0 && asked_ > 0) {
    outOfStep_ = true;
    if (!Resync()) return Outcome::Lost;
    if (abandoned_) return Outcome::Unanswered;
  }
  if (!modelReply_.empty()) return AskProven(line);
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

ReplyChannel::Outcome ReplyChannel::AskProven(const std::string& line) {
  // The request and a getvar "model" behind it: the printer answers in
  // order, so its answer is everything before the model reply, however it
  // pauses within it, and the model reply proves that nothing of it is still
  // to come. Only a request for the model itself goes alone.
  const bool alone = line == ModelRequestLine();
  if (!link_.SendLine(line).ok()) return Outcome::Lost;
  if (!alone && !link_.SendLine(ModelRequestLine()).ok()) return Outcome::Lost;
  ++asked_;
  ++pendingModels_;
  std::string got;
  const Gathered g = Gather(1, link_.Timing().firstByte, got);
  if (g == Gathered::Lost) return Outcome::Lost;
  if (g == Gathered::Short) {
    // The model reply did not come in time: the answer may be incomplete
    // and the rest still on its way; the next request resynchronises first.
    unsettled_ = true;
    return Outcome::Unanswered;
  }
  --pendingModels_;
  std::string_view answer(got);
  if (!alone) answer.remove_suffix(modelReply_.size());
  else if (answer != modelReply_) outOfStep_ = true;  // bytes before the model reply
  // What is longer than a line can hold is cut to a line's length: longer
  // than a line can carry back, it is never written.
  count_ = static_cast<int>(std::min<std::size_t>(answer.size(), kLineBufferSize - 1));
  std::memcpy(buffer_, answer.data(), static_cast<std::size_t>(count_));
  buffer_[count_] = '\0';
  if (count_ == 0) return Outcome::Unanswered;
  ++answered_;
  return Outcome::Answered;
}

ReplyChannel::Gathered ReplyChannel::Gather(int models, microseconds pieceWait, std::string& got) {
  // Reads piece by piece, each awaited up to `pieceWait` (the first counted
  // from when the request left), until `models` model replies have come and
  // the bytes end with one. Bounded by what a line and its dropped tail may
  // hold.
  constexpr std::size_t kMost = (kOverlongReads + 1) * static_cast<std::size_t>(kLineBufferSize);
  const std::string& m = modelReply_;
  Deadline until = link_.ReplyDeadline(pieceWait);
  std::size_t scanned = 0;
  int seen = 0;
  char chunk[kLineBufferSize];
  while (got.size() < kMost) {
    const IoResult r = link_.ReadBy(chunk, sizeof chunk, until);
    if (r.lost()) return Gathered::Lost;
    if (r.bytes == 0) return Gathered::Short;
    got.append(chunk, static_cast<std::size_t>(r.bytes));
    for (std::size_t at; (at = got.find(m, scanned)) != std::string::npos;) {
      ++seen;
      scanned = at + m.size();
    }
    if (scanned + m.size() <= got.size()) scanned = got.size() - m.size() + 1;
    if (seen >= models && got.size() >= m.size() && got.compare(got.size() - m.size(), m.size(), m) == 0)
      return Gathered::Done;
    until = Deadline::After(pieceWait);
  }
  outOfStep_ = true;  // a printer that does not stop sending
  return Gathered::Short;
}

ReplyChannel::Outcome ReplyChannel::Fence() {
  if (abandoned_) return Outcome::Unanswered;
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
  // getvar "model" twice: the model reply is known once the bytes are two
  // equal halves, however the printer paused within them; a reply cut at a
  // pause is never taken for the whole.
  count_ = 0;
  buffer_[0] = '\0';
  if (!link_.DiscardInput().ok()) return Outcome::Lost;
  for (int i = 0; i < 2; ++i)
    if (!link_.SendLine(ModelRequestLine()).ok()) return Outcome::Lost;
  ++asked_;
  constexpr std::size_t kMost = 2 * static_cast<std::size_t>(kLineBufferSize);
  const microseconds wait = link_.Timing().firstByte;
  Deadline until = link_.ReplyDeadline(wait);
  std::string got;
  char chunk[kLineBufferSize];
  while (got.size() < kMost) {
    const IoResult r = link_.ReadBy(chunk, sizeof chunk, until);
    if (r.lost()) return Outcome::Lost;
    if (r.bytes == 0) break;
    got.append(chunk, static_cast<std::size_t>(r.bytes));
    const std::size_t half = got.size() / 2;
    if (got.size() % 2 == 0 && got.compare(0, half, got, half, half) == 0) {
      modelReply_ = got.substr(0, half);
      ++answered_;
      return Outcome::Answered;
    }
    until = Deadline::After(wait);
  }
  // Nothing, or no two equal replies: what may still come is dropped before
  // the next request, and the model reply is learnt later if at all.
  unsettled_ = true;
  return Outcome::Unanswered;
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
  // One more getvar "model"; everything up to its reply, and up to the
  // model replies of earlier requests still owed, is late answers to
  // earlier requests. What waits already is looked at, not dropped: an owed
  // model reply may be among it.
  if (!link_.SendLine(ModelRequestLine()).ok()) return false;
  const int owed = pendingModels_ + 1;
  pendingModels_ = 0;
  std::string got;
  const Gathered g = Gather(owed, ResyncTiming(link_.Timing()).firstByte, got);
  if (g == Gathered::Lost || (g == Gathered::Short && got.empty())) return false;  // gone, or no longer answering
  // Bytes came but never the model replies owed: nothing more asked now can
  // be told from what is still on its way.
  if (g == Gathered::Short) {
    outOfStep_ = true;
    abandoned_ = true;
  }
  return true;
}

}  // namespace deveder
