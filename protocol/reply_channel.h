// Requests and their replies over an open port, one request at a time.
//
// A reply has no end marker. Once the channel knows the printer's model
// reply (the drain asks for it twice and takes the reply both answers
// share), every request goes out with a getvar "model" behind it: the
// printer answers in order, so the answer is everything that comes before
// the model reply, however long the printer pauses within it, and nothing of
// it can still be on its way when the next request goes out. Whatever waits
// on the port before a request is discarded and marks the action out of
// step. After a request whose model reply did not come within the wait, the
// channel resynchronises before it asks anything else: one more getvar
// "model", and everything up to the model replies still owed is dropped. A
// late reply is so never taken for the answer to the next request, which is
// what would put a value under the wrong name and have the next Write store
// it there.
#pragma once

#include <string>

#include "link/link.h"
#include "protocol/command_line.h"
#include "protocol/printer_info.h"

namespace deveder {

// How long a resynchronising request may take to be answered, counted from
// when it left: a late reply (up to a first-byte wait beyond its own) and
// the model reply behind it.
ReplyTiming ResyncTiming(const ReplyTiming& timing);

class ReplyChannel {
 public:
  enum class Outcome {
    Answered,    // bytes came
    Unanswered,  // nothing came within the wait
    Lost,        // the line failed, the printer went away or stopped answering
  };

  explicit ReplyChannel(Link& link) : link_(link) {}

  // The drain step: getvar "model" twice; the reply both answers share is
  // kept as the model reply every later answer is proven by, nothing else is
  // done with it.
  Outcome Drain();
  // The model probe: getvar "model", parsed into `info` (a missing answer is
  // parsed as an empty one).
  Outcome Probe(PrinterInfo& info);
  // One request; its reply lands in data()/count() with a NUL after it.
  // `toNul`: the answer ends with a NUL byte (WLAN variables).
  Outcome Ask(const std::string& line, bool toNul = false);
  // The end of a reading action: getvar "model" once more, its answer
  // compared byte for byte with the model reply this action received (asked
  // for first when it has none), and nothing may come after it. A reply has
  // no end marker; only a request whose answer is known proves the answers
  // before it stayed with their requests.
  Outcome Fence();
  // False once anything showed that an answer may have landed under the
  // wrong request: bytes found waiting after a reply had ended, or a fence
  // that did not match.
  bool InStep() const { return !outOfStep_; }

  const char* data() const { return buffer_; }
  int count() const { return count_; }
  std::string_view bytes() const { return std::string_view(buffer_, static_cast<std::size_t>(count_)); }

  // True once at least two requests were made and none was answered: the
  // printer is not answering at all.
  bool Silent() const { return asked_ >= 2 && answered_ == 0; }
  // The model reply last received ("" when none came).
  const std::string& ModelReply() const { return modelReply_; }
  // Its first field: the model name, whole.
  std::string ModelName() const { return modelReply_.substr(0, modelReply_.find(';')); }

 private:
  enum class Gathered { Done, Short, Lost };
  Outcome AskProven(const std::string& line);
  Gathered Gather(int models, std::chrono::microseconds pieceWait, std::string& got);
  bool Resync();

  Link& link_;
  char buffer_[kLineBufferSize + 1] = {};
  int count_ = 0;
  int asked_ = 0;
  int answered_ = 0;
  bool unsettled_ = false;  // a request went unanswered; its reply may still come
  int pendingModels_ = 0;   // model replies asked for and not yet seen
  bool abandoned_ = false;  // out of step past resynchronising: nothing more is asked
  bool outOfStep_ = false;
  std::string modelReply_;
};

}  // namespace deveder
