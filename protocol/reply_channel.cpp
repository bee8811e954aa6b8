#include "protocol/reply_channel.h"

#include <algorithm>
#include <cstring>

namespace deveder {

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
  // than the silence that ends a reply. More may still be on their way;
  // settle before asking, so that they land under no name.
  if (stale > 0 && asked_ > 0 && !Resync()) return Outcome::Lost;
  if (!link_.SendLine(line).ok()) return Outcome::Lost;
  ++asked_;
  const IoResult reply = link_.ReadReply(buffer_, kLineBufferSize - 1, toNul);
  if (reply.lost()) return Outcome::Lost;
  count_ = reply.bytes;
  buffer_[count_] = '\0';
  if (count_ == 0) {
    unsettled_ = true;
    return Outcome::Unanswered;
  }
  ++answered_;
  return Outcome::Answered;
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
