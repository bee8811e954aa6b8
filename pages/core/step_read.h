// A page's Read in step or not at all.
//
// The answers are gathered first and go into the controls only once the
// fence proved that every one of them belongs to its request. A Read found
// out of step is made once more with a wider silence (kept for that port for
// the rest of the run); when that is out of step too, the Read fails and no
// control changes.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "pages/core/action_result.h"
#include "pages/core/page_values.h"
#include "protocol/command_line.h"
#include "protocol/printer_info.h"

namespace deveder {

// The silence of the second attempt: four times wider, at least enough for
// a printer that pauses 30 ms within a reply, at most 200 ms.
inline constexpr std::chrono::microseconds kWidestSilence{200000};
inline constexpr std::chrono::microseconds kLeastWidenedSilence{40000};
std::chrono::microseconds WidenedSilence(std::chrono::microseconds silence);

struct StepQuestion {
  const PrinterVar* var;
  bool toNul = false;  // WLAN answers end with a NUL
};

struct StepReadResult {
  enum class Ending { InStep, OutOfStep, Lost } ending = Ending::Lost;
  PageValues values;       // answered variables by name; an unanswered one is absent
  std::string modelReply;  // the model reply this Read received, whole
  PrinterInfo printer;     // PrinterInfo as the Read found it after its probe
};

// Opens nothing: `link` is the action's. The drain, the probe when the form
// is not known yet (into ctx.printer), each question in turn, the fence.
// The questions may depend on the form, hence the function.
StepReadResult ReadInStep(PageContext& ctx, Link& link, const std::vector<StepQuestion>& questions);

// "打印机连接断开" with the reason: the replies did not line up.
ActionResult OutOfStepFailure(PageContext& ctx);

}  // namespace deveder
