// The line shown under "Unconnect Printer": why the port did not open, in
// the interface language, and the fix where one applies.
#pragma once

#include <QString>
#include <optional>
#include <string>

#include "link/port_access.h"
#include "pages/core/action_result.h"
#include "pages/core/page_context.h"

namespace deveder {

// What went wrong and, where one applies, what the user can do about it.
struct FailureText {
  QString reason;
  QString fix;  // empty when there is nothing to do but what the reason says
  QString Line(int langId) const;  // "reason Fix: fix" in one line
};
FailureText DescribeOpenFailure(const OpenDiagnosis& d, int langId);

// One line for a diagnosed failure.
QString OpenFailureReason(const OpenDiagnosis& d, int langId);

// One line for an open of `path` that failed with `err`, diagnosed against
// the system under `roots`.
QString OpenFailureReason(const std::string& path, int err, int langId, const SystemRoots& roots = {});

// The reason a failed open of `path` gives.
QString OpenFailureReason(const OpenResult& open, const std::string& path, int langId);

// Every page action's answer to a port that did not open: string 148 with
// the reason under it, as the refused result.
ActionResult ShowPortOpenFailure(PageContext& ctx, const OpenResult& open);

// The start every Write of a reading page shares: the text conversion must
// run, the port must open, and the page must have been read from the printer
// attached now. The refusal, shown and with the port closed, or nullopt with
// `port` open.
std::optional<ActionResult> OpenForWrite(PageContext& ctx, bool readFromThisPrinter, OpenResult& port);
// The port is closed before the user is told.
ActionResult CloseAndRefuse(OpenResult& port, PageContext& ctx, const QString& message);
ActionResult CloseAndLose(OpenResult& port, PageContext& ctx);

}  // namespace deveder
