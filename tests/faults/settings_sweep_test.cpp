// The printer unplugged in the middle of a settings Read or Write.
#include <gtest/gtest.h>

#include "faults/sweep.h"
#include "pages/settings/settings_page.h"
#include "pages/settings/settings_tables.h"
#include "protocol/text_codec.h"
#include "resources/strings.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

void Click(int id, PageLogic& page, PageContext& ctx) { page.OnControl(id, ControlEvent::Clicked, ctx); }

TEST(FaultSweep, SettingsReadAndWrite) {
  for (const char* model : {"TQ250L;250;CPCL,ESCPOS,TSPL;1", "TQ80;80;ESCPOS"}) {
    const std::string form = std::string(model).size() > 20 ? "named" : "numbered";
    SweepAction read{"settings read, " + form, 144,
                     [] { return std::unique_ptr<PageLogic>(std::make_unique<SettingsPage>()); }};
    read.modelReply = model;
    read.run = [](PageLogic& p, PageContext& c) { Click(kSetReadButton, p, c); };
    read.successMessages = {LoadString(kStrReadOk, kLangEnglish)};
    read.failureMessages = {kMsgConnectionLost, LoadString(kStrUnconnectPrinter, kLangEnglish)};
    ReportSweep(read.name, Sweep(read));

    SweepAction write = read;
    write.name = "settings write, " + form;
    write.prepare = [](PageLogic& p, PageContext& c) { Click(kSetReadButton, p, c); };
    write.run = [](PageLogic& p, PageContext& c) { Click(kSetWriteButton, p, c); };
    write.successMessages = {LoadString(kStrWriteOk, kLangEnglish)};
    ReportSweep(write.name, Sweep(write));
    for (SweepAction network : {read, write}) {
      network.name += ", network printer";
      network.tcp = true;
      ReportSweep(network.name, Sweep(network));
    }
  }
}

}  // namespace
