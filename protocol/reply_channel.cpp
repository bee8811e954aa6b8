#include "protocol/reply_channel.h"

#include <algorithm>
#include <cstring>

namespace deveder {

ReplyChannel::Outcome ReplyChannel::Ask(const std::string& line, bool toNul) {
  count_ = 0;
  buffer_[0] = '\0';
  if (unsettled_ && !Resync()) return Outcome::Lost;
  const int stale = PortDiscardInput(port_);
  if (stale < 0) return Outcome::Lost;
  // Bytes after a reply had ended: the printer paused within it for longer
  // than the silence that ends a reply. More may still be on their way;
  // settle before asking, so that they land under no name.
  if (stale > 0 && asked_ > 0 && !Resync()) return Outcome::Lost;
  if (PortWrite(port_, line.data(), static_cast<int>(line.size())) != 0) return Outcome::Lost;
  ++asked_;
  const int n = toNul ? PortReadToNul(port_, buffer_) : PortReadReply(port_, buffer_, kLineBufferSize - 1);
  if (PortReplyLost()) return Outcome::Lost;
  count_ = n;
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
  if (modelReply_.empty()) return PortDiscardInput(port_) >= 0;
  if (PortDiscardInput(port_) < 0) return false;
  const std::string line = ModelRequestLine();
  if (PortWrite(port_, line.data(), static_cast<int>(line.size())) != 0) return false;
  // Everything up to the model reply is a late answer to an earlier request.
  std::string tail;
  char chunk[kLineBufferSize];
  while (true) {
    const int n = PortReadReplyWithin(port_, chunk, sizeof chunk, kResyncWaitMs, false);
    if (PortReplyLost() || n == 0) return false;  // gone, or no longer answering
    tail.append(chunk, static_cast<std::size_t>(n));
    if (tail.size() >= modelReply_.size() &&
        tail.compare(tail.size() - modelReply_.size(), modelReply_.size(), modelReply_) == 0)
      return true;
    if (tail.size() > modelReply_.size()) tail.erase(0, tail.size() - modelReply_.size());
  }
}

}  // namespace deveder
