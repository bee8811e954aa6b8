// The printer unplugged in the middle of a test-page command or the sample
// print. A press that works shows nothing; one that fails shows one message.
#include <gtest/gtest.h>

#include "faults/sweep.h"
#include "pages/test/test_page.h"
#include "protocol/text_codec.h"
#include "resources/strings.h"

using namespace deveder;
using namespace deveder::tst;

namespace {

SweepAction Press(const std::string& name, int buttonId, const char* model) {
  SweepAction action{name, kTestDialogId, [] { return std::unique_ptr<PageLogic>(std::make_unique<TestPage>()); }};
  action.modelReply = model;
  action.run = [buttonId](PageLogic& p, PageContext& c) { p.OnControl(buttonId, ControlEvent::Clicked, c); };
  action.failureMessages = {kMsgConnectionLost, LoadString(kStrUnconnectPrinter, kLangEnglish)};
  return action;
}

TEST(FaultSweep, TestCommandsInBothForms) {
  const int buttons[] = {kTestPageButton,         kTestBluetoothButton,  kTestFactoryDefaultButton,
                         kTestHexDumpButton,      kTestRawSensorButton,  kTestMarkSensorButton,
                         kTestCalibrationButton};
  for (const char* model : {"TQ250L;250;CPCL,ESCPOS,TSPL;1", "TQ80;80;ESCPOS"}) {
    const std::string form = std::string(model).size() > 20 ? "named" : "numbered";
    for (int id : buttons) {
      const std::string name = "test button " + std::to_string(id) + ", " + form;
      ReportSweep(name, Sweep(Press(name, id, model)));
      SweepAction network = Press(name + ", network printer", id, model);
      network.tcp = true;
      ReportSweep(network.name, Sweep(network));
    }
  }
}

TEST(FaultSweep, SamplePrintInBothLanguages) {
  // TSPL is chosen before CPCL; a CPCL-only printer gets the CPCL job.
  for (const char* model : {"TQ250L;250;CPCL,ESCPOS,TSPL;1", "TQ310;310;CPCL,ESCPOS;1"}) {
    const std::string name = std::string("sample print, ") + (std::string(model).find("TSPL") != std::string::npos ? "TSPL" : "CPCL");
    ReportSweep(name, Sweep(Press(name, kTestDemoPrintButton, model)));
    SweepAction network = Press(name + ", network printer", kTestDemoPrintButton, model);
    network.tcp = true;
    ReportSweep(network.name, Sweep(network));
  }
}

}  // namespace
