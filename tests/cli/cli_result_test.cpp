// deveder-cli's exit status is the action's result: the messages a page
// shows on the way, a notice or an informative box included, decide nothing.
#include <gtest/gtest.h>

#include "cli/cli_session.h"
#include "pages/test/test_page.h"

using namespace deveder;

namespace {

class ChattyPage : public PageLogic {
 public:
  explicit ChattyPage(ActionOutcome outcome) : outcome_(outcome) {}
  int DialogId() const override { return kTestDialogId; }
  ControlResult OnControl(int, ControlEvent, PageContext& ctx) override {
    ctx.ui.ShowNotice(QStringLiteral("2 values were left with the printer"));
    ctx.ui.ShowMessage(QStringLiteral("an informative box"));
    return ControlResult::Ran(ActionResult{outcome_, 0, {}, {}});
  }

 private:
  ActionOutcome outcome_;
};

TEST(CliResult, TheExitStatusIsTheActionsResultNotItsMessages) {
  cli::Session session(cli::Options{});
  for (const auto& [outcome, status] : {std::pair{ActionOutcome::Ok, cli::kExitOk},
                                        {ActionOutcome::Refused, cli::kExitFailed},
                                        {ActionOutcome::Lost, cli::kExitFailed}}) {
    auto page = session.Open(std::make_unique<ChattyPage>(outcome), "test");
    page->ui.quiet = true;
    EXPECT_EQ(session.Press(*page, kTestPageButton), status);
    EXPECT_EQ(page->ui.shown.size(), 2u);
  }
}

}  // namespace
